#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <initializer_list>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zuta::test {

// A target on loopback that never answers. By default its backlog of one is taken by a connection
// nobody accepts, so every further connect waits until the client gives up; one that takes
// connections completes them (the system does) but never reads or writes a byte.
class SilentTarget {
public:
    enum class Kind { ConnectHangs, TakesConnections };

    explicit SilentTarget(Kind kind = Kind::ConnectHangs) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        auto* name = reinterpret_cast<sockaddr*>(&address);
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int backlog = kind == Kind::ConnectHangs ? 0 : 8;
        if (listener_ < 0 || ::bind(listener_, name, size) != 0 ||
            ::listen(listener_, backlog) != 0 || ::getsockname(listener_, name, &size) != 0)
            return;
        if (kind == Kind::TakesConnections) {
            port_ = ntohs(address.sin_port);
            return;
        }
        filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (filler_ >= 0 && ::connect(filler_, name, size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~SilentTarget() {
        for (const int fd : {filler_, listener_})
            if (fd >= 0)
                ::close(fd);
    }
    SilentTarget(const SilentTarget&) = delete;
    SilentTarget& operator=(const SilentTarget&) = delete;

    // 0 when the target could not be set up.
    std::uint16_t port() const { return port_; }

private:
    int listener_ = -1;
    int filler_ = -1;
    std::uint16_t port_ = 0;
};

} // namespace zuta::test
