#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string_view>

namespace zuta::host {

// Link ports 0 to 30; port p is selected for raw sends by bit p + 1 of the port mask.
inline constexpr std::uint32_t kMaxLinkPort = 30;
inline constexpr std::uint32_t PortMaskBit(std::uint32_t port) {
    return port <= kMaxLinkPort ? 1u << (port + 1) : 0u;
}

// Message classes the transport tags every command-link message with; an endpoint only gets the
// classes its selector admits.
inline constexpr std::uint32_t kClassTrace = 1;
inline constexpr std::uint32_t kClassData = 2;
inline constexpr std::uint32_t kClassReply = 3;
inline constexpr std::uint32_t kMaxMessageClass = 31;

// Status codes posted with notification 1795 by collection control: the link to the target
// closed by itself; an attempt to open it for a start succeeded or failed.
inline constexpr std::uint32_t kCodeLinkClosed = 6;
inline constexpr std::uint32_t kCodeTargetConnected = 7;
inline constexpr std::uint32_t kCodeTargetNotConnected = 8;

// The host's record of one command-link message, valid only during the receive call.
struct HostMessage {
    std::uint32_t port = 0;
    std::uint32_t messageClass = 0;
    const std::uint8_t* payload = nullptr;
    std::uint32_t length = 0;
};

// Which message classes reach an endpoint. Changed on the window thread, read on delivery threads.
class MessageSelector {
public:
    void Admit(std::uint32_t messageClass) {
        if (messageClass <= kMaxMessageClass)
            admitted_.fetch_or(1u << messageClass);
    }
    bool Admits(std::uint32_t messageClass) const {
        return messageClass <= kMaxMessageClass && (admitted_.load() & (1u << messageClass)) != 0;
    }

private:
    std::atomic<std::uint32_t> admitted_{0};
};

class CommandLinkEndpoint;

// Told when the link closed by itself (the peer went away), after the last byte that arrived
// before was delivered. Called on a delivery thread.
class ILinkObserver {
public:
    virtual ~ILinkObserver() = default;
    virtual void OnLinkClosed() = 0;
};

// The command link to the target as a transport offers it to its endpoints. Several endpoints
// and observers may share one link (one per open document).
class ICommandLink {
public:
    virtual ~ICommandLink() = default;

    // Opens the link when it is closed (again after the peer went away); true when it is open.
    // Blocks for at most the transport's time limit, and ends soon after `stop` is requested.
    virtual bool Open(std::stop_token stop) = 0;
    virtual bool IsOpen() const = 0;
    // Sends one command to an agent; false when the link could not take it.
    virtual bool SendCommand(std::string_view agent, std::string_view group,
                             std::string_view command, const std::uint8_t* payload,
                             std::size_t length, std::uint32_t flags) = 0;
    // Sends bytes to the data-link ports selected by `portMask`.
    virtual bool SendRaw(std::uint32_t portMask, const std::uint8_t* bytes, std::size_t count) = 0;
    // Every message goes to each attached endpoint on a delivery thread; attaching or detaching
    // one endpoint leaves the others as they are. Detach returns only when no delivery to the
    // endpoint is in flight (unless called from that delivery itself).
    virtual void Attach(CommandLinkEndpoint* endpoint) = 0;
    virtual void Detach(CommandLinkEndpoint* endpoint) = 0;
    // Every observer is told when the link closed by itself. RemoveObserver returns only when no
    // notice to the observer is in flight (unless called from that notice itself).
    virtual void AddObserver(ILinkObserver* observer) = 0;
    virtual void RemoveObserver(ILinkObserver* observer) = 0;
};

// Base of a command-link endpoint: sends commands and raw bytes, keeps the port mask and the
// message selector, and hands admitted messages to OnReceive.
//
// A derived class calls AttachToLink at the end of its constructor and DetachFromLink first in
// its destructor, so no delivery ever reaches a partly built or partly destroyed object.
class CommandLinkEndpoint {
public:
    explicit CommandLinkEndpoint(ICommandLink& link) : link_(link) {}
    virtual ~CommandLinkEndpoint() { DetachFromLink(); }
    CommandLinkEndpoint(const CommandLinkEndpoint&) = delete;
    CommandLinkEndpoint& operator=(const CommandLinkEndpoint&) = delete;

    MessageSelector& Selector() { return selector_; }
    ICommandLink& link() { return link_; }

    bool SendCommand(std::string_view agent, std::string_view group, std::string_view command,
                     const std::uint8_t* payload, std::size_t length, std::uint32_t flags) {
        return link_.SendCommand(agent, group, command, payload, length, flags);
    }
    // Sends raw bytes on the data-link ports of the current mask.
    bool SendRaw(const std::uint8_t* bytes, std::size_t count) {
        return link_.SendRaw(portMask_.load(), bytes, count);
    }
    void SetPortMask(std::uint32_t mask) { portMask_.store(mask); }
    std::uint32_t PortMask() const { return portMask_.load(); }

    // Called by the link on its delivery thread.
    void Deliver(const HostMessage& message) {
        if (selector_.Admits(message.messageClass))
            OnReceive(message);
    }

protected:
    virtual void OnReceive(const HostMessage& message) = 0;

    void AttachToLink() {
        std::lock_guard lock(attachMutex_);
        if (!attached_) {
            link_.Attach(this);
            attached_ = true;
        }
    }
    void DetachFromLink() {
        std::lock_guard lock(attachMutex_);
        if (attached_) {
            link_.Detach(this);
            attached_ = false;
        }
    }

private:
    ICommandLink& link_;
    MessageSelector selector_;
    // Port 0 is selected until the endpoint chooses another.
    std::atomic<std::uint32_t> portMask_{PortMaskBit(0)};
    std::mutex attachMutex_;
    bool attached_ = false;
};

} // namespace zuta::host
