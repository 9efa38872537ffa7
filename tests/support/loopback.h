// Peers on 127.0.0.1 for the network port tests: one socket, closed with the
// object, that connects, listens or sends datagrams and waits boundedly.
#pragma once

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>

namespace loopback {

inline sockaddr_in Address(int port) {
    return sockaddr_in{AF_INET, htons(uint16_t(port)), {htonl(INADDR_LOOPBACK)}, {}};
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
    int Port() const {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        return getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0 ? ntohs(a.sin_port)
                                                                            : -1;
    }
    // A TCP client of 127.0.0.1:port, invalid when refused; a receiveBuffer
    // above 0 fixes the size of its receive buffer.
    static Peer Connect(int port, int receiveBuffer = 0) {
        Peer p(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in to = Address(port);
        if (receiveBuffer > 0)
            setsockopt(p.fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        if (connect(p.fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) p.Reset();
        return p;
    }
    // A TCP listener or a UDP socket; port 0: one the system picks.
    static Peer Bound(int type, int port = 0, int backlog = 4) {
        Peer p(socket(AF_INET, type | SOCK_CLOEXEC, 0));
        sockaddr_in self = Address(port);
        if (bind(p.fd_, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
            (type == SOCK_STREAM && listen(p.fd_, backlog) != 0))
            p.Reset();
        return p;
    }
    bool Send(const std::string& bytes, int port = 0) const {
        sockaddr_in to = Address(port);
        return sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                      port ? reinterpret_cast<sockaddr*>(&to) : nullptr,
                      port ? sizeof to : 0) == ssize_t(bytes.size());
    }
    // What arrives within 5 s: up to count bytes of a stream, or (with from)
    // one datagram, whose sender's port goes to *from.
    std::string Receive(size_t count, int* from = nullptr) const {
        std::string got;
        pollfd ready{fd_, POLLIN, 0};
        while (got.size() < count && poll(&ready, 1, 5000) == 1) {
            std::string buf(std::min<size_t>(count - got.size(), 1 << 16), '\0');
            sockaddr_in a{};
            socklen_t len = sizeof a;
            ssize_t n =
                recvfrom(fd_, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&a), &len);
            if (n <= 0) break;
            got.append(buf, 0, size_t(n));
            if (from != nullptr) return *from = ntohs(a.sin_port), got;
        }
        return got;
    }

  private:
    int fd_ = -1;
};

// A port number of the given socket type that was free a moment ago.
inline int FreePort(int type) {
    return Peer::Bound(type).Port();
}

}  // namespace loopback
