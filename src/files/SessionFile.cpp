#include "files/SessionFile.h"

#include "engine/MemoryStatsTable.h"
#include "engine/PerformanceData.h"
#include "files/TextScanner.h"
#include "host/AtomicFile.h"
#include "host/MessageBox.h"
#include "host/NotificationSink.h"
#include "settings/PerformanceSettings.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <vector>

namespace zuta {

namespace {

constexpr const char* kUnsupportedVersion = "Unsupported ZUTA file version";
constexpr std::uint32_t kFunctionIdBase = 5000;
constexpr std::size_t kOutBufferSize = std::size_t{1} << 20;
constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;
// Longest line the writer formats in place: seven 32-bit numbers and their separators.
constexpr std::size_t kMaxNumberLine = 128;

// ---- Writing ----------------------------------------------------------------------------------

// Collects formatted text in a large buffer and hands it to the file in big blocks.
class OutBuffer {
public:
    explicit OutBuffer(host::AtomicFileWriter& file)
        : file_(file), buffer_(std::make_unique_for_overwrite<char[]>(kOutBufferSize)),
          pos_(buffer_.get()) {}

    // Room for at least `n` bytes (at most kOutBufferSize) at the returned position.
    char* Reserve(std::size_t n) {
        if (static_cast<std::size_t>(buffer_.get() + kOutBufferSize - pos_) < n)
            Flush();
        return pos_;
    }
    void Advance(char* to) { pos_ = to; }

    void Append(std::string_view text) {
        if (text.size() > kOutBufferSize / 2) {
            Flush();
            file_.Write(text);
            return;
        }
        char* p = Reserve(text.size());
        std::memcpy(p, text.data(), text.size());
        pos_ = p + text.size();
    }

    void Flush() {
        const auto size = static_cast<std::size_t>(pos_ - buffer_.get());
        file_.Write(std::string_view(buffer_.get(), size));
        pos_ = buffer_.get();
        written_ += size;
        // Start writing large files to disk while the rest is formatted, so that the flush
        // before the rename finds little left to do. Blocks this large bypass the stream's
        // buffer; a write error stays for the file's commit to report.
        if (written_ - started_ >= kWritebackStep) {
            ::sync_file_range(::fileno(file_.file()), static_cast<off_t>(started_),
                              static_cast<off_t>(written_ - started_), SYNC_FILE_RANGE_WRITE);
            started_ = written_;
        }
    }

private:
    host::AtomicFileWriter& file_;
    std::unique_ptr<char[]> buffer_;
    char* pos_;
    std::uint64_t written_ = 0;
    std::uint64_t started_ = 0;
};

template <std::size_t N> char* Put(char* p, const char (&text)[N]) {
    std::memcpy(p, text, N - 1);
    return p + N - 1;
}

// A name the reader takes back as one word: empty becomes "_", white space becomes "_".
std::string WritableName(const std::string& name) {
    if (name.empty())
        return "_";
    std::string out = name;
    for (char& c : out)
        if (text::IsSpace(c))
            c = '_';
    return out;
}

double ClockForFile(const CPerformanceData& data) {
    if (data.simpleMode() || data.externalTsMode())
        return 0.0;
    const PerformanceSettings* settings = data.services().settings;
    if (settings == nullptr)
        return PerformanceSettings{}.armClockMhz;
    if (settings->externalTsMode)
        return 10000.0;
    return settings->armClockMhz;
}

// The event lines, the bulk of a file: one "0x%x, %u; %u , %u , %u , %u , %u" line a sample.
void WriteEventLines(const SampleList& samples, OutBuffer& out, const LoadProgress& progress,
                     const std::stop_token& stop) {
    std::uint64_t written = 0;
    samples.ForEachSpan([&](const SampleRecord* records, std::size_t count) {
        if (stop.stop_requested())
            return;
        for (std::size_t i = 0; i < count; ++i) {
            const SampleRecord& r = records[i];
            char* q = out.Reserve(kMaxNumberLine);
            q = Put(q, "0x");
            q = text::PutHex(q, r.id);
            q = Put(q, ", ");
            q = text::PutUnsigned(q, r.kind);
            q = Put(q, "; ");
            q = text::PutUnsigned(q, r.ticks);
            q = Put(q, " , ");
            q = text::PutUnsigned(q, r.value0);
            q = Put(q, " , ");
            q = text::PutUnsigned(q, r.value1);
            q = Put(q, " , ");
            q = text::PutUnsigned(q, r.value2);
            q = Put(q, " , ");
            q = text::PutUnsigned(q, r.value3);
            *q++ = '\n';
            out.Advance(q);
        }
        written += count;
        if (progress)
            progress(written, samples.size());
    });
}

void WriteSession(CPerformanceData& data, const StoreState& s, OutBuffer& out,
                  const LoadProgress& progress, const std::stop_token& stop) {
    char number[text::kMaxIntText];
    const auto signedText = [&number](std::uint32_t value) {
        return std::string_view(
            number, static_cast<std::size_t>(text::PutSignedWord(number, value) - number));
    };
    // A core clock of 0 in the file means simple or external-TS sampling. A full-mode collection
    // whose clock is not known is therefore written without the clock line (version 2), so that
    // reading it back does not switch the sampling modes.
    const double clockValue = ClockForFile(data);
    const bool modes = data.simpleMode() || data.externalTsMode();
    const bool withClock = modes || PerformanceSettings::IsKnownClock(clockValue);
    std::string header = "DCRaw , ";
    header.append(signedText(withClock ? kSessionFileVersion : 2)).append(" , ");
    header.append(signedText(s.cpuType));
    if (withClock) {
        header.append("\nCoreClock= ");
        text::AppendFixed(header, clockValue, 6);
    }
    header.append("\nSampling duration ");
    header.append(signedText(s.samplingDuration)).append("\nTasksCount= ");
    header.append(signedText(static_cast<std::uint32_t>(s.tasks.size())));
    header.append("\nUserDataCount= ").append(signedText(s.userEventCount)).append("\n");
    out.Append(header);

    const MemoryStatsTable* memory = data.services().memoryStats;
    for (const auto& [id, task] : s.tasks) {
        std::array<std::uint32_t, 4> words{};
        if (memory != nullptr)
            memory->GetWords(id, words);
        out.Append(WritableName(task.name));
        char* p = out.Reserve(kMaxNumberLine);
        p = Put(p, " , 0x");
        p = text::PutHex(p, task.id);
        p = Put(p, " , ");
        p = text::PutSignedWord(p, static_cast<std::uint32_t>(task.runs));
        p = Put(p, " , ");
        p = text::PutSignedWord(p, task.type);
        p = Put(p, " , ");
        p = text::PutUnsigned(p, words[1]);
        p = Put(p, " , ");
        p = text::PutUnsigned(p, words[0]);
        p = Put(p, " , ");
        p = text::PutUnsigned(p, words[2]);
        p = Put(p, ", ");
        p = text::PutUnsigned(p, words[3]);
        p = Put(p, " \n");
        out.Advance(p);
    }

    char* p = out.Reserve(kMaxNumberLine);
    p = Put(p, "EventsCount= ");
    p = text::PutUnsigned(p, static_cast<std::uint32_t>(s.samples.size()));
    *p++ = '\n';
    out.Advance(p);

    WriteEventLines(s.samples, out, progress, stop);
    out.Flush();
}

// ---- Reading ----------------------------------------------------------------------------------

// The core-clock line of a version 3 file: a clock of exactly 0 means the counters were taken in
// simple or external time stamp mode; the view learns of the change through notification 4.
void ApplyCoreClock(CPerformanceData& data, float clock) {
    const bool modes = clock == 0.0f;
    data.SetSimpleMode(modes);
    data.SetExternalTsMode(modes);
    if (PerformanceSettings* settings = data.services().settings) {
        settings->simpleMode = modes;
        settings->externalTsMode = modes;
        if (!modes)
            settings->armClockMhz = clock;
    }
    if (host::INotificationSink* notify = data.services().notify)
        notify->PostNotification(host::kNotifyStatus, host::kCodeSamplingFlagsChanged);
}

std::string Count(std::int64_t n) {
    return text::FormatSigned(n);
}

std::int64_t SignExtend(std::uint32_t value) {
    return static_cast<std::int32_t>(value);
}

// An event line written as the writer writes it ("0x3eb, 1; 5120 , 300 , 20 , 7 , 5110", any
// white space where the patterns allow it), read straight from the scanner's buffer. Any other
// line, or one that reaches the end of the buffered bytes, is left to the general reader: false
// and nothing consumed.
bool ReadPlainEventLine(TextScanner& in, SampleRecord& r) {
    char* p = in.FastBegin();
    if (p == nullptr || p[0] != '0' || p[1] != 'x')
        return false;
    std::uint32_t w[7];
    p = TextScanner::FastHexDigits(p + 2, w[0]);
    if (p == nullptr || *p != ',')
        return false;
    p = TextScanner::FastDigits(TextScanner::FastSkipSpace(p + 1), w[1]);
    if (p == nullptr || *p != ';')
        return false;
    p = TextScanner::FastDigits(TextScanner::FastSkipSpace(p + 1), w[2]);
    for (int k = 3; k < 7 && p != nullptr; ++k) {
        p = TextScanner::FastSkipSpace(p);
        if (*p != ',')
            return false;
        p = TextScanner::FastDigits(TextScanner::FastSkipSpace(p + 1), w[k]);
    }
    if (p == nullptr || in.FastAtEnd(p))
        return false;
    p = TextScanner::FastSkipSpace(p);
    in.FastCommit(p);
    if (in.FastAtEnd(p))
        in.SkipSpace();
    r = SampleRecord{w[0], w[3], w[4], w[5], w[6], w[2], w[1]};
    return true;
}

// An event line through the scanf patterns: false when the input ends inside it.
bool ReadEventLine(TextScanner& in, SampleRecord& r) {
    in.ClearInputFailure();
    int fields = ScanCall(in).Text("0x").Hex(r.id).Char(',').Space().Decimal(r.kind).fields();
    fields += ScanCall(in)
                  .Char(';')
                  .Space()
                  .Decimal(r.ticks)
                  .Space()
                  .Char(',')
                  .Space()
                  .Decimal(r.value0)
                  .Space()
                  .Char(',')
                  .Space()
                  .Decimal(r.value1)
                  .Space()
                  .Char(',')
                  .Space()
                  .Decimal(r.value2)
                  .Space()
                  .Char(',')
                  .Space()
                  .Decimal(r.value3)
                  .Space()
                  .fields();
    return fields == 7 || !in.inputFailed();
}

std::string ReadEventLines(TextScanner& in, StoreState& s, std::int32_t events);

// What the task and event lines held beyond their records: whether function names were learned,
// and why the lines did not match the counts that announce them, in the order met.
struct LinesRead {
    bool namesTaught = false;
    std::vector<std::string> problems;
};

// Reads the task lines and event lines. A line that the input ends inside is dropped and reading
// stops there; so does an event line of which nothing could be read, as no later line can be
// either.
LinesRead ReadTasksAndEvents(CPerformanceData& data, TextScanner& in, StoreState& s,
                             std::int32_t taskCount) {
    LinesRead result;
    ScanCall(in).Text("UserDataCount=").Space().Decimal(s.userEventCount).Space();

    MemoryStatsTable* memory = data.services().memoryStats;
    FunctionNameMap& functionNames = data.functionNames();
    // Fields that a malformed line does not match keep the value of the line before.
    std::string name;
    std::uint32_t id = 0;
    std::uint32_t runs = 0;
    std::uint32_t type = 0;
    std::array<std::uint32_t, 4> fileWords{}; // in file order: word 1, 0, 2, 3
    for (std::int32_t i = 0; i < taskCount; ++i) {
        if (in.LookingAt("EventsCount=")) {
            result.problems.push_back("TasksCount is " + Count(taskCount) +
                                      ", but the file holds " + Count(i) + " task lines");
            break;
        }
        in.ClearInputFailure();
        int fields = ScanCall(in)
                         .Word(name)
                         .Space()
                         .Char(',')
                         .Space()
                         .Text("0x")
                         .Hex(id)
                         .Space()
                         .Char(',')
                         .Space()
                         .Decimal(runs)
                         .Space()
                         .Char(',')
                         .Space()
                         .Decimal(type)
                         .fields();
        fields += ScanCall(in)
                      .Space()
                      .Char(',')
                      .Space()
                      .Decimal(fileWords[0])
                      .Space()
                      .Char(',')
                      .Space()
                      .Decimal(fileWords[1])
                      .Space()
                      .Char(',')
                      .Space()
                      .Decimal(fileWords[2])
                      .Char(',')
                      .Space()
                      .Decimal(fileWords[3])
                      .Space()
                      .fields();
        if (fields < 8 && in.inputFailed()) {
            result.problems.push_back("the file ends after " + Count(i) + " of " +
                                      Count(taskCount) + " tasks");
            return result;
        }

        if (type == kTypeFunctionEnter || type == kTypeFunctionExit) {
            const std::uint32_t number = id - kFunctionIdBase;
            std::string known;
            if (!functionNames.Lookup(number, known)) {
                functionNames.SetName(number, name);
                result.namesTaught = true;
            }
        }
        TaskRecord& task = s.AddOrUpdateTask(name, id, type);
        task.runs = static_cast<std::uint64_t>(SignExtend(runs));
        if (memory != nullptr)
            memory->AddEntry(id, name, {fileWords[1], fileWords[0], fileWords[2], fileWords[3]});
    }

    if (!in.LookingAt("EventsCount=")) {
        result.problems.push_back(in.AtEnd() ? "the file ends before its EventsCount line"
                                             : "TasksCount is " + Count(taskCount) +
                                                   ", but more task lines follow");
        return result;
    }
    std::uint32_t eventCount = 0;
    ScanCall(in).Text("EventsCount=").Decimal(eventCount).Space();
    if (std::string problem = ReadEventLines(in, s, static_cast<std::int32_t>(eventCount));
        !problem.empty())
        result.problems.push_back(std::move(problem));
    return result;
}

// Reads up to `events` event lines into the store; why fewer were read, or empty.
std::string ReadEventLines(TextScanner& in, StoreState& s, std::int32_t events) {
    // The task of the run sample before, to which the function events after it belong.
    TaskRecord* running = nullptr;
    SampleRecord r;
    std::int32_t read = 0;
    for (; read < events; ++read) {
        if (!ReadPlainEventLine(in, r)) {
            const std::uint64_t start = in.consumed();
            if (!ReadEventLine(in, r))
                return "the file ends after " + Count(read) + " of " + Count(events) + " events";
            if (in.consumed() == start)
                break;
        }

        // A copy that no store into the list or the sums can change, so its kind is tested once.
        const SampleRecord sample = r;
        s.samples.push_back(sample);
        // The figures are rebuilt as the collection built them: a run counts into its task, the
        // function events after it into that same task, and a user event's data word is no
        // counter.
        if (sample.kind == static_cast<std::uint32_t>(RecordKind::UserEvent))
            continue;
        TaskRecord* owner = IsFunctionEvent(sample.kind) ? running : s.Find(sample.id);
        s.Accumulate(sample, owner, false);
        if (IsSwitch(sample.kind))
            running = owner;
    }
    if (read < events)
        return "EventsCount is " + Count(events) + ", but line " + Count(read + 1) +
               " after it is no event line";
    if (!in.AtEnd())
        return "EventsCount is " + Count(events) + ", but more lines follow the events";
    return {};
}

// Reads a whole session file. False with `error` set when it yields no session; what it could
// not read of one that loads goes to `warnings`.
bool ReadSession(CPerformanceData& data, TextScanner& in, ByteSource& source, std::string& error,
                 std::vector<std::string>& warnings) {
    if (in.AtEnd()) {
        error = source.failure().empty() ? "the file is empty" : source.failure();
        return false;
    }
    std::string word;
    std::uint32_t version = 0;
    std::uint32_t cpuType = data.Read([](const StoreState& s) { return s.cpuType; });
    ScanCall(in)
        .Word(word)
        .Space()
        .Char(',')
        .Space()
        .Decimal(version)
        .Space()
        .Char(',')
        .Space()
        .Decimal(cpuType)
        .Space();
    if (!source.failure().empty()) {
        error = source.failure();
        return false;
    }
    data.SetCpuType(cpuType);

    const auto fileVersion = static_cast<std::int32_t>(version);
    if (fileVersion != 2 && fileVersion != 3) {
        if (host::IMessageBox* box = data.services().messageBox)
            box->Show(kUnsupportedVersion, "Error", host::MessageIcon::Error);
        error = std::string(kUnsupportedVersion) + " " + Count(fileVersion);
        return false;
    }
    if (fileVersion == 3) {
        std::string clockText;
        ScanCall(in).Text("CoreClock=").Space().Word(clockText).Space();
        ApplyCoreClock(data, PerformanceSettings::ClockFromText(clockText));
    }

    std::uint32_t duration = 0;
    std::uint32_t taskCount = 0;
    ScanCall(in).Text("Sampling").Space().Text("duration").Space().Decimal(duration).Space();
    ScanCall(in).Text("TasksCount=").Decimal(taskCount).Space();
    LinesRead lines;
    const bool hasEvents = data.Write([&](StoreState& s) {
        s.samplingDuration = duration;
        if (taskCount == 0)
            return false;
        lines = ReadTasksAndEvents(data, in, s, static_cast<std::int32_t>(taskCount));
        return !s.samples.empty();
    });
    if (lines.namesTaught)
        data.SaveFunctionNames();

    // A read error explains everything that went missing after it.
    if (!source.failure().empty()) {
        error = source.failure();
        return false;
    }
    if (in.linesCut() > 0)
        warnings.push_back(CutLinesWarning(in.linesCut()));
    if (hasEvents) {
        warnings.insert(warnings.end(), lines.problems.begin(), lines.problems.end());
        return true;
    }
    // The last problem met is the one that ended the reading.
    if (taskCount == 0)
        error = "the file lists no tasks";
    else if (!lines.problems.empty())
        error = lines.problems.back();
    else
        error = "the file holds no events";
    return false;
}

bool LoadFrom(CPerformanceData& data, ByteSource& source, std::string& error,
              const LoadProgress& progress, std::vector<std::string>* warnings) {
    data.ResetStore();
    TextScanner in(source, progress);
    std::vector<std::string> found;
    const bool loaded = ReadSession(data, in, source, error, found);
    if (warnings != nullptr)
        *warnings = std::move(found);
    return loaded;
}

void ZeroAccumulators(CPerformanceData& data) {
    data.Write([](StoreState& s) { s.ZeroTotals(); });
}

} // namespace

bool SaveSessionFile(CPerformanceData& data, const std::string& path, std::string& error,
                     const LoadProgress& progress, std::stop_token stop) {
    host::AtomicFileWriter file;
    if (!file.Open(path, error))
        return false;
    OutBuffer out(file);
    data.Read([&](const StoreState& s) { WriteSession(data, s, out, progress, stop); });
    // The unfinished new file goes with the writer; the old one stays.
    if (stop.stop_requested()) {
        error = "cancelled";
        return false;
    }
    return file.Commit(error);
}

bool LoadSessionFile(CPerformanceData& data, const std::string& path, std::string& error,
                     const LoadProgress& progress, std::vector<std::string>* warnings) {
    ZeroAccumulators(data);
    if (warnings != nullptr)
        warnings->clear();
    FileSource source;
    if (!source.Open(path, error))
        return false;
    return LoadFrom(data, source, error, progress, warnings);
}

bool LoadSessionSource(CPerformanceData& data, ByteSource& source, std::string& error,
                       const LoadProgress& progress, std::vector<std::string>* warnings) {
    ZeroAccumulators(data);
    return LoadFrom(data, source, error, progress, warnings);
}

bool LoadSessionData(CPerformanceData& data, std::string_view bytes, std::string& error,
                     const LoadProgress& progress, std::vector<std::string>* warnings) {
    ZeroAccumulators(data);
    MemorySource source(bytes);
    return LoadFrom(data, source, error, progress, warnings);
}

} // namespace zuta
