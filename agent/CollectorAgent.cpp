#include "agent/CollectorAgent.h"

#include "agent/StreamBuilder.h"
#include "agent/Workload.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"
#include "host/CommandLink.h"
#include "link/LinkFrame.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace zuta::agent {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kRawBlockEvery = kTicksPerSecond / 2;
constexpr std::uint64_t kProbeEvery = kTicksPerSecond;
constexpr std::size_t kNoiseBytes = 3 * 1024;
constexpr std::uint64_t kBurstLength = kTicksPerSecond / 5;
constexpr std::uint64_t kBurstPeriod = 50 * kTicksPerMicrosecond;

std::uint64_t ToTicks(double seconds) {
    return seconds <= 0.0 ? 0 : static_cast<std::uint64_t>(std::llround(seconds * kTicksPerSecond));
}

// The kernel's task control block of one task, as the target's memory holds it.
wire::Bytes TaskControlBlock(const Entity& entity, std::uint64_t runs) {
    wire::Bytes block(wire::kTcbBlockSize, 0);
    const std::uint32_t n = entity.number;
    const std::uint32_t stackStart = 0x80100000u + n * 0x1000u;
    const std::uint32_t stackEnd = stackStart + 0xFFFu;
    const std::uint32_t stackPointer = stackEnd - 0x1A0u - n * 8u;
    static constexpr std::uint8_t kStates[8] = {0, 4, 6, 7, 4, 3, 2, 6};
    wire::WriteU32(&block[0], 1);
    wire::WriteU32(&block[12], 0x5441534Bu);
    for (std::size_t i = 0; i < entity.name.size() && i < 8; ++i)
        block[16 + i] = static_cast<std::uint8_t>(entity.name[i]);
    block[24] = kStates[n % 8];
    block[26] = static_cast<std::uint8_t>(255 - std::min<std::uint32_t>(entity.priority, 255));
    block[27] = 1;
    wire::WriteU32(&block[28], static_cast<std::uint32_t>(runs));
    wire::WriteU32(&block[36], stackStart);
    wire::WriteU32(&block[40], stackEnd);
    wire::WriteU32(&block[44], stackPointer);
    wire::WriteU32(&block[48], 4096);
    wire::WriteU32(&block[52], 1024 + n * 37);
    wire::WriteU32(&block[60], stackPointer);
    wire::WriteU32(&block[68], 0x80200000u + ((n + 7) % 8) * 0xA8u);
    wire::WriteU32(&block[72], 0x80200000u + ((n + 1) % 8) * 0xA8u);
    wire::WriteU32(&block[76], 1u << (block[26] / 32));
    block[88] = static_cast<std::uint8_t>(block[26] % 32);
    wire::WriteU32(&block[92], 0x00A04000u + n * 0x100u);
    wire::WriteU32(&block[120], 1);
    wire::WriteU32(&block[144], 0xFFFFu);
    return block;
}

} // namespace

struct CollectorAgent::Connection {
    std::shared_ptr<link::IByteStream> stream;
};

WorkloadOptions CollectorAgent::BaseWorkloadOptions() const {
    WorkloadOptions workloadOptions;
    workloadOptions.manyFunctions = options_.manyFunctions;
    for (const Fault& fault : options_.faults)
        if (fault.kind == FaultKind::BadName)
            workloadOptions.badTaskName = true;
    return workloadOptions;
}

bool ParseFault(const std::string& text, Fault& fault) {
    const std::size_t at = text.find('@');
    const std::string name = text.substr(0, at);
    if (name == "corrupt")
        fault.kind = FaultKind::Corrupt;
    else if (name == "drop")
        fault.kind = FaultKind::Drop;
    else if (name == "badname")
        fault.kind = FaultKind::BadName;
    else if (name == "disconnect")
        fault.kind = FaultKind::Disconnect;
    else if (name == "burst")
        fault.kind = FaultKind::Burst;
    else
        return false;
    if (at == std::string::npos)
        return true;
    const char* first = text.data() + at + 1;
    const char* last = text.data() + text.size();
    double seconds = 0.0;
    const auto result = std::from_chars(first, last, seconds);
    // A time that is not a finite number of seconds within a day names no fault.
    if (result.ec != std::errc() || result.ptr != last || !(seconds >= 0.0 && seconds <= 86400.0))
        return false;
    fault.at = seconds;
    return true;
}

CollectorAgent::CollectorAgent(AgentOptions options) : options_(std::move(options)) {}

CollectorAgent::~CollectorAgent() {
    Shutdown();
}

void CollectorAgent::SetLog(std::function<void(std::string_view)> log) {
    std::lock_guard lock(stateMutex_);
    log_ = std::move(log);
}

void CollectorAgent::Log(const std::string& line) {
    std::function<void(std::string_view)> log;
    {
        std::lock_guard lock(stateMutex_);
        log = log_;
    }
    if (log)
        log(line);
}

bool CollectorAgent::Start(std::string& error) {
    if (!listener_.Listen(options_.host, options_.port, error))
        return false;
    acceptThread_ = std::thread(&CollectorAgent::AcceptLoop, this);
    return true;
}

void CollectorAgent::Shutdown() {
    if (shutdown_.exchange(true))
        return;
    listener_.Close();
    if (acceptThread_.joinable())
        acceptThread_.join();
    StopStream();
    DisconnectAll();
    std::vector<Reader> readers;
    {
        std::lock_guard lock(connectionMutex_);
        readers.swap(readers_);
    }
    for (Reader& reader : readers)
        reader.thread.join();
}

void CollectorAgent::DisconnectAll() {
    std::lock_guard lock(connectionMutex_);
    if (command_) {
        command_->stream->Shutdown();
        command_.reset();
    }
    if (data_) {
        data_->Shutdown();
        data_.reset();
    }
}

void CollectorAgent::AcceptLoop() {
    while (!shutdown_.load()) {
        link::ByteStreamPtr accepted = listener_.Accept(100);
        std::lock_guard lock(connectionMutex_);
        // Threads of connections that ended are joined here rather than piling up.
        for (auto it = readers_.begin(); it != readers_.end();) {
            if (it->done->load()) {
                it->thread.join();
                it = readers_.erase(it);
            } else {
                ++it;
            }
        }
        if (!accepted)
            continue;
        // Every connection is greeted on a thread of its own: one that stays silent holds up no
        // other.
        std::shared_ptr<link::IByteStream> stream(std::move(accepted));
        auto done = std::make_shared<std::atomic<bool>>(false);
        readers_.push_back({std::thread([this, stream, done] {
                                Serve(stream);
                                done->store(true);
                            }),
                            done});
    }
}

// Who may hold the links: a connection says with its first frame which link it is. While no
// collection runs, the newest connection of a kind takes that link over (a host that reconnects
// replaces its old links). While one runs, it belongs to the command connection that started it:
// as long as that connection holds the command link, another command connection is refused, and
// so is another data connection once the collection writes to a data link it still has (a data
// link greeted just after "Start" is still taken). Commands count only from the connection that
// holds the command link, so a superseded or foreign connection can neither stop nor restart the
// collection.
void CollectorAgent::Serve(std::shared_ptr<link::IByteStream> stream) {
    link::FrameParser parser;
    std::vector<link::Frame> frames;
    std::uint8_t buffer[512];
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (frames.empty() && Clock::now() < deadline && !shutdown_.load()) {
        const long n = stream->Read(buffer, sizeof buffer, 50);
        if (n < 0 || (n > 0 && !parser.Feed(buffer, static_cast<std::size_t>(n), frames)))
            break;
    }
    std::optional<link::HelloBody> hello;
    if (!frames.empty() && frames.front().type == static_cast<std::uint8_t>(link::FrameType::Hello))
        hello = link::DecodeHello(frames.front().body);
    if (!hello || hello->version != link::kProtocolVersion) {
        Log("refused a connection from " + stream->Describe() + ": no greeting");
        return;
    }
    frames.erase(frames.begin());
    if (hello->kind == link::LinkKind::Data) {
        bool taken = false;
        {
            std::lock_guard lock(connectionMutex_);
            if (!(streaming_.load() && dataClaimed_.load() && data_)) {
                if (data_)
                    data_->Shutdown();
                data_ = stream;
                taken = true;
            }
        }
        if (!taken) {
            Log("refused a data link from " + stream->Describe() +
                ": a collection of another connection is running");
            stream->Shutdown();
            return;
        }
        Log("data link connected: " + stream->Describe());
        return;
    }
    auto connection = std::make_shared<Connection>();
    connection->stream = stream;
    {
        std::lock_guard lock(connectionMutex_);
        if (streaming_.load() && command_) {
            connection.reset();
        } else {
            if (command_)
                command_->stream->Shutdown();
            command_ = connection;
            // Announce who sends the messages that follow, so the host can name the sender.
            const link::Bytes sender =
                link::EncodeSender(options_.senderA, options_.senderB, options_.identity);
            stream->WriteAll(sender.data(), sender.size());
        }
    }
    if (!connection) {
        Log("refused a command link from " + stream->Describe() +
            ": a collection of another connection is running");
        stream->Shutdown();
        return;
    }
    Log("command link connected: " + stream->Describe());
    CommandLoop(connection, std::move(parser), std::move(frames));
}

void CollectorAgent::CommandLoop(std::shared_ptr<Connection> connection, link::FrameParser parser,
                                 std::vector<link::Frame> frames) {
    std::uint8_t buffer[4096];
    bool intact = true;
    while (!shutdown_.load()) {
        for (const link::Frame& frame : frames) {
            if (frame.type == static_cast<std::uint8_t>(link::FrameType::Command)) {
                if (auto command = link::DecodeCommand(frame.body))
                    HandleCommand(connection, {command->agent, command->group, command->command,
                                               command->payload});
            } else if (frame.type == static_cast<std::uint8_t>(link::FrameType::Raw)) {
                if (auto raw = link::DecodeRaw(frame.body)) {
                    std::lock_guard lock(stateMutex_);
                    raws_.push_back({raw->portMask, raw->bytes});
                }
            }
        }
        frames.clear();
        if (!intact) {
            Log("command link is not framed; closing it");
            connection->stream->Shutdown();
            break;
        }
        const long n = connection->stream->Read(buffer, sizeof buffer, 100);
        if (n < 0)
            break;
        if (n > 0)
            intact = parser.Feed(buffer, static_cast<std::size_t>(n), frames);
    }
    bool current = false;
    {
        std::lock_guard lock(connectionMutex_);
        current = command_ == connection;
        if (current)
            command_.reset();
    }
    if (current && !shutdown_.load()) {
        Log("command link closed");
        StopStream();
    }
}

void CollectorAgent::HandleCommand(const std::shared_ptr<Connection>& connection,
                                   ReceivedCommand command) {
    {
        std::lock_guard lock(stateMutex_);
        commands_.push_back(command);
    }
    {
        std::lock_guard lock(connectionMutex_);
        if (command_ != connection) {
            Log("ignored " + command.command + " from a connection that no longer holds the " +
                "command link");
            return;
        }
    }
    if (command.agent != wire::kAgentName || command.group != wire::kGroupName) {
        Log("ignored a command for " + command.agent + "/" + command.group);
        return;
    }
    const std::vector<std::uint8_t>& p = command.payload;
    if (command.command == wire::kCmdStart) {
        const std::uint32_t low = p.size() >= 4 ? wire::ReadU32(&p[0]) : 0;
        const std::uint32_t high = p.size() >= 8 ? wire::ReadU32(&p[4]) : 0;
        const std::uint32_t mode = p.size() >= 12 ? wire::ReadU32(&p[8]) : 0;
        Log("Start, sampling mode " + std::to_string(mode));
        StartStream(mode, low, high);
    } else if (command.command == wire::kCmdStop) {
        Log("Stop");
        StopStream();
    } else if (command.command == wire::kCmdConfigData) {
        Log("ConfigData");
    } else if (command.command == wire::kCmdTaskInfo && p.size() >= 4) {
        const std::uint32_t number = wire::ReadU32(&p[0]);
        const Workload workload(options_.seed, BaseWorkloadOptions());
        for (const Entity& entity : workload.entities()) {
            if (entity.kind == EntityKind::Irq || entity.number != number)
                continue;
            std::uint64_t runs = 0;
            {
                std::lock_guard lock(stateMutex_);
                const auto found = truth_.tasks.find(number + wire::kTaskIdBase);
                if (found != truth_.tasks.end())
                    runs = found->second.runs;
            }
            SendMessage(wire::kMsgTcbBlock, TaskControlBlock(entity, runs), wire::kLinkKindReply,
                        host::kClassReply);
            return;
        }
        Log("TaskInfo for unknown task " + std::to_string(number));
    } else {
        Log("unknown command " + command.command);
    }
}

bool CollectorAgent::SendMessage(std::uint32_t type, const std::vector<std::uint8_t>& payload,
                                 std::uint16_t linkKind, std::uint32_t messageClass) {
    const wire::Bytes message =
        wire::AgentMessage(type, payload, options_.senderA, options_.senderB, linkKind);
    const link::Bytes frame = link::EncodeMessage(static_cast<std::uint8_t>(options_.diagPort),
                                                  static_cast<std::uint8_t>(messageClass),
                                                  message.data(), message.size());
    std::shared_ptr<Connection> connection;
    {
        std::lock_guard lock(connectionMutex_);
        connection = command_;
    }
    return connection && connection->stream->WriteAll(frame.data(), frame.size());
}

bool CollectorAgent::WriteData(const std::vector<std::uint8_t>& bytes) {
    // A host greets its data link right after the command link; on a busy machine "Start" can
    // come first. The stream waits a little for the data link instead of ending empty.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::shared_ptr<link::IByteStream> data;
    while (true) {
        {
            std::lock_guard lock(connectionMutex_);
            data = data_;
        }
        if (data || stopStream_.load() || std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return data && data->WriteAll(bytes.data(), bytes.size());
}

void CollectorAgent::StartStream(std::uint32_t samplingMode, std::uint32_t apdcLow,
                                 std::uint32_t apdcHigh) {
    std::lock_guard lock(streamMutex_);
    stopStream_.store(true);
    stateChanged_.notify_all();
    if (streamThread_.joinable())
        streamThread_.join();
    stopStream_.store(false);
    streaming_.store(true);
    streamsStarted_.fetch_add(1);

    const Workload workload(options_.seed, BaseWorkloadOptions());
    std::vector<wire::TaskInfoEntry> entries;
    for (const Entity& entity : workload.entities())
        if (entity.kind != EntityKind::Irq)
            entries.push_back(
                {entity.number, entity.kind == EntityKind::Hisr ? 1u : 0u, entity.name});
    // The answer to "Start" comes before any data: the task list, then the probe and extra words.
    SendMessage(wire::kMsgTaskInfo, wire::TaskInfoPayload(entries), wire::kLinkKindReply,
                host::kClassReply);
    SendMessage(wire::kMsgProbeWords, wire::WordsPayload({apdcLow, apdcHigh, samplingMode}),
                wire::kLinkKindData, host::kClassData);
    std::vector<std::uint32_t> extra(wire::kExtraWordCount, 0);
    extra[0] = 1;
    extra[1] = 192000000;
    extra[2] = wire::kTimestampClockHz;
    extra[3] = samplingMode;
    extra[4] = static_cast<std::uint32_t>(workload.entities().size());
    for (std::size_t i = 0; i < workload.entities().size() && 5 + i < extra.size(); ++i)
        extra[5 + i] = workload.entities()[i].number;
    SendMessage(wire::kMsgExtraWords, wire::WordsPayload(extra), wire::kLinkKindData,
                host::kClassData);

    streamThread_ = std::thread(&CollectorAgent::StreamLoop, this, samplingMode, apdcLow, apdcHigh);
}

void CollectorAgent::StopStream() {
    std::lock_guard lock(streamMutex_);
    stopStream_.store(true);
    stateChanged_.notify_all();
    if (streamThread_.joinable())
        streamThread_.join();
}

void CollectorAgent::ReleaseStream() {
    std::lock_guard lock(stateMutex_);
    released_ = true;
    stateChanged_.notify_all();
}

bool CollectorAgent::WaitStreamEnded(std::chrono::milliseconds timeout) {
    std::unique_lock lock(stateMutex_);
    return stateChanged_.wait_for(lock, timeout, [this] { return !streaming_.load(); });
}

GroundTruth CollectorAgent::Truth() const {
    std::lock_guard lock(stateMutex_);
    return truth_;
}

double CollectorAgent::maxLagMs() const {
    std::lock_guard lock(stateMutex_);
    return maxLagMs_;
}

std::vector<ReceivedCommand> CollectorAgent::Commands() const {
    std::lock_guard lock(stateMutex_);
    return commands_;
}

std::vector<ReceivedRaw> CollectorAgent::RawSends() const {
    std::lock_guard lock(stateMutex_);
    return raws_;
}

void CollectorAgent::StreamLoop(std::uint32_t samplingMode, std::uint32_t apdcLow,
                                std::uint32_t apdcHigh) {
    WorkloadOptions workloadOptions = BaseWorkloadOptions();
    std::uint64_t corruptAt = UINT64_MAX;
    std::uint64_t dropFrom = UINT64_MAX;
    std::uint64_t disconnectAt = UINT64_MAX;
    for (const Fault& fault : options_.faults) {
        const std::uint64_t at = ToTicks(fault.at);
        switch (fault.kind) {
        case FaultKind::Corrupt:
            corruptAt = at;
            break;
        case FaultKind::Drop:
            dropFrom = at;
            break;
        case FaultKind::BadName:
            break;
        case FaultKind::Disconnect:
            disconnectAt = at;
            break;
        case FaultKind::Burst:
            workloadOptions.burstStart = at;
            workloadOptions.burstEnd = at + kBurstLength;
            workloadOptions.burstPeriod = kBurstPeriod;
            break;
        }
    }
    Workload workload(options_.seed, workloadOptions);
    GroundTruth truth;
    truth.seed = options_.seed;
    StreamBuilder builder(samplingMode, workload.entities(), truth);
    {
        std::lock_guard lock(stateMutex_);
        truth_ = truth;
        maxLagMs_ = 0.0;
    }

    // The host takes data only once it has seen the answer to "Start".
    {
        std::unique_lock lock(stateMutex_);
        if (options_.holdStream) {
            stateChanged_.wait(lock, [this] { return released_ || stopStream_.load(); });
            released_ = false;
        } else {
            stateChanged_.wait_for(lock, std::chrono::milliseconds(options_.startDelayMs),
                                   [this] { return stopStream_.load(); });
        }
    }

    // From now on the collection writes to the data link it has.
    dataClaimed_.store(true);

    const bool paced = options_.speed > 0.0;
    const std::uint64_t slice = paced ? kTicksPerSecond / 1000 : kTicksPerSecond / 100;
    const std::uint64_t end = options_.duration > 0.0 ? ToTicks(options_.duration) : UINT64_MAX;
    const auto startWall = Clock::now();
    std::uint64_t sim = 0;
    std::uint64_t nextRaw = kRawBlockEvery;
    std::uint64_t nextProbe = kProbeEvery;
    std::uint64_t slices = 0;
    std::uint8_t rawId = 0;
    std::vector<WorkloadEvent> events;
    wire::Bytes bytes;
    bool disconnected = false;

    while (!stopStream_.load() && sim < end) {
        const std::uint64_t until = std::min(sim + slice, end);
        events.clear();
        workload.Generate(until, events);
        bytes.clear();
        for (const WorkloadEvent& event : events) {
            // Raw blocks go just before a timed record so no write ends in one.
            if (event.kind != EventKind::UserEvent && event.time >= nextRaw) {
                builder.AppendRawBlock(static_cast<std::uint8_t>(1 + rawId++ % 3),
                                       workload.NextRawBlock(), bytes);
                nextRaw += kRawBlockEvery;
            }
            builder.Append(event, bytes);
        }
        if (!events.empty())
            builder.AppendPadding(bytes);
        if (sim <= corruptAt && corruptAt < until)
            bytes.insert(bytes.end(), kNoiseBytes, 0x5A);
        if (until > dropFrom && ++slices % 16 == 0 && bytes.size() > 64) {
            const auto at = static_cast<std::ptrdiff_t>(workload.Next() % (bytes.size() - 16));
            bytes.erase(bytes.begin() + at, bytes.begin() + at + 7);
        }
        if (!bytes.empty()) {
            if (!WriteData(bytes)) {
                Log("data link lost");
                break;
            }
            streamBytes_.fetch_add(bytes.size());
            truth.streamBytes += bytes.size();
        }
        sim = until;
        truth.simulatedSeconds = static_cast<double>(sim) / kTicksPerSecond;
        if (sim >= nextProbe) {
            SendMessage(
                wire::kMsgProbeWords,
                wire::WordsPayload({apdcLow, apdcHigh, static_cast<std::uint32_t>(truth.records)}),
                wire::kLinkKindData, host::kClassData);
            nextProbe += kProbeEvery;
        }
        if (sim >= disconnectAt) {
            Log("disconnecting (fault injection)");
            disconnected = true;
            break;
        }
        if (slices % 64 == 0) {
            std::lock_guard lock(stateMutex_);
            truth_ = truth;
        }
        if (paced) {
            const auto due =
                startWall +
                std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                    static_cast<double>(sim) / kTicksPerSecond / options_.speed));
            const auto now = Clock::now();
            std::unique_lock lock(stateMutex_);
            if (now < due) {
                stateChanged_.wait_until(lock, due, [this] { return stopStream_.load(); });
            } else {
                maxLagMs_ = std::max(maxLagMs_,
                                     std::chrono::duration<double, std::milli>(now - due).count());
            }
        }
    }
    double worstLag = 0.0;
    {
        std::lock_guard lock(stateMutex_);
        truth_ = truth;
        worstLag = maxLagMs_;
    }
    char summary[160];
    std::snprintf(summary, sizeof summary,
                  "stream ended: %.3f s simulated, %llu records, %llu bytes, worst lag %.1f ms",
                  truth.simulatedSeconds, static_cast<unsigned long long>(truth.records),
                  static_cast<unsigned long long>(truth.streamBytes), worstLag);
    Log(summary);
    if (!options_.truthPath.empty()) {
        std::string error;
        if (!truth.Save(options_.truthPath, error))
            Log(error);
    }
    if (disconnected)
        DisconnectAll();
    {
        std::lock_guard lock(stateMutex_);
        dataClaimed_.store(false);
        streaming_.store(false);
    }
    stateChanged_.notify_all();
}

} // namespace zuta::agent
