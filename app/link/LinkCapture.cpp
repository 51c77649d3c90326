#include "link/LinkCapture.h"

#include "engine/WireFormat.h"

#include <vector>

namespace zuta::link {

bool LinkCapture::Open(const std::string& path, std::string& error) {
    std::lock_guard lock(mutex_);
    start_ = std::chrono::steady_clock::now();
    return writer_.Open(path, error);
}

bool LinkCapture::Close(std::string& error) {
    std::lock_guard lock(mutex_);
    const bool closed = writer_.Close(error);
    if (closed && failed_) {
        error = "a record could not be written to the capture";
        return false;
    }
    return closed;
}

void LinkCapture::OnSenderName(std::uint16_t idA, std::uint16_t idB, std::string_view name) {
    std::vector<std::uint8_t> bytes(4);
    wire::WriteU16(bytes.data(), idA);
    wire::WriteU16(bytes.data() + 2, idB);
    bytes.insert(bytes.end(), name.begin(), name.end());
    Write(CaptureKind::SenderName, 0, bytes.data(), bytes.size());
}

void LinkCapture::OnCommandMessage(const host::HostMessage& message) {
    Write(message.port == tlnPort_ ? CaptureKind::DataPortMessage : CaptureKind::CommandMessage,
          message.port, message.payload, message.length);
}

void LinkCapture::OnDataBlock(const std::uint8_t* bytes, std::size_t length) {
    Write(CaptureKind::DataBlock, 0, bytes, length);
}

void LinkCapture::Write(CaptureKind kind, std::uint32_t port, const std::uint8_t* bytes,
                        std::size_t n) {
    std::lock_guard lock(mutex_);
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now() - start_)
                            .count();
    if (!writer_.Write(kind, port, static_cast<std::uint64_t>(micros), bytes, n))
        failed_ = true;
}

} // namespace zuta::link
