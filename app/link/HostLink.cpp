#include "link/HostLink.h"

#include "link/LinkFrame.h"
#include "link/TcpStream.h"

#include <algorithm>
#include <vector>

namespace zuta::link {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kIdlePollMs = 50;

int MillisUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, kIdlePollMs));
}

template <typename T> bool Contains(const std::vector<T*>& list, T* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

LinkOpener TcpLinkOpener(std::string host, std::uint16_t port) {
    return [host = std::move(host), port](LinkStreams& streams, const OpenLimits& limits,
                                          std::string& error) {
        streams.command = ConnectTcp(host, port, error, EncodeHello(LinkKind::Command), limits);
        if (!streams.command)
            return false;
        streams.data = ConnectTcp(host, port, error, EncodeHello(LinkKind::Data), limits);
        if (!streams.data) {
            streams.command.reset();
            return false;
        }
        return true;
    };
}

HostLink::HostLink(LinkOpener opener, HostLinkOptions options)
    : opener_(std::move(opener)), options_(options) {}

HostLink::~HostLink() {
    Close();
}

bool HostLink::Open(std::stop_token stop) {
    const OpenLimits limits = OpenLimits::Within(options_.connectTimeout, std::move(stop));
    std::unique_lock life(lifeMutex_, std::defer_lock);
    // Another document may be opening the link: its outcome is awaited within these limits.
    while (!life.try_lock()) {
        if (limits.Ended()) {
            SetError("the link to the target is still being opened");
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (open_.load() && endedStreams_.load() == 0)
        return true;
    JoinReaders();
    {
        std::lock_guard names(namesMutex_);
        names_.clear();
    }
    LinkStreams streams;
    std::string error;
    if (!opener_ || !opener_(streams, limits, error)) {
        SetError(error.empty() ? "the link cannot be opened" : error);
        return false;
    }
    {
        std::unique_lock lock(streamMutex_);
        streams_ = std::move(streams);
    }
    stopping_.store(false);
    closing_.store(false);
    endedStreams_.store(0);
    open_.store(true);
    commandThread_ = std::thread(&HostLink::CommandLoop, this, streams_.command.get());
    dataThread_ = std::thread(&HostLink::DataLoop, this, streams_.data.get());
    return true;
}

bool HostLink::IsOpen() const {
    return open_.load() && endedStreams_.load() == 0;
}

void HostLink::Close() {
    std::lock_guard life(lifeMutex_);
    JoinReaders();
    open_.store(false);
}

void HostLink::JoinReaders() {
    stopping_.store(true);
    {
        std::shared_lock lock(streamMutex_);
        if (streams_.command)
            streams_.command->Shutdown();
        if (streams_.data)
            streams_.data->Shutdown();
    }
    if (commandThread_.joinable())
        commandThread_.join();
    if (dataThread_.joinable())
        dataThread_.join();
    std::unique_lock lock(streamMutex_);
    streams_ = {};
}

std::string HostLink::lastError() const {
    std::lock_guard lock(errorMutex_);
    return lastError_;
}

void HostLink::SetError(std::string error) {
    std::lock_guard lock(errorMutex_);
    lastError_ = std::move(error);
}

bool HostLink::SendCommand(std::string_view agent, std::string_view group, std::string_view command,
                           const std::uint8_t* payload, std::size_t length, std::uint32_t flags) {
    const Bytes frame = EncodeCommand(agent, group, command, flags, payload, length);
    if (frame.empty())
        return false;
    std::shared_lock lock(streamMutex_);
    if (!streams_.command || !IsOpen())
        return false;
    return streams_.command->WriteAll(frame.data(), frame.size());
}

bool HostLink::SendRaw(std::uint32_t portMask, const std::uint8_t* bytes, std::size_t count) {
    const Bytes frame = EncodeRaw(portMask, bytes, count);
    if (frame.empty())
        return false;
    std::shared_lock lock(streamMutex_);
    if (!streams_.command || !IsOpen())
        return false;
    return streams_.command->WriteAll(frame.data(), frame.size());
}

void HostLink::Attach(host::CommandLinkEndpoint* endpoint) {
    std::lock_guard lock(endpointMutex_);
    if (endpoint != nullptr && !Contains(endpoints_, endpoint))
        endpoints_.push_back(endpoint);
}

void HostLink::Detach(host::CommandLinkEndpoint* endpoint) {
    std::lock_guard lock(endpointMutex_);
    std::erase(endpoints_, endpoint);
}

void HostLink::AddObserver(host::ILinkObserver* observer) {
    std::lock_guard lock(observerMutex_);
    if (observer != nullptr && !Contains(observers_, observer))
        observers_.push_back(observer);
}

void HostLink::RemoveObserver(host::ILinkObserver* observer) {
    std::lock_guard lock(observerMutex_);
    std::erase(observers_, observer);
}

bool HostLink::RegisterReceiver(host::DataLinkReceiveFn receive, host::DataLinkNotifyFn,
                                std::uint32_t maxBlock, void* context) {
    std::lock_guard lock(receiverMutex_);
    if (receive == nullptr || (receive_ != nullptr && receiverContext_ != context))
        return false;
    receive_ = receive;
    receiverContext_ = context;
    maxBlock_.store(std::clamp<std::uint32_t>(maxBlock, 1, host::kDataLinkBlockSize));
    receiving_.store(true);
    return true;
}

void HostLink::UnregisterReceiver(void* context) {
    std::lock_guard lock(receiverMutex_);
    if (receive_ == nullptr || receiverContext_ != context)
        return;
    receive_ = nullptr;
    receiverContext_ = nullptr;
    receiving_.store(false);
}

bool HostLink::SenderName(std::uint16_t idA, std::uint16_t idB, std::string& name) const {
    std::lock_guard lock(namesMutex_);
    const auto found = names_.find({idA, idB});
    if (found == names_.end())
        return false;
    name = found->second;
    return true;
}

void HostLink::StreamEnded() {
    closing_.store(true);
    if (endedStreams_.fetch_add(1) + 1 == 2) {
        open_.store(false);
        std::lock_guard lock(observerMutex_);
        if (stopping_.load())
            return;
        // A copy: an observer may remove itself (or another) while it is told.
        const std::vector<host::ILinkObserver*> observers = observers_;
        for (host::ILinkObserver* observer : observers)
            if (Contains(observers_, observer))
                observer->OnLinkClosed();
    }
}

void HostLink::CommandLoop(IByteStream* stream) {
    FrameParser parser;
    std::vector<Frame> frames;
    std::uint8_t buffer[4096];
    Clock::time_point closingSince{};
    while (!stopping_.load()) {
        if (closing_.load()) {
            // The other stream ended: read on only while the peer still has something to say.
            if (closingSince == Clock::time_point{})
                closingSince = Clock::now();
            else if (Clock::now() - closingSince > options_.drainGrace)
                break;
        }
        const long n = stream->Read(buffer, sizeof buffer, kIdlePollMs);
        if (n < 0)
            break;
        if (n == 0)
            continue;
        frames.clear();
        const bool intact = parser.Feed(buffer, static_cast<std::size_t>(n), frames);
        for (const Frame& frame : frames) {
            if (frame.type == static_cast<std::uint8_t>(FrameType::Message)) {
                const auto body = DecodeMessage(frame.body);
                if (!body || frame.port > host::kMaxLinkPort)
                    continue;
                messagesReceived_.fetch_add(1);
                const host::HostMessage message{frame.port, body->messageClass,
                                                body->message.data(),
                                                static_cast<std::uint32_t>(body->message.size())};
                std::lock_guard lock(endpointMutex_);
                if (endpoints_.empty())
                    continue;
                if (ILinkTap* tap = tap_.load())
                    tap->OnCommandMessage(message);
                // A copy: an endpoint may detach itself (or another) while it receives.
                const std::vector<host::CommandLinkEndpoint*> endpoints = endpoints_;
                for (host::CommandLinkEndpoint* endpoint : endpoints)
                    if (Contains(endpoints_, endpoint))
                        endpoint->Deliver(message);
            } else if (frame.type == static_cast<std::uint8_t>(FrameType::Sender)) {
                const auto body = DecodeSender(frame.body);
                if (!body)
                    continue;
                {
                    std::lock_guard lock(namesMutex_);
                    names_[{body->idA, body->idB}] = body->name;
                }
                if (ILinkTap* tap = tap_.load())
                    tap->OnSenderName(body->idA, body->idB, body->name);
            }
        }
        if (!intact) {
            std::lock_guard lock(errorMutex_);
            lastError_ = "the command link from " + stream->Describe() + " is not framed";
            break;
        }
    }
    StreamEnded();
}

void HostLink::DeliverBlock(const std::uint8_t* bytes, std::size_t length) {
    std::lock_guard lock(receiverMutex_);
    const std::size_t limit = maxBlock_.load();
    // The receiver may unregister itself during a call: the rest of the bytes are then dropped.
    for (std::size_t at = 0; at < length && receive_ != nullptr; at += limit) {
        const std::size_t n = std::min(limit, length - at);
        if (ILinkTap* tap = tap_.load())
            tap->OnDataBlock(bytes + at, n);
        receive_(receiverContext_, bytes + at, static_cast<std::uint32_t>(n));
        dataBytesDelivered_.fetch_add(n);
    }
}

void HostLink::DataLoop(IByteStream* stream) {
    // Blocks are filled up to the receiver's limit, or delivered short once their first byte has
    // waited `coalesce`: the host delivers the stream in blocks, not in the socket's chunks.
    std::vector<std::uint8_t> block(host::kDataLinkBlockSize);
    std::size_t fill = 0;
    Clock::time_point deadline{};
    Clock::time_point closingSince{};
    while (!stopping_.load()) {
        const std::size_t limit = maxBlock_.load();
        if (fill >= limit || (fill > 0 && Clock::now() >= deadline)) {
            DeliverBlock(block.data(), fill);
            fill = 0;
            continue;
        }
        if (closing_.load()) {
            if (closingSince == Clock::time_point{})
                closingSince = Clock::now();
            else if (Clock::now() - closingSince > options_.drainGrace)
                break;
        }
        const int timeout = fill > 0 ? MillisUntil(deadline) : kIdlePollMs;
        const long n = stream->Read(block.data() + fill, limit - fill, timeout);
        if (n < 0)
            break;
        if (n > 0) {
            dataBytesReceived_.fetch_add(static_cast<std::uint64_t>(n));
            if (!receiving_.load())
                continue; // nobody listens: the bytes are gone
            if (fill == 0)
                deadline = Clock::now() + options_.coalesce;
            fill += static_cast<std::size_t>(n);
        }
    }
    // What arrived before the peer went away is still delivered.
    if (fill > 0 && !stopping_.load())
        DeliverBlock(block.data(), fill);
    StreamEnded();
}

} // namespace zuta::link
