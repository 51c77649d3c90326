#include "graphs/TraceExport.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace zuta::graphs {

namespace {

constexpr char kProcessId[] = "1";
constexpr std::size_t kFlushSize = 1u << 18;

// The length of the valid UTF-8 sequence at the start of `text`, 0 when there is none.
std::size_t Utf8Length(std::string_view text) {
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80; // the range of the second byte, narrower after some leads
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0)
            low = 0xa0; // overlong
        if (lead == 0xed)
            high = 0x9f; // surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0)
            low = 0x90; // overlong
        if (lead == 0xf4)
            high = 0x8f; // beyond U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xbf)
            return 0;
    return length;
}

// "0x%x"
std::string HexName(std::uint32_t id) {
    char digits[8];
    return "0x" + std::string(digits, std::to_chars(digits, digits + sizeof digits, id, 16).ptr);
}

// The text being written, handed to the sink in large pieces.
class TextBuffer {
public:
    explicit TextBuffer(const TraceSink& sink) : sink_(sink), data_(kFlushSize) {}

    // Makes room for `size` more characters.
    void Reserve(std::size_t size) {
        if (data_.size() - used_ >= size)
            return;
        Flush();
        if (data_.size() < size)
            data_.resize(size);
    }
    void Put(std::string_view text) {
        std::memcpy(data_.data() + used_, text.data(), text.size());
        used_ += text.size();
    }
    void PutUnsigned(std::uint64_t value) {
        char* const at = data_.data() + used_;
        used_ += static_cast<std::size_t>(std::to_chars(at, at + 20, value).ptr - at);
    }
    // `value` hundredths or thousandths (`decimals` 2 or 3) as a fixed-point number.
    void PutFixed(std::uint64_t value, int decimals) {
        const std::uint64_t unit = decimals == 2 ? 100 : 1000;
        PutUnsigned(value / unit);
        auto fraction = static_cast<unsigned>(value % unit);
        char* const at = data_.data() + used_;
        at[0] = '.';
        for (int i = decimals; i > 0; --i, fraction /= 10)
            at[i] = static_cast<char>('0' + fraction % 10);
        used_ += static_cast<std::size_t>(decimals) + 1;
    }
    bool Flush() {
        ok_ = ok_ && sink_(std::string_view(data_.data(), used_));
        used_ = 0;
        return ok_;
    }
    bool ok() const { return ok_; }

private:
    const TraceSink& sink_;
    std::vector<char> data_;
    std::size_t used_ = 0;
    bool ok_ = true;
};

// Room for an event besides its name.
constexpr std::size_t kEventRoom = 320;

// Ticks and counters of function events.
struct Sums {
    std::uint64_t ticks = 0;
    std::uint64_t value0 = 0;
    std::uint64_t value1 = 0;
    std::uint64_t value2 = 0;

    Sums& operator+=(const Sums& other) {
        ticks += other.ticks;
        value0 += other.value0;
        value1 += other.value1;
        value2 += other.value2;
        return *this;
    }
};

// A part of a function call within one run of its thread, in ticks.
struct Segment {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint32_t call = 0;
};

class Writer {
public:
    Writer(const TraceInput& input, const TraceSink& sink) : input_(input), out_(sink) {
        nanosecondsPerTick_ = 1000.0 / input.ticksPerMicrosecond;
    }

    bool Write() {
        out_.Put("{\"displayTimeUnit\":\"ns\",\"traceEvents\":[");
        Open(0);
        out_.Put("\"ph\":\"M\",\"name\":\"process_name\",\"pid\":");
        out_.Put(kProcessId);
        out_.Put(",\"args\":{\"name\":\"ZUTA target\"}}");
        AddThreads();
        WalkSamples();
        out_.Reserve(8);
        out_.Put("\n]}\n");
        return out_.Flush();
    }

private:
    struct Thread {
        std::string name; // as a JSON string
        std::uint32_t tid = 0;
        std::vector<std::uint32_t> openCalls; // calls that go on past the thread's last run
    };

    // Tasks, then HISRs, then IRQs, each by identifier; the thread numbers follow that order.
    void AddThreads() {
        std::vector<const TraceThread*> ordered;
        for (const TraceThread& t : input_.threads)
            ordered.push_back(&t);
        std::stable_sort(ordered.begin(), ordered.end(), [](const auto* a, const auto* b) {
            return a->type != b->type ? a->type < b->type : a->id < b->id;
        });
        for (const TraceThread* t : ordered)
            AddThread(t->id, t->name);
    }

    // Runs of an identifier that the store has no task for get a thread named by the number.
    std::size_t ThreadOf(std::uint32_t id) {
        if (id == cachedId_ && cachedThread_ < threads_.size())
            return cachedThread_;
        const auto found = threadIndex_.find(id);
        cachedId_ = id;
        cachedThread_ = found != threadIndex_.end() ? found->second : AddThread(id, {});
        return cachedThread_;
    }

    std::size_t AddThread(std::uint32_t id, const std::string& name) {
        Thread thread;
        AppendJsonString(thread.name, name.empty() ? HexName(id) : name);
        thread.tid = static_cast<std::uint32_t>(threads_.size() + 1);
        Open(thread.name.size());
        out_.Put("\"ph\":\"M\",\"name\":\"thread_name\"");
        PutThread(thread.tid);
        out_.Put(",\"args\":{\"name\":");
        out_.Put(thread.name);
        out_.Put("}}");
        Open(0);
        out_.Put("\"ph\":\"M\",\"name\":\"thread_sort_index\"");
        PutThread(thread.tid);
        out_.Put(",\"args\":{\"sort_index\":");
        out_.PutUnsigned(thread.tid);
        out_.Put("}}");
        threadIndex_.emplace(id, threads_.size());
        threads_.push_back(std::move(thread));
        return threads_.size() - 1;
    }

    const std::string& FunctionName(std::uint32_t function) {
        auto [slot, fresh] = functionNames_.try_emplace(function);
        if (fresh) {
            std::string name = "Fn" + std::to_string(function);
            if (input_.functionNames) {
                const auto named = input_.functionNames->find(function);
                if (named != input_.functionNames->end())
                    name = named->second;
            }
            AppendJsonString(slot->second, name);
        }
        return slot->second;
    }

    void WalkSamples() {
        const std::span<const GraphSample> samples = input_.samples;
        std::size_t nextSession = 0;
        std::uint64_t now = 0;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const GraphSample& s = samples[i];
            const bool function = s.kind == kSampleFunctionEntry || s.kind == kSampleFunctionExit;
            const bool run = !function && s.kind != kSampleUserEvent;
            if (run)
                now = CloseRun(i, now);
            while (nextSession < input_.sessions.size() &&
                   input_.sessions[nextSession].firstSample <= i)
                WriteLoad(input_.sessions[nextSession++], now);
            if (run) {
                inRun_ = true;
                folded_ = true;
                run_ = &s;
                runIndex_ = i;
                runThread_ = ThreadOf(s.id);
                runStart_ = now;
                runFunctionTicks_ = 0;
                unfolded_ = {};
                eventTimes_.clear();
            } else if (inRun_) { // events before the first run belong to no thread
                if (function) {
                    runFunctionTicks_ += s.ticks;
                    // The run's graph sample holds the function events up to its first user
                    // event; those after it still ran within the run.
                    if (!folded_)
                        unfolded_ += {s.ticks, s.value0, s.value1, s.value2};
                } else {
                    folded_ = false;
                    WriteUserEvent(s, runStart_ + runFunctionTicks_);
                }
                eventTimes_.push_back(runStart_ + runFunctionTicks_);
            }
            if (!out_.ok())
                return;
        }
        CloseRun(samples.size(), now);
    }

    std::uint64_t TimeAt(std::size_t index) const { return eventTimes_[index - runIndex_ - 1]; }

    // Writes the parts of the calls that lie in the run ending before sample `end`: calls still
    // open from earlier runs of its thread and calls entered in it, each up to its closing mark or
    // the run's end, and each cut to the call around it, so that every event nests.
    std::uint64_t CloseRun(std::size_t end, std::uint64_t now) {
        const std::span<const FunctionCall> calls = input_.calls;
        if (!inRun_) {
            while (nextCall_ < calls.size() && calls[nextCall_].enterIndex < end)
                ++nextCall_;
            return now;
        }
        inRun_ = false;
        runEnd_ = runStart_ + run_->ticks + unfolded_.ticks;
        WriteRun();
        segments_.clear();
        std::vector<std::uint32_t>& open = threads_[runThread_].openCalls;
        std::size_t kept = 0;
        for (const std::uint32_t c : open) {
            const FunctionCall& call = calls[c];
            if (call.exitIndex < runIndex_)
                continue; // closed while another thread ran
            segments_.push_back(
                {runStart_, call.exitIndex < end ? TimeAt(call.exitIndex) : runEnd_, c});
            if (call.exitIndex >= end)
                open[kept++] = c;
        }
        open.resize(kept);
        for (; nextCall_ < calls.size() && calls[nextCall_].enterIndex < end; ++nextCall_) {
            const FunctionCall& call = calls[nextCall_];
            const auto c = static_cast<std::uint32_t>(nextCall_);
            segments_.push_back({TimeAt(call.enterIndex),
                                 call.exitIndex < end ? TimeAt(call.exitIndex) : runEnd_, c});
            if (call.exitIndex >= end)
                open.push_back(c);
        }
        std::sort(segments_.begin(), segments_.end(), [&calls](const Segment& a, const Segment& b) {
            if (a.start != b.start)
                return a.start < b.start;
            if (a.end != b.end)
                return a.end > b.end;
            if (calls[a.call].depth != calls[b.call].depth)
                return calls[a.call].depth < calls[b.call].depth;
            return a.call < b.call;
        });
        ends_.clear();
        for (Segment& segment : segments_) {
            while (!ends_.empty() && ends_.back() <= segment.start && ends_.back() < segment.end)
                ends_.pop_back();
            if (!ends_.empty())
                segment.end = std::min(segment.end, ends_.back());
            ends_.push_back(segment.end);
            WriteCall(segment);
        }
        return runEnd_;
    }

    std::uint64_t Nanoseconds(std::uint64_t ticks) const {
        return static_cast<std::uint64_t>(static_cast<double>(ticks) * nanosecondsPerTick_ + 0.5);
    }

    void PutThread(std::uint32_t tid) {
        out_.Put(",\"pid\":");
        out_.Put(kProcessId);
        out_.Put(",\"tid\":");
        out_.PutUnsigned(tid);
    }

    // "pid", "tid" and "ts" of an event on the run's thread at `ticks`.
    void AppendPlace(std::uint64_t ticks) {
        PutThread(threads_[runThread_].tid);
        out_.Put(",\"ts\":");
        out_.PutFixed(Nanoseconds(ticks), 3);
    }

    // Both ends are rounded, not the length, so that what nests in ticks nests in the text.
    void AppendSpan(std::uint64_t start, std::uint64_t end) {
        AppendPlace(start);
        out_.Put(",\"dur\":");
        out_.PutFixed(Nanoseconds(end) - Nanoseconds(start), 3);
    }

    void WriteRun() {
        const std::uint64_t ticks = run_->ticks + unfolded_.ticks;
        const std::uint64_t instructions = run_->value0 + unfolded_.value0;
        Open(threads_[runThread_].name.size());
        out_.Put("\"ph\":\"X\",\"cat\":\"run\",\"name\":");
        out_.Put(threads_[runThread_].name);
        AppendSpan(runStart_, runEnd_);
        out_.Put(",\"args\":{\"instructions\":");
        out_.PutUnsigned(instructions);
        out_.Put(",\"accessDuration\":");
        out_.PutUnsigned(run_->value1 + unfolded_.value1);
        out_.Put(",\"accessCount\":");
        out_.PutUnsigned(run_->value2 + unfolded_.value2);
        // Cycles per instruction with two decimals, 0 without instructions, as the task table.
        out_.Put(",\"cpi\":");
        const std::uint64_t hundredths =
            instructions == 0 ? 0 : (ticks * 200 + instructions) / (2 * instructions);
        out_.PutFixed(hundredths, 2);
        out_.Put("}}");
    }

    void WriteCall(const Segment& segment) {
        const FunctionCall& call = input_.calls[segment.call];
        const std::string& name = FunctionName(call.function);
        Open(name.size());
        out_.Put("\"ph\":\"X\",\"cat\":\"function\",\"name\":");
        out_.Put(name);
        AppendSpan(segment.start, segment.end);
        out_.Put(",\"args\":{\"call\":");
        out_.PutUnsigned(segment.call);
        out_.Put(",\"depth\":");
        out_.PutUnsigned(call.depth);
        out_.Put("}}");
    }

    void WriteUserEvent(const GraphSample& s, std::uint64_t ticks) {
        Open(0);
        out_.Put("\"ph\":\"i\",\"cat\":\"event\",\"name\":\"");
        out_.Put(HexName(s.id));
        out_.Put("\",\"s\":\"t\"");
        AppendPlace(ticks);
        out_.Put(",\"args\":{\"event\":");
        out_.PutUnsigned(s.id);
        out_.Put(",\"data\":");
        out_.PutUnsigned(s.value0);
        out_.Put("}}");
    }

    void WriteLoad(const CpuSession& session, std::uint64_t ticks) {
        Open(0);
        out_.Put("\"ph\":\"C\",\"name\":\"CPU load %\",\"pid\":");
        out_.Put(kProcessId);
        out_.Put(",\"ts\":");
        out_.PutFixed(Nanoseconds(ticks), 3);
        out_.Put(",\"args\":{\"cpuPercent\":");
        out_.PutUnsigned(session.cpuPercent);
        out_.Put("}}");
    }

    // Starts an event object, one a line, with room for it and a name of `nameSize`.
    void Open(std::size_t nameSize) {
        out_.Reserve(kEventRoom + nameSize);
        out_.Put(first_ ? "\n{" : ",\n{");
        first_ = false;
    }

    const TraceInput& input_;
    double nanosecondsPerTick_ = 1.0;
    TextBuffer out_;
    bool first_ = true;

    std::vector<Thread> threads_;
    std::unordered_map<std::uint32_t, std::size_t> threadIndex_;
    std::uint32_t cachedId_ = 0;
    std::size_t cachedThread_ = static_cast<std::size_t>(-1);
    std::unordered_map<std::uint32_t, std::string> functionNames_;

    // The run being walked: its sample, thread and span in ticks, the ticks of the function events
    // met in it so far, and the time of each event after its sample.
    bool inRun_ = false;
    bool folded_ = true; // no user event met yet in the run
    const GraphSample* run_ = nullptr;
    Sums unfolded_;
    std::size_t runIndex_ = 0;
    std::size_t runThread_ = 0;
    std::uint64_t runStart_ = 0;
    std::uint64_t runEnd_ = 0;
    std::uint64_t runFunctionTicks_ = 0;
    std::vector<std::uint64_t> eventTimes_;
    std::size_t nextCall_ = 0;
    std::vector<Segment> segments_;
    std::vector<std::uint64_t> ends_;
};

} // namespace

bool WriteTrace(const TraceInput& input, const TraceSink& sink) {
    return Writer(input, sink).Write();
}

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = Utf8Length(text.substr(i));
            if (length == 0) {
                out += "\xef\xbf\xbd"; // U+FFFD
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    out += '"';
}

} // namespace zuta::graphs
