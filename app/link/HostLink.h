#pragma once

#include "host/CommandLink.h"
#include "host/DataLink.h"
#include "host/SenderNameResolver.h"
#include "link/ByteStream.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace zuta::link {

// Sees what the links deliver, just before the module gets it (capture files). Called on the
// delivery threads.
class ILinkTap {
public:
    virtual ~ILinkTap() = default;
    virtual void OnSenderName(std::uint16_t idA, std::uint16_t idB, std::string_view name) = 0;
    virtual void OnCommandMessage(const host::HostMessage& message) = 0;
    virtual void OnDataBlock(const std::uint8_t* bytes, std::size_t length) = 0;
};

// The two streams of one connection to a target.
struct LinkStreams {
    ByteStreamPtr command;
    ByteStreamPtr data;
};
// Opens both streams (connect, then greet) within `limits`; false with `error` set when that
// failed.
using LinkOpener =
    std::function<bool(LinkStreams& streams, const OpenLimits& limits, std::string& error)>;

// Two TCP connections to host:port, the first greeted as command link, the second as data link.
LinkOpener TcpLinkOpener(std::string host, std::uint16_t port);

struct HostLinkOptions {
    // How long a data block waits for more bytes before it is delivered short.
    std::chrono::milliseconds coalesce{4};
    // Once one stream ended, how long the other may stay silent before it is taken as ended too.
    std::chrono::milliseconds drainGrace{300};
    // How long Open may take before it gives up.
    std::chrono::milliseconds connectTimeout = kConnectTimeout;
};

// The host side of both links over byte streams: the command link with its sender-name table and
// the data link with block coalescing. One delivery thread per stream; both are joined by Close.
// Every attached endpoint gets every message and every observer the closing of the link; the data
// link has one receiver at a time, which is what lets one collection at a time use the link.
class HostLink : public host::ICommandLink,
                 public host::IDataLink,
                 public host::ISenderNameResolver {
public:
    explicit HostLink(LinkOpener opener, HostLinkOptions options = {});
    ~HostLink() override;
    HostLink(const HostLink&) = delete;
    HostLink& operator=(const HostLink&) = delete;

    // host::ICommandLink
    bool Open(std::stop_token stop) override;
    bool IsOpen() const override;
    bool SendCommand(std::string_view agent, std::string_view group, std::string_view command,
                     const std::uint8_t* payload, std::size_t length, std::uint32_t flags) override;
    bool SendRaw(std::uint32_t portMask, const std::uint8_t* bytes, std::size_t count) override;
    void Attach(host::CommandLinkEndpoint* endpoint) override;
    void Detach(host::CommandLinkEndpoint* endpoint) override;
    void AddObserver(host::ILinkObserver* observer) override;
    void RemoveObserver(host::ILinkObserver* observer) override;

    // host::IDataLink
    bool RegisterReceiver(host::DataLinkReceiveFn receive, host::DataLinkNotifyFn notify,
                          std::uint32_t maxBlock, void* context) override;
    void UnregisterReceiver(void* context) override;

    // host::ISenderNameResolver
    bool SenderName(std::uint16_t idA, std::uint16_t idB, std::string& name) const override;

    // Closes both streams and joins the delivery threads; the observers are not told.
    void Close();
    std::string lastError() const;
    void SetTap(ILinkTap* tap) { tap_.store(tap); }

    // Data-link bytes read from the stream, and those handed to a receiver.
    std::uint64_t dataBytesReceived() const { return dataBytesReceived_.load(); }
    std::uint64_t dataBytesDelivered() const { return dataBytesDelivered_.load(); }
    std::uint64_t messagesReceived() const { return messagesReceived_.load(); }

private:
    void CommandLoop(IByteStream* stream);
    void DataLoop(IByteStream* stream);
    void DeliverBlock(const std::uint8_t* bytes, std::size_t length);
    void StreamEnded();
    void JoinReaders();
    void SetError(std::string error);

    LinkOpener opener_;
    HostLinkOptions options_;

    // Guards the streams against replacement while they are written to.
    mutable std::shared_mutex streamMutex_;
    LinkStreams streams_;
    std::thread commandThread_;
    std::thread dataThread_;
    std::atomic<bool> open_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> closing_{false};
    std::atomic<int> endedStreams_{0};
    std::string lastError_;
    mutable std::mutex errorMutex_;
    // Serialises Open and Close; an Open waits for another within its own limits.
    std::mutex lifeMutex_;

    // Held while a message is delivered, so Detach waits for it.
    std::recursive_mutex endpointMutex_;
    std::vector<host::CommandLinkEndpoint*> endpoints_;
    // Held while the observers are told, so RemoveObserver waits for that.
    std::recursive_mutex observerMutex_;
    std::vector<host::ILinkObserver*> observers_;
    std::atomic<ILinkTap*> tap_{nullptr};

    // Held while a block is delivered, so UnregisterReceiver waits for it.
    std::recursive_mutex receiverMutex_;
    host::DataLinkReceiveFn receive_ = nullptr;
    void* receiverContext_ = nullptr;
    // Bytes that arrive while no receiver is registered are dropped as they arrive.
    std::atomic<bool> receiving_{false};
    std::atomic<std::uint32_t> maxBlock_{host::kDataLinkBlockSize};

    mutable std::mutex namesMutex_;
    std::map<std::pair<std::uint16_t, std::uint16_t>, std::string> names_;

    std::atomic<std::uint64_t> dataBytesReceived_{0};
    std::atomic<std::uint64_t> dataBytesDelivered_{0};
    std::atomic<std::uint64_t> messagesReceived_{0};
};

} // namespace zuta::link
