#pragma once

#include "agent/GroundTruth.h"
#include "agent/Workload.h"
#include "link/ByteStream.h"
#include "link/LinkFrame.h"
#include "link/TcpStream.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zuta::agent {

enum class FaultKind {
    Corrupt,    // a stretch of bytes that holds no frame at all
    Drop,       // bytes lost from the stream now and then
    BadName,    // a task name with a character the target never uses
    Disconnect, // both connections closed in the middle of the stream
    Burst,      // an interrupt storm far above the nominal record rate
};

struct Fault {
    FaultKind kind = FaultKind::Corrupt;
    double at = 0.5; // simulated seconds after the stream started
};

// Parses "corrupt", "drop@1.5", ...; false when the text names no fault.
bool ParseFault(const std::string& text, Fault& fault);

struct AgentOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = 0; // 0: any free port
    std::uint64_t seed = 1;
    std::string identity = "DATA_COLLECTOR";
    std::uint16_t senderA = 0x0031;
    std::uint16_t senderB = 0x0007;
    std::uint32_t diagPort = 0; // port of the agent's messages on the command link
    double speed = 1.0;         // simulated seconds per wall second; 0: as fast as the link takes
    double duration = 0.0;      // simulated seconds per collection; 0: until "Stop"
    int startDelayMs = 250;     // from the reply to "Start" to the first data
    bool holdStream = false;    // wait for ReleaseStream() instead of the delay
    std::vector<Fault> faults;
    bool manyFunctions = false; // WorkloadOptions::manyFunctions
    std::string truthPath;      // written at the end of every stream
};

// A command the agent received, and a raw send it saw (the data-link wake-up).
struct ReceivedCommand {
    std::string agent;
    std::string group;
    std::string command;
    std::vector<std::uint8_t> payload;
};
struct ReceivedRaw {
    std::uint32_t portMask = 0;
    std::vector<std::uint8_t> bytes;
};

// The simulated collector agent of the target: answers the module's commands on the command link
// and streams a deterministic workload over the data link in the mode "Start" asked for.
class CollectorAgent {
public:
    explicit CollectorAgent(AgentOptions options);
    ~CollectorAgent();
    CollectorAgent(const CollectorAgent&) = delete;
    CollectorAgent& operator=(const CollectorAgent&) = delete;

    // Listens and serves from a thread of its own.
    bool Start(std::string& error);
    // Ends every connection and thread.
    void Shutdown();
    std::uint16_t port() const { return listener_.port(); }

    // With holdStream: lets the stream of the current (or next) "Start" begin.
    void ReleaseStream();
    // Waits until the current stream ended (its duration ran out, "Stop", or a disconnect fault).
    bool WaitStreamEnded(std::chrono::milliseconds timeout);
    // Ground truth of the latest stream (so far).
    GroundTruth Truth() const;
    std::uint64_t streamBytesSent() const { return streamBytes_.load(); }
    std::uint64_t streamsStarted() const { return streamsStarted_.load(); }
    // How far the stream fell behind its schedule at worst, in wall milliseconds.
    double maxLagMs() const;
    std::vector<ReceivedCommand> Commands() const;
    std::vector<ReceivedRaw> RawSends() const;
    // Lines about what the agent does (connections, commands); called from its threads.
    void SetLog(std::function<void(std::string_view)> log);

private:
    struct Connection;

    void AcceptLoop();
    // Greets one connection and serves it as the link it says it is.
    void Serve(std::shared_ptr<link::IByteStream> stream);
    void CommandLoop(std::shared_ptr<Connection> connection, link::FrameParser parser,
                     std::vector<link::Frame> frames);
    WorkloadOptions BaseWorkloadOptions() const;
    void HandleCommand(const std::shared_ptr<Connection>& connection, ReceivedCommand command);
    void StartStream(std::uint32_t samplingMode, std::uint32_t apdcLow, std::uint32_t apdcHigh);
    void StopStream();
    void StreamLoop(std::uint32_t samplingMode, std::uint32_t apdcLow, std::uint32_t apdcHigh);
    bool SendMessage(std::uint32_t type, const std::vector<std::uint8_t>& payload,
                     std::uint16_t linkKind, std::uint32_t messageClass);
    bool WriteData(const std::vector<std::uint8_t>& bytes);
    void DisconnectAll();
    void Log(const std::string& line);

    AgentOptions options_;
    link::TcpListener listener_;
    std::thread acceptThread_;
    std::atomic<bool> shutdown_{false};

    mutable std::mutex connectionMutex_;
    std::shared_ptr<Connection> command_;
    std::shared_ptr<link::IByteStream> data_;
    // Threads that serve connections; those whose connection ended are joined by the accept
    // loop.
    struct Reader {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Reader> readers_;

    std::mutex streamMutex_; // serialises StartStream and StopStream
    std::thread streamThread_;
    std::atomic<bool> stopStream_{false};
    std::atomic<bool> streaming_{false};
    std::atomic<bool> dataClaimed_{false}; // the running collection writes to data_
    mutable std::mutex stateMutex_;
    std::condition_variable stateChanged_;
    bool released_ = false;
    GroundTruth truth_;
    double maxLagMs_ = 0.0;
    std::vector<ReceivedCommand> commands_;
    std::vector<ReceivedRaw> raws_;
    std::function<void(std::string_view)> log_;

    std::atomic<std::uint64_t> streamBytes_{0};
    std::atomic<std::uint64_t> streamsStarted_{0};
};

} // namespace zuta::agent
