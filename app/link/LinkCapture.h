#pragma once

#include "engine/Capture.h"
#include "link/HostLink.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace zuta::link {

// Records every sender name, command-link message and data-link block the links deliver in a
// capture file, so the collection can be replayed through the collector endpoint.
class LinkCapture : public ILinkTap {
public:
    // Messages on `tlnPort` are recorded as unframed data-link bytes.
    explicit LinkCapture(std::uint32_t tlnPort) : tlnPort_(tlnPort) {}

    bool Open(const std::string& path, std::string& error);
    // False with `error` set when a record could not be written or the file not completed.
    bool Close(std::string& error);

    void OnSenderName(std::uint16_t idA, std::uint16_t idB, std::string_view name) override;
    void OnCommandMessage(const host::HostMessage& message) override;
    void OnDataBlock(const std::uint8_t* bytes, std::size_t length) override;

private:
    void Write(CaptureKind kind, std::uint32_t port, const std::uint8_t* bytes, std::size_t n);

    std::uint32_t tlnPort_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
    CaptureWriter writer_;
    bool failed_ = false;
};

} // namespace zuta::link
