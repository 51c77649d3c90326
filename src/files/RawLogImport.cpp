#include "files/RawLogImport.h"

#include "engine/PerformanceData.h"
#include "files/TextScanner.h"

#include <array>
#include <map>
#include <memory>
#include <vector>

namespace zuta {

namespace {

struct LineClass {
    std::string_view suffix;
    std::uint32_t type;
    std::uint32_t kind;
    bool function;
};

// Tried in this order; the first suffix found anywhere in the line decides.
constexpr std::array<LineClass, 6> kClasses{{
    {"_ENTER", kTypeFunctionEnter, static_cast<std::uint32_t>(RecordKind::FunctionEnter), true},
    {"_ENTRY", kTypeFunctionEnter, static_cast<std::uint32_t>(RecordKind::FunctionEnter), true},
    {"_EXIT", kTypeFunctionExit, static_cast<std::uint32_t>(RecordKind::FunctionExit), true},
    {"_THREAD", kTypeTask, static_cast<std::uint32_t>(RecordKind::TaskSwitch), false},
    {"_HISR", kTypeHisr, static_cast<std::uint32_t>(RecordKind::TaskSwitch), false},
    {"_INT", kTypeIrq, static_cast<std::uint32_t>(RecordKind::IrqSwitch), false},
}};

// The state of one import: it starts afresh with every file.
class RawLogImporter {
public:
    explicit RawLogImporter(StoreState& store) : s_(store) {}

    void ProcessLine(std::string& line) {
        CleanLogLine(line);

        // The time stamp of a line without one is that of the line before: read once, kept as
        // a number.
        if (const auto at = line.find('@'); at != std::string::npos)
            time_ = text::LeadingInt(std::string_view(line).substr(at + 1));

        std::uint32_t number = 0;
        const auto open = line.find('(');
        const auto close = line.find(')');
        if (open != std::string::npos && close != std::string::npos && close > open)
            number = text::LeadingInt(std::string_view(line).substr(open + 1, close - open - 1));

        std::string name;
        std::uint32_t id = number;
        const LineClass* cls = Classify(line);
        if (cls != nullptr) {
            const auto p = line.find(cls->suffix);
            const auto q = line.find(' ', p);
            if (q != std::string::npos && q > 1)
                name.assign(line, 1, q - 1);
            if (cls->function)
                id = FunctionId(name);
            lastType_ = cls->type;
            lastKind_ = cls->kind;
            ++recognised_;
        }

        std::uint32_t delta = 0;
        if (firstLine_) {
            firstLine_ = false;
        } else {
            delta = time_ - previousTime_;
        }
        previousTime_ = time_;

        TaskRecord* task = s_.Find(id);
        if (task == nullptr)
            task = &s_.AddOrUpdateTask(name, id, lastType_);
        const SampleRecord sample{id, 0, 0, 0, 0, delta, lastKind_};
        s_.samples.push_back(sample);
        if (IsFunctionEvent(lastKind_)) {
            // The line counts as a run of the function's own record, and its time also into the
            // task running around it.
            ++task->runs;
            task->ticks += delta;
            s_.Accumulate(sample, s_.Find(runningId_), false);
        } else {
            s_.Accumulate(sample, task, true);
            runningId_ = id;
        }
    }

    // Lines that carried one of the class suffixes.
    std::uint64_t recognised() const { return recognised_; }

private:
    static const LineClass* Classify(const std::string& line) {
        for (const LineClass& cls : kClasses)
            if (line.find(cls.suffix) != std::string::npos)
                return &cls;
        return nullptr;
    }

    std::uint32_t FunctionId(const std::string& name) {
        const auto [it, added] = functionIds_.try_emplace(name, functionIdCounter_ + 1);
        if (added)
            ++functionIdCounter_;
        return it->second;
    }

    StoreState& s_;
    std::map<std::string, std::uint32_t> functionIds_;
    std::uint32_t functionIdCounter_ = kFirstLogFunctionId;
    std::uint32_t time_ = 0;
    bool firstLine_ = true;
    std::uint32_t previousTime_ = 0;
    std::uint32_t lastType_ = kTypeTask;
    std::uint32_t lastKind_ = static_cast<std::uint32_t>(RecordKind::TaskSwitch);
    std::uint32_t runningId_ = 0;
    std::uint64_t recognised_ = 0;
};

// What an import found besides its samples.
struct ImportResult {
    std::uint64_t recognised = 0; // lines with a class suffix
    std::uint64_t linesCut = 0;
};

// Feeds every line that ends in a line feed to the importer. A line is kept up to
// kMaxLineLength characters; the rest of a longer one is skipped.
ImportResult ImportLines(ByteSource& source, StoreState& s) {
    RawLogImporter importer(s);
    ImportResult result;
    constexpr std::size_t kChunk = std::size_t{1} << 16;
    const auto chunk = std::make_unique_for_overwrite<char[]>(kChunk);
    std::string line;
    bool cut = false;
    const auto keep = [&](std::string_view text) {
        const std::size_t room = kMaxLineLength - line.size();
        if (text.size() > room) {
            text = text.substr(0, room);
            cut = true;
        }
        line.append(text);
    };
    for (;;) {
        const std::size_t got = source.Read(chunk.get(), kChunk);
        if (got == 0)
            break;
        std::string_view text(chunk.get(), got);
        for (auto lf = text.find('\n'); lf != std::string_view::npos; lf = text.find('\n')) {
            keep(text.substr(0, lf));
            importer.ProcessLine(line);
            result.linesCut += cut ? 1 : 0;
            line.clear();
            cut = false;
            text.remove_prefix(lf + 1);
        }
        keep(text);
    }
    result.recognised = importer.recognised();
    return result;
}

void ZeroAccumulators(CPerformanceData& data) {
    data.Write([](StoreState& s) { s.ZeroTotals(); });
}

bool ImportFrom(CPerformanceData& data, ByteSource& source, std::string& error,
                std::vector<std::string>* warnings) {
    data.ResetStore();
    bool hasSamples = false;
    const ImportResult result = data.Write([&](StoreState& s) {
        const ImportResult found = ImportLines(source, s);
        hasSamples = !s.samples.empty();
        return found;
    });
    if (!source.failure().empty()) {
        error = source.failure();
        return false;
    }
    if (!hasSamples) {
        error = "the log holds no complete line";
        return false;
    }
    if (result.recognised == 0) {
        // What such a file would give is a task of empty name and nothing else worth showing.
        data.ResetStore();
        error = "no line is a recognised raw log line (a name ending in _THREAD, _HISR, _INT, "
                "_ENTER, _ENTRY or _EXIT)";
        return false;
    }
    if (warnings != nullptr && result.linesCut > 0)
        warnings->push_back(CutLinesWarning(result.linesCut));
    return true;
}

} // namespace

void CleanLogLine(std::string& line) {
    std::size_t first = text::SkipSpace(line);
    std::size_t last = line.size();
    while (last > first && text::IsSpace(line[last - 1]))
        --last;
    line.erase(last);
    line.erase(0, first);
    if (const auto colon = line.find(':'); colon != std::string::npos && colon > 0)
        line.erase(0, colon);
}

bool ImportRawLog(CPerformanceData& data, const std::string& path, std::string& error,
                  std::vector<std::string>* warnings) {
    ZeroAccumulators(data);
    if (warnings != nullptr)
        warnings->clear();
    FileSource source;
    if (!source.Open(path, error))
        return false;
    return ImportFrom(data, source, error, warnings);
}

bool ImportRawLogSource(CPerformanceData& data, ByteSource& source, std::string& error,
                        std::vector<std::string>* warnings) {
    ZeroAccumulators(data);
    if (warnings != nullptr)
        warnings->clear();
    return ImportFrom(data, source, error, warnings);
}

bool ImportRawLogData(CPerformanceData& data, std::string_view bytes, std::string& error,
                      std::vector<std::string>* warnings) {
    ZeroAccumulators(data);
    if (warnings != nullptr)
        warnings->clear();
    MemorySource source(bytes);
    return ImportFrom(data, source, error, warnings);
}

} // namespace zuta
