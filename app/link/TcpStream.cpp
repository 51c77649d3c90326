#include "link/TcpStream.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zuta::link {

namespace {

std::string ErrorText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

void SetNoDelay(int fd) {
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// Polls in short slices, so a stop request ends the wait soon.
constexpr std::chrono::milliseconds kPollSlice{20};

// Waits until the socket is ready for `events`; false with errno set when the attempt ended first.
bool WaitReady(int fd, short events, const OpenLimits& limits) {
    for (;;) {
        if (limits.stop.stop_requested()) {
            errno = ECANCELED;
            return false;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            limits.deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            errno = ETIMEDOUT;
            return false;
        }
        pollfd pfd{fd, events, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(std::min(left, kPollSlice).count()));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

// Connects the non-blocking socket; false with errno set on failure.
bool ConnectWithin(int fd, const sockaddr* address, socklen_t size, const OpenLimits& limits) {
    if (::connect(fd, address, size) == 0)
        return true;
    if (errno != EINPROGRESS || !WaitReady(fd, POLLOUT, limits))
        return false;
    int failure = 0;
    socklen_t length = sizeof failure;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length) != 0)
        return false;
    errno = failure;
    return failure == 0;
}

bool WriteWithin(int fd, std::span<const std::uint8_t> bytes, const OpenLimits& limits) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n >= 0) {
            done += static_cast<std::size_t>(n);
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!WaitReady(fd, POLLOUT, limits))
                return false;
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

} // namespace

TcpStream::TcpStream(int fd, std::string peer) : fd_(fd), peer_(std::move(peer)) {
    SetNoDelay(fd_);
}

TcpStream::~TcpStream() {
    if (fd_ >= 0)
        ::close(fd_);
}

long TcpStream::Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) {
    pollfd pfd{fd_, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, timeoutMs);
    if (ready == 0)
        return 0;
    if (ready < 0)
        return errno == EINTR ? 0 : -1;
    const ssize_t n = ::recv(fd_, buffer, capacity, 0);
    if (n > 0)
        return static_cast<long>(n);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return 0;
    return -1;
}

bool TcpStream::WriteAll(const std::uint8_t* bytes, std::size_t count) {
    std::lock_guard lock(writeMutex_);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::send(fd_, bytes + done, count - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void TcpStream::Shutdown() {
    ::shutdown(fd_, SHUT_RDWR);
}

bool ParseHostPort(const std::string& text, std::string& host, std::uint16_t& port) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return false;
    host = text.substr(0, colon);
    // An IPv6 address is written in brackets, as in "[::1]:5170".
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    else if (host.find_first_of("[]:") != std::string::npos)
        return false;
    if (host.empty())
        host = "127.0.0.1";
    const char* first = text.data() + colon + 1;
    const char* last = text.data() + text.size();
    unsigned value = 0;
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc() || result.ptr != last || first == last || value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

ByteStreamPtr ConnectTcp(const std::string& host, std::uint16_t port, std::string& error,
                         std::span<const std::uint8_t> greeting, const OpenLimits& limits) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const std::string peer = host + ":" + service;
    const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        error = "cannot resolve " + host + ": " + ::gai_strerror(rc);
        return nullptr;
    }
    error = "cannot connect to " + peer;
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0 && !limits.Ended(); a = a->ai_next) {
        // Non-blocking while connecting and greeting, so neither waits past the deadline.
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0)
            continue;
        if (!ConnectWithin(fd, a->ai_addr, a->ai_addrlen, limits)) {
            error = ErrorText(("cannot connect to " + peer).c_str());
            ::close(fd);
            fd = -1;
        } else if (!WriteWithin(fd, greeting, limits)) {
            error = ErrorText(("cannot greet " + peer).c_str());
            ::close(fd);
            fd = -1;
            break;
        }
    }
    ::freeaddrinfo(found);
    if (fd < 0)
        return nullptr;
    // The stream itself waits in Read's poll and writes blocking.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    error.clear();
    return std::make_unique<TcpStream>(fd, peer);
}

TcpListener::~TcpListener() {
    Close();
    if (fd_ >= 0)
        ::close(fd_);
}

bool TcpListener::Listen(const std::string& host, std::uint16_t port, std::string& error) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        error = "not an IPv4 address: " + host;
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = ErrorText("socket");
        return false;
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0) {
        error = ErrorText(("cannot listen on " + host + ":" + std::to_string(port)).c_str());
        ::close(fd);
        return false;
    }
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    fd_ = fd;
    return true;
}

ByteStreamPtr TcpListener::Accept(int timeoutMs) {
    // Waits in short slices so Close from another thread ends the wait without touching the fd.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!closed_.load() && fd_ >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return nullptr;
        pollfd pfd{fd_, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(std::min<long long>(left, 50)));
        if (ready <= 0 || closed_.load())
            continue;
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        const int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
        return std::make_unique<TcpStream>(fd, std::string(text) + ":" +
                                                   std::to_string(ntohs(peer.sin_port)));
    }
    return nullptr;
}

void TcpListener::Close() {
    closed_.store(true);
}

} // namespace zuta::link
