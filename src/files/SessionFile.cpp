#include "files/SessionFile.h"

#include "engine/MemoryStatsTable.h"
#include "engine/PerformanceData.h"
#include "files/TextScanner.h"
#include "host/AtomicFile.h"
#include "host/MessageBox.h"
#include "host/NotificationSink.h"
#include "settings/PerformanceSettings.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
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
        // before the rename finds little left to do.
        if (written_ - started_ >= kWritebackStep && std::fflush(file_.file()) == 0) {
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

// "%u"
char* PutUnsigned(char* p, std::uint32_t value) {
    return std::to_chars(p, p + 10, value).ptr;
}
// "%d" of a 32-bit word
char* PutSigned(char* p, std::uint32_t value) {
    return std::to_chars(p, p + 11, static_cast<std::int32_t>(value)).ptr;
}
// "%x"
char* PutHex(char* p, std::uint32_t value) {
    return std::to_chars(p, p + 8, value, 16).ptr;
}

// A name the reader takes back as one word: empty becomes "_", white space becomes "_".
std::string WritableName(const std::string& name) {
    if (name.empty())
        return "_";
    std::string out = name;
    for (char& c : out)
        if (IsScanfSpace(static_cast<unsigned char>(c)))
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

void WriteSession(CPerformanceData& data, const StoreState& s, OutBuffer& out) {
    char number[16];
    const auto signedText = [&number](std::uint32_t value) {
        return std::string_view(number,
                                static_cast<std::size_t>(PutSigned(number, value) - number));
    };
    // A core clock of 0 in the file means simple or external-TS sampling. A full-mode collection
    // whose clock is not known is therefore written without the clock line (version 2), so that
    // reading it back does not switch the sampling modes.
    const double clockValue = ClockForFile(data);
    const bool withClock = clockValue != 0.0 || data.simpleMode() || data.externalTsMode();
    std::string header = "DCRaw , ";
    header.append(signedText(withClock ? kSessionFileVersion : 2)).append(" , ");
    header.append(signedText(s.cpuType));
    if (withClock) {
        // "%f" of any double fits: at most 309 digits before the point.
        char clock[400];
        const auto clockEnd =
            std::to_chars(clock, clock + sizeof clock, clockValue, std::chars_format::fixed, 6).ptr;
        header.append("\nCoreClock= ").append(clock, clockEnd);
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
        p = PutHex(p, task.id);
        p = Put(p, " , ");
        p = PutSigned(p, static_cast<std::uint32_t>(task.runs));
        p = Put(p, " , ");
        p = PutSigned(p, task.type);
        p = Put(p, " , ");
        p = PutUnsigned(p, words[1]);
        p = Put(p, " , ");
        p = PutUnsigned(p, words[0]);
        p = Put(p, " , ");
        p = PutUnsigned(p, words[2]);
        p = Put(p, ", ");
        p = PutUnsigned(p, words[3]);
        p = Put(p, " \n");
        out.Advance(p);
    }

    char* p = out.Reserve(kMaxNumberLine);
    p = Put(p, "EventsCount= ");
    p = PutUnsigned(p, static_cast<std::uint32_t>(s.samples.size()));
    *p++ = '\n';
    out.Advance(p);

    s.samples.ForEachSpan([&out](const SampleRecord* records, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            const SampleRecord& r = records[i];
            char* q = out.Reserve(kMaxNumberLine);
            q = Put(q, "0x");
            q = PutHex(q, r.id);
            q = Put(q, ", ");
            q = PutUnsigned(q, r.kind);
            q = Put(q, "; ");
            q = PutUnsigned(q, r.ticks);
            q = Put(q, " , ");
            q = PutUnsigned(q, r.value0);
            q = Put(q, " , ");
            q = PutUnsigned(q, r.value1);
            q = Put(q, " , ");
            q = PutUnsigned(q, r.value2);
            q = Put(q, " , ");
            q = PutUnsigned(q, r.value3);
            *q++ = '\n';
            out.Advance(q);
        }
    });
    out.Flush();
}

// ---- Reading ----------------------------------------------------------------------------------

// The standard text-to-double conversion of the core-clock word: the leading number, 0 when there
// is none, +-infinity or 0 when it is out of range. Independent of the process locale.
double LeadingDouble(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsScanfSpace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::chars_format format = std::chars_format::general;
    char exponentMark = 'e';
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        const char c = text[i + 2];
        const bool hexDigitOrPoint =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '.';
        if (hexDigitOrPoint) {
            format = std::chars_format::hex;
            exponentMark = 'p';
            i += 2;
        }
    }
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, format);
    if (result.ec == std::errc::invalid_argument)
        return 0.0;
    if (result.ec == std::errc::result_out_of_range) {
        // Too large gives infinity, too small gives zero, as the C conversion does.
        const std::string_view number(first, static_cast<std::size_t>(result.ptr - first));
        std::size_t mark = number.find_first_of(exponentMark == 'e' ? "eE" : "pP");
        const bool tiny =
            mark != std::string_view::npos && mark + 1 < number.size() && number[mark + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

float ToFloat(double value) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (value > kMax)
        return std::numeric_limits<float>::infinity();
    if (value < -kMax)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

// The core-clock line of a version 3 file: a clock of exactly 0 means the counters were taken in
// simple or external time stamp mode; the view learns of the change through notification 4.
void ApplyCoreClock(CPerformanceData& data, double clock) {
    const bool modes = clock == 0.0;
    data.SetSimpleMode(modes);
    data.SetExternalTsMode(modes);
    if (PerformanceSettings* settings = data.services().settings) {
        settings->simpleMode = modes;
        settings->externalTsMode = modes;
        if (!modes)
            settings->armClockMhz = ToFloat(clock);
    }
    if (host::INotificationSink* notify = data.services().notify)
        notify->PostNotification(host::kNotifyStatus, host::kCodeSamplingFlagsChanged);
}

// Task records by identifier during the event lines, when the task map no longer changes.
class TaskIndex {
public:
    explicit TaskIndex(StoreState& s) : tasks_(s.tasks), direct_(kDirect, nullptr) {
        for (auto& [id, task] : s.tasks)
            if (id < kDirect)
                direct_[id] = &task;
    }
    TaskRecord* Find(std::uint32_t id) {
        if (id < kDirect)
            return direct_[id];
        const auto it = tasks_.find(id);
        return it != tasks_.end() ? &it->second : nullptr;
    }

private:
    static constexpr std::uint32_t kDirect = 1u << 16;
    std::map<std::uint32_t, TaskRecord>& tasks_;
    std::vector<TaskRecord*> direct_;
};

void AddSample(TaskRecord& task, const SampleRecord& r) {
    task.ticks += r.ticks;
    task.sumValue0 += r.value0;
    task.sumValue1 += r.value1;
    task.sumValue2 += r.value2;
    task.lastValue3 = r.value3;
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

// Reads the task lines and event lines. A line that the input ends inside is dropped and reading
// stops there; so does a line of which nothing could be read, as no later line can be either.
void ReadTasksAndEvents(CPerformanceData& data, TextScanner& in, StoreState& s,
                        std::int32_t taskCount) {
    ScanCall(in).Text("UserDataCount=").Space().Decimal(s.userEventCount).Space();

    MemoryStatsTable* memory = data.services().memoryStats;
    FunctionNameMap& functionNames = data.functionNames();
    bool namesTaught = false;
    // Fields that a malformed line does not match keep the value of the line before.
    std::string name;
    std::uint32_t id = 0;
    std::uint32_t runs = 0;
    std::uint32_t type = 0;
    std::array<std::uint32_t, 4> fileWords{}; // in file order: word 1, 0, 2, 3
    for (std::int32_t i = 0; i < taskCount; ++i) {
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
        if (fields < 8 && in.inputFailed())
            return;

        if (type == kTypeFunctionEnter || type == kTypeFunctionExit) {
            const std::uint32_t number = id - kFunctionIdBase;
            std::string known;
            if (!functionNames.Lookup(number, known)) {
                functionNames.SetName(number, name);
                namesTaught = true;
            }
        }
        TaskRecord& task = s.AddOrUpdateTask(name, id, type);
        task.runs = static_cast<std::uint64_t>(SignExtend(runs));
        if (memory != nullptr)
            memory->AddEntry(id, name, {fileWords[1], fileWords[0], fileWords[2], fileWords[3]});
    }
    if (namesTaught)
        functionNames.Save();

    std::uint32_t eventCount = 0;
    ScanCall(in).Text("EventsCount=").Decimal(eventCount).Space();
    const std::int32_t events = static_cast<std::int32_t>(eventCount);

    TaskIndex index(s);
    // The task of the run sample before, to which the function events after it belong.
    TaskRecord* running = nullptr;
    SampleRecord r;
    for (std::int32_t i = 0; i < events; ++i) {
        if (!ReadPlainEventLine(in, r)) {
            in.ClearInputFailure();
            const std::uint64_t start = in.consumed();
            int fields =
                ScanCall(in).Text("0x").Hex(r.id).Char(',').Space().Decimal(r.kind).fields();
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
            if ((fields < 7 && in.inputFailed()) || in.consumed() == start)
                return;
        }

        // The figures are rebuilt as the collection built them: a run counts into its task, the
        // function events after it into that same task, and a user event's data word is no
        // counter.
        s.samples.push_back(r);
        if (r.kind == static_cast<std::uint32_t>(RecordKind::UserEvent))
            continue;
        s.sumValue0 += r.value0;
        s.sumValue1 += r.value1;
        s.sumValue2 += r.value2;
        s.sumTicks += r.ticks;
        if (IsFunctionEvent(r.kind)) {
            ++s.functionEventCount;
            if (running != nullptr)
                AddSample(*running, r);
            continue;
        }
        ++s.switchCount;
        TaskRecord* task = index.Find(r.id);
        if (task != nullptr)
            AddSample(*task, r);
        if (IsSwitch(r.kind))
            running = task;
    }
}

bool ReadSession(CPerformanceData& data, TextScanner& in, std::string& error) {
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
    data.SetCpuType(cpuType);

    const auto fileVersion = static_cast<std::int32_t>(version);
    if (fileVersion != 2 && fileVersion != 3) {
        if (host::IMessageBox* box = data.services().messageBox)
            box->Show(kUnsupportedVersion, "Error", host::MessageIcon::Error);
        error = std::string(kUnsupportedVersion) + " " + std::to_string(fileVersion);
        return false;
    }
    if (fileVersion == 3) {
        std::string clockText;
        ScanCall(in).Text("CoreClock=").Space().Word(clockText).Space();
        ApplyCoreClock(data, LeadingDouble(clockText));
    }

    std::uint32_t duration = 0;
    std::uint32_t taskCount = 0;
    ScanCall(in).Text("Sampling").Space().Text("duration").Space().Decimal(duration).Space();
    ScanCall(in).Text("TasksCount=").Decimal(taskCount).Space();
    const bool hasEvents = data.Write([&](StoreState& s) {
        s.samplingDuration = duration;
        if (taskCount == 0)
            return false;
        ReadTasksAndEvents(data, in, s, static_cast<std::int32_t>(taskCount));
        return !s.samples.empty();
    });
    if (taskCount == 0)
        error = "the file lists no tasks";
    else if (!hasEvents)
        error = "the file holds no events";
    return hasEvents;
}

bool LoadFrom(CPerformanceData& data, ByteSource& source, std::string& error,
              const LoadProgress& progress) {
    data.ResetStore();
    TextScanner in(source, progress);
    return ReadSession(data, in, error);
}

void ZeroAccumulators(CPerformanceData& data) {
    data.Write([](StoreState& s) {
        s.switchCount = 0;
        s.userEventCount = 0;
        s.sumValue0 = s.sumValue1 = s.sumValue2 = s.sumTicks = 0;
    });
}

} // namespace

bool SaveSessionFile(CPerformanceData& data, const std::string& path, std::string& error) {
    host::AtomicFileWriter file;
    if (!file.Open(path, error))
        return false;
    OutBuffer out(file);
    data.Read([&](const StoreState& s) { WriteSession(data, s, out); });
    return file.Commit(error);
}

bool LoadSessionFile(CPerformanceData& data, const std::string& path, std::string& error,
                     const LoadProgress& progress) {
    ZeroAccumulators(data);
    FileSource source;
    if (!source.Open(path, error))
        return false;
    if (!LoadFrom(data, source, error, progress))
        return false;
    if (source.failed()) {
        error = "cannot read the file";
        return false;
    }
    return true;
}

bool LoadSessionData(CPerformanceData& data, std::string_view bytes, std::string& error,
                     const LoadProgress& progress) {
    ZeroAccumulators(data);
    MemorySource source(bytes);
    return LoadFrom(data, source, error, progress);
}

} // namespace zuta
