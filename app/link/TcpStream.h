#pragma once

#include "link/ByteStream.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

namespace zuta::link {

// A connected TCP socket.
class TcpStream : public IByteStream {
public:
    // Takes ownership of a connected socket.
    TcpStream(int fd, std::string peer);
    ~TcpStream() override;
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;

    long Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) override;
    bool WriteAll(const std::uint8_t* bytes, std::size_t count) override;
    void Shutdown() override;
    std::string Describe() const override { return peer_; }

private:
    int fd_;
    std::string peer_;
    std::mutex writeMutex_;
};

// Connects to host:port (numeric or resolvable host) and sends `greeting`, both within `limits`
// (the connect and the greeting never block past the deadline); nothing with `error` set on
// failure.
ByteStreamPtr ConnectTcp(const std::string& host, std::uint16_t port, std::string& error,
                         std::span<const std::uint8_t> greeting = {},
                         const OpenLimits& limits = OpenLimits::Within(kConnectTimeout));

// Splits "HOST:PORT", "[IPv6]:PORT" or ":PORT" (host then 127.0.0.1); false for any other form.
bool ParseHostPort(const std::string& text, std::string& host, std::uint16_t& port);

// A listening socket for the simulated target.
class TcpListener {
public:
    TcpListener() = default;
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Listens on host:port; port 0 picks a free one (see port()).
    bool Listen(const std::string& host, std::uint16_t port, std::string& error);
    std::uint16_t port() const { return port_; }
    // Waits at most `timeoutMs` for a connection; nothing when none came or the listener closed.
    ByteStreamPtr Accept(int timeoutMs);
    // Stops listening; a waiting Accept returns nothing. Safe from any thread.
    void Close();

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> closed_{false};
};

} // namespace zuta::link
