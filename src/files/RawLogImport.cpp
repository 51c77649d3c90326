#include "files/RawLogImport.h"

#include "engine/PerformanceData.h"
#include "files/TextScanner.h"

#include <array>
#include <map>
#include <memory>

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

// The leading decimal number of a text as the C library's atoi reads it: white space, an
// optional sign, digits; 0 when there are none. Taken modulo 2^32 so every text has a value.
std::uint32_t LeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsScanfSpace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    return negative ? 0u - value : value;
}

// The state of one import: it starts afresh with every file.
class RawLogImporter {
public:
    explicit RawLogImporter(StoreState& store) : s_(store) {}

    void ProcessLine(std::string& line) {
        CleanLogLine(line);

        if (const auto at = line.find('@'); at != std::string::npos)
            timeText_.assign(line, at + 1);
        const std::uint32_t time = LeadingNumber(timeText_);

        std::uint32_t number = 0;
        const auto open = line.find('(');
        const auto close = line.find(')');
        if (open != std::string::npos && close != std::string::npos && close > open)
            number = LeadingNumber(std::string_view(line).substr(open + 1, close - open - 1));

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
        }

        std::uint32_t delta = 0;
        if (firstLine_) {
            firstLine_ = false;
        } else {
            delta = time - previousTime_;
        }
        previousTime_ = time;

        TaskRecord* task = s_.Find(id);
        if (task == nullptr)
            task = &s_.AddOrUpdateTask(name, id, lastType_);
        s_.samples.push_back(SampleRecord{id, 0, 0, 0, 0, delta, lastKind_});
        if (IsFunctionEvent(lastKind_))
            ++s_.functionEventCount;
        else if (lastKind_ != static_cast<std::uint32_t>(RecordKind::UserEvent))
            ++s_.switchCount;
        s_.sumTicks += delta;
        ++task->runs;
        task->ticks += delta;

        if (IsSwitch(lastKind_)) {
            runningId_ = id;
        } else if (IsFunctionEvent(lastKind_)) {
            if (TaskRecord* running = s_.Find(runningId_)) {
                running->ticks += delta;
                running->lastValue3 = 0;
            }
        }
    }

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
    std::string timeText_;
    bool firstLine_ = true;
    std::uint32_t previousTime_ = 0;
    std::uint32_t lastType_ = kTypeTask;
    std::uint32_t lastKind_ = static_cast<std::uint32_t>(RecordKind::TaskSwitch);
    std::uint32_t runningId_ = 0;
};

// Feeds every line that ends in a line feed to the importer; a line of any length is kept whole.
void ImportLines(ByteSource& source, StoreState& s) {
    RawLogImporter importer(s);
    constexpr std::size_t kChunk = std::size_t{1} << 16;
    const auto chunk = std::make_unique_for_overwrite<char[]>(kChunk);
    std::string line;
    for (;;) {
        const std::size_t got = source.Read(chunk.get(), kChunk);
        if (got == 0)
            break;
        std::string_view text(chunk.get(), got);
        for (auto lf = text.find('\n'); lf != std::string_view::npos; lf = text.find('\n')) {
            line.append(text.substr(0, lf));
            importer.ProcessLine(line);
            line.clear();
            text.remove_prefix(lf + 1);
        }
        line.append(text);
    }
}

void ZeroAccumulators(CPerformanceData& data) {
    data.Write([](StoreState& s) {
        s.switchCount = 0;
        s.userEventCount = 0;
        s.sumValue0 = s.sumValue1 = s.sumValue2 = s.sumTicks = 0;
    });
}

bool ImportFrom(CPerformanceData& data, ByteSource& source, std::string& error) {
    data.ResetStore();
    const bool hasSamples = data.Write([&source](StoreState& s) {
        ImportLines(source, s);
        return !s.samples.empty();
    });
    if (!hasSamples)
        error = "the log holds no complete line";
    return hasSamples;
}

} // namespace

void CleanLogLine(std::string& line) {
    std::size_t first = 0;
    while (first < line.size() && IsScanfSpace(static_cast<unsigned char>(line[first])))
        ++first;
    std::size_t last = line.size();
    while (last > first && IsScanfSpace(static_cast<unsigned char>(line[last - 1])))
        --last;
    line.erase(last);
    line.erase(0, first);
    if (const auto colon = line.find(':'); colon != std::string::npos && colon > 0)
        line.erase(0, colon);
}

bool ImportRawLog(CPerformanceData& data, const std::string& path, std::string& error) {
    ZeroAccumulators(data);
    FileSource source;
    if (!source.Open(path, error))
        return false;
    const bool ok = ImportFrom(data, source, error);
    if (source.failed()) {
        error = "cannot read the file";
        return false;
    }
    return ok;
}

bool ImportRawLogData(CPerformanceData& data, std::string_view bytes, std::string& error) {
    ZeroAccumulators(data);
    MemorySource source(bytes);
    return ImportFrom(data, source, error);
}

} // namespace zuta
