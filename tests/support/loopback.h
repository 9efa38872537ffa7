// Peers on 127.0.0.1 for the network port tests: one socket, closed with the
// object, that connects, listens or sends datagrams and waits boundedly.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>

namespace loopback {

inline sockaddr_in Address(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

inline int PortOf(int fd) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    return getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0 ? ntohs(a.sin_port) : -1;
}

class Peer {
  public:
    explicit Peer(int fd = -1) : fd_(fd) {}
    Peer(Peer&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Peer& operator=(Peer&& other) noexcept {
        Reset();
        fd_ = std::exchange(other.fd_, -1);
        return *this;
    }
    ~Peer() { Reset(); }
    // Closes the socket; with reset a TCP peer sends RST instead of FIN.
    void Reset(bool reset = false) {
        linger hard{1, 0};
        if (reset) setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        if (fd_ >= 0) close(std::exchange(fd_, -1));
    }
    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Port() const { return PortOf(fd_); }

    // A TCP client of 127.0.0.1:port; invalid when refused.
    static Peer Connect(int port) {
        Peer p(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in to = Address(port);
        if (connect(p.fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) p.Reset();
        return p;
    }
    // A TCP listener (port 0: one the system picks) or a UDP socket.
    static Peer Bound(int type, int port = 0, int backlog = 4) {
        Peer p(socket(AF_INET, type | SOCK_CLOEXEC, 0));
        sockaddr_in self = Address(port);
        if (bind(p.fd_, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
            (type == SOCK_STREAM && listen(p.fd_, backlog) != 0))
            p.Reset();
        return p;
    }
    bool Send(const std::string& bytes) const {
        return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
    }
    bool SendTo(int port, const std::string& bytes) const {
        sockaddr_in to = Address(port);
        return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                      sizeof to) == ssize_t(bytes.size());
    }
    // What arrives within limitMs: up to count bytes of a stream, or one
    // datagram, whose sender's port goes to *from.
    std::string Receive(size_t count = 65536, int limitMs = 5000, int* from = nullptr) const {
        std::string got;
        pollfd ready{fd_, POLLIN, 0};
        while (got.size() < count && poll(&ready, 1, limitMs) == 1) {
            char buf[1 << 16];
            sockaddr_in a{};
            socklen_t len = sizeof a;
            ssize_t n = recvfrom(fd_, buf, std::min(sizeof buf, count - got.size()), 0,
                                 reinterpret_cast<sockaddr*>(&a), &len);
            if (from != nullptr) *from = ntohs(a.sin_port);
            if (n <= 0) break;
            got.append(buf, size_t(n));
            if (Type() == SOCK_DGRAM) break;
        }
        return got;
    }

  private:
    int Type() const {
        int type = 0;
        socklen_t len = sizeof type;
        getsockopt(fd_, SOL_SOCKET, SO_TYPE, &type, &len);
        return type;
    }

    int fd_ = -1;
};

// A port number of the given socket type that was free a moment ago.
inline int FreePort(int type) {
    return Peer::Bound(type).Port();
}

}  // namespace loopback
