// A peer on 127.0.0.1 for the network tests: one socket, closed with the object, bounded waits.
#pragma once

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace loopback {

inline sockaddr_in Address(int port, const char* host = "127.0.0.1") {
    return sockaddr_in{AF_INET, htons(uint16_t(port)), {inet_addr(host)}, {}};
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
    // A TCP client of host:port, invalid when refused; receiveBuffer > 0 fixes its buffer.
    static Peer Connect(int port, int receiveBuffer = 0, const char* host = "127.0.0.1") {
        Peer p(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in to = Address(port, host);
        if (receiveBuffer > 0)
            setsockopt(p.fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        if (connect(p.fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) p.Reset();
        return p;
    }
    // A TCP listener or UDP socket on port (0: any); a listener reuses a port in TIME_WAIT.
    static Peer Bound(int type, int port = 0, int backlog = 4) {
        Peer p(socket(AF_INET, type | SOCK_CLOEXEC, 0));
        sockaddr_in self = Address(port);
        const int on = 1;
        if (type == SOCK_STREAM) setsockopt(p.fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (bind(p.fd_, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
            (type == SOCK_STREAM && listen(p.fd_, backlog) != 0))
            p.Reset();
        return p;
    }
    static Peer Listen(int port = 0) { return Bound(SOCK_STREAM, port); }
    static Peer Udp(int port = 0) { return Bound(SOCK_DGRAM, port); }
    // Waits at most limitMs for a client; an invalid peer when none came.
    Peer Accept(int limitMs = 3000) const {
        pollfd waiting{fd_, POLLIN, 0};
        if (poll(&waiting, 1, limitMs) != 1) return Peer();
        return Peer(accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
    }
    // One send of a datagram to port, or of stream bytes (port 0).
    bool Send(const std::string& bytes, int port = 0) const {
        sockaddr_in to = Address(port);
        return sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                      port ? reinterpret_cast<sockaddr*>(&to) : nullptr,
                      port ? sizeof to : 0) == ssize_t(bytes.size());
    }
    bool SendAll(const std::string& bytes) const {
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    // Whatever arrives within limitMs, stopping once count bytes are there;
    // with from, one datagram, whose sender's port goes to *from.
    std::string Receive(size_t count, int limitMs = 3000, int* from = nullptr) const {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd ready{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) != 1) break;
            std::string buf(std::min<size_t>(count - got.size(), 1 << 16), '\0');
            sockaddr_in a{};
            socklen_t len = sizeof a;
            // read, not recv: a test may hand it a pty's descriptor.
            const ssize_t n = from == nullptr ? read(fd_, buf.data(), buf.size())
                                              : recvfrom(fd_, buf.data(), buf.size(), 0,
                                                         reinterpret_cast<sockaddr*>(&a), &len);
            if (n <= 0) break;
            got.append(buf, 0, size_t(n));
            if (from != nullptr) return *from = ntohs(a.sin_port), got;
        }
        return got;
    }
    std::string ReceiveFrom(int* from) const { return Receive(65536, 5000, from); }

  private:
    int fd_ = -1;
};

// A port number of the given socket type that was free a moment ago.
inline int FreePort(int type) {
    return Peer::Bound(type).Port();
}

// A listener whose full accept queue drops requests: a connect to it stays under way.
struct DroppingListener {
    DroppingListener() {
        for (int i = 0; i < 4; ++i) {
            fillers.emplace_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
            sockaddr_in to = Address(full.Port());
            connect(fillers.back().Fd(), reinterpret_cast<sockaddr*>(&to), sizeof to);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    int Port() const { return full.Port(); }

    Peer full = Peer::Bound(SOCK_STREAM, 0, 0);
    std::vector<Peer> fillers;
};

}  // namespace loopback
