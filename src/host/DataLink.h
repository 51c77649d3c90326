#pragma once

#include <cstdint>

namespace zuta::host {

// Longest block the data link hands to its receiver at once.
inline constexpr std::uint32_t kDataLinkBlockSize = 1024;

// Called with the context given at registration, so each collection reaches its own endpoint.
using DataLinkReceiveFn = void (*)(void* context, const std::uint8_t* bytes, std::uint32_t length);
using DataLinkNotifyFn = void (*)(void* context);

// The data link (TLN) from the target: a byte stream delivered in blocks.
class IDataLink {
public:
    virtual ~IDataLink() = default;
    // Registers the receiver: every block of at most `maxBlock` bytes that arrives from now on
    // goes to `receive` with `context` on a delivery thread. The link has one receiver at a time:
    // false while another context holds it (the same context registers again freely). Bytes that
    // arrive while no receiver is registered are dropped.
    virtual bool RegisterReceiver(DataLinkReceiveFn receive, DataLinkNotifyFn notify,
                                  std::uint32_t maxBlock, void* context) = 0;
    // Releases the link when `context` holds it, else does nothing. No more calls to the receiver
    // once this returns: waits for a call in flight (unless called from it).
    virtual void UnregisterReceiver(void* context) = 0;
};

} // namespace zuta::host
