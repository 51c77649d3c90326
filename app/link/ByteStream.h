#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>

namespace zuta::link {

// A bidirectional byte stream under a link: a TCP connection now, a serial device later.
class IByteStream {
public:
    virtual ~IByteStream() = default;
    // Reads what is there, waiting at most `timeoutMs`: > 0 bytes read, 0 nothing within the time,
    // < 0 the stream ended or failed.
    virtual long Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) = 0;
    // Writes everything; false when the stream failed. Safe to call from several threads.
    virtual bool WriteAll(const std::uint8_t* bytes, std::size_t count) = 0;
    // Ends the stream in both directions; a blocked Read returns < 0. Safe from any thread.
    virtual void Shutdown() = 0;
    // A name for messages ("127.0.0.1:5170", "/dev/ttyUSB0").
    virtual std::string Describe() const = 0;
};

using ByteStreamPtr = std::unique_ptr<IByteStream>;

// How long opening the streams of a link (connect and greet) may take: a target that does not
// answer fails the start within this time instead of the system's connect time-out.
inline constexpr std::chrono::milliseconds kConnectTimeout = std::chrono::seconds(5);

// The bounds of one attempt to open streams: a deadline, and a stop request that ends it early.
struct OpenLimits {
    static OpenLimits Within(std::chrono::milliseconds limit, std::stop_token stop = {}) {
        return {std::chrono::steady_clock::now() + limit, std::move(stop)};
    }
    bool Ended() const {
        return stop.stop_requested() || std::chrono::steady_clock::now() >= deadline;
    }

    std::chrono::steady_clock::time_point deadline;
    std::stop_token stop;
};

} // namespace zuta::link
