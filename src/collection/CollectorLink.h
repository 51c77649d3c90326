#pragma once

#include "host/CommandLink.h"
#include "host/SenderNameResolver.h"

#include <atomic>
#include <cstdint>
#include <utility>

namespace zuta {

class CPerformanceData;
class ICollectionView;

// The command-link endpoint of the collector agent: takes the agent's messages, learns the
// agent's identity from its first accepted message, and admits data-link bytes only once the
// agent has answered. One per view; the data-link receiver reaches it through its context.
class CollectorLink : public host::CommandLinkEndpoint {
public:
    // `resolver` may be null: then no message is accepted.
    CollectorLink(host::ICommandLink& link, CPerformanceData& data,
                  host::ISenderNameResolver* resolver);
    ~CollectorLink() override;

    // No message is handled while the view is null.
    void SetView(ICollectionView* view) { view_.store(view); }
    void SetPorts(std::uint32_t diagPort, std::uint32_t tlnPort);
    std::uint32_t diagPort() const { return diagPort_.load(); }
    std::uint32_t tlnPort() const { return tlnPort_.load(); }

    // Every endpoint on a link gets every message of the link (each open document has one); only
    // the endpoint of the running collection takes them in. Collection control sets it active
    // at Start and clears it when the collection closes or the view goes.
    void SetActive(bool active) { active_.store(active); }

    // The agent has answered since the last start.
    bool started() const { return started_.load(); }
    // The agent's sender identity (0, 0 while unknown).
    std::pair<std::uint16_t, std::uint16_t> agentIds() const;
    // Forgets the agent: clears `started` and the identity, so the next answer is checked afresh.
    void ForgetAgent();

    // Stops the deliveries of the command link to this endpoint; returns once none is in flight.
    void Disconnect() { DetachFromLink(); }

    // The data-link receive path: a framed block of the data link.
    void HandleDataLinkBlock(const std::uint8_t* bytes, std::uint32_t length);
    // Registered with the data link with the endpoint as `context`.
    static void ReceiveDataLinkBlock(void* context, const std::uint8_t* bytes,
                                     std::uint32_t length);

protected:
    void OnReceive(const host::HostMessage& message) override;

private:
    void ActOnResult(ICollectionView& view, std::uint32_t result);

    CPerformanceData& data_;
    host::ISenderNameResolver* resolver_;
    std::atomic<ICollectionView*> view_{nullptr};
    std::atomic<std::uint32_t> diagPort_{0};
    std::atomic<std::uint32_t> tlnPort_{1};
    std::atomic<bool> active_{false};
    std::atomic<bool> started_{false};
    // Identity A in the low half, B in the high half; 0 while unknown.
    std::atomic<std::uint32_t> agentIds_{0};
};

} // namespace zuta
