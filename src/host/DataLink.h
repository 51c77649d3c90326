#pragma once

#include <cstdint>

namespace zuta::host {

// Longest block the data link hands to its receiver at once.
inline constexpr std::uint32_t kDataLinkBlockSize = 1024;

// The receive function gets no context, as the host calls it: it reaches its owner through a
// process-wide reference.
using DataLinkReceiveFn = void (*)(const std::uint8_t* bytes, std::uint32_t length);
using DataLinkNotifyFn = void (*)();

// The data link (TLN) from the target: a byte stream delivered in blocks.
class IDataLink {
public:
    virtual ~IDataLink() = default;
    // Registers the one receiver (replacing any other): every block of at most `maxBlock` bytes
    // that arrives from now on goes to `receive` on a delivery thread. Bytes that arrive while no
    // receiver is registered are dropped.
    virtual bool RegisterReceiver(DataLinkReceiveFn receive, DataLinkNotifyFn notify,
                                  std::uint32_t maxBlock) = 0;
    // No more calls once this returns: waits for a call in flight (unless called from it).
    virtual void UnregisterReceiver() = 0;
};

} // namespace zuta::host
