#include "ports/tcp_port.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace StreamPort {

namespace {

constexpr auto kConnectTimeout = std::chrono::seconds(5);
constexpr int kSendTimeoutMs = 5000;
constexpr int kHighestPort = 65535;
constexpr int kKeepAliveIdleSeconds = 10;
constexpr int kKeepAliveIntervalSeconds = 5;
constexpr int kKeepAliveProbes = 3;

// A send to a peer that stopped reading gives up after this time instead of
// blocking the caller for good.
void SetSendTimeout(int fd) {
    timeval tv{};
    tv.tv_sec = kSendTimeoutMs / 1000;
    tv.tv_usec = (kSendTimeoutMs % 1000) * 1000;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

// A peer that vanished without a word (a pulled cable, a host that crashed)
// is found by the kernel's probes in about 25 s of silence, instead of
// holding the connection, and a server's one client slot, for hours.
void SetKeepAlive(int fd) {
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepAliveIdleSeconds, sizeof(int));
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepAliveIntervalSeconds, sizeof(int));
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepAliveProbes, sizeof(int));
}

void SetNonBlocking(int fd, bool on) {
    int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0) return;
    ::fcntl(fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK));
}

sockaddr_in Endpoint(uint32_t address, int port) {
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_port = htons(static_cast<uint16_t>(port));
    endpoint.sin_addr.s_addr = address;
    return endpoint;
}

// How a non-blocking connect of fd stands, without waiting: 0 connected,
// EINPROGRESS still under way, else the errno that says why it failed.
int ConnectResult(int fd) {
    pollfd pfd{fd, POLLOUT, 0};
    const int ready = ::poll(&pfd, 1, 0);
    if (ready == 0 || (ready < 0 && errno == EINTR)) return EINPROGRESS;
    if (ready < 0) return errno;
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) return errno;
    return error;
}

// A listening socket on the address (network byte order); -1 with *error
// set when the port cannot be had.
int CreateListenSocket(uint32_t address, int port, int* error) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    // Old connections of an earlier run in TIME_WAIT must not keep a server
    // reopened at once from its port.
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in endpoint = Endpoint(address, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) != 0 ||
        ::listen(fd, 1) != 0) {
        *error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

// Shutting the socket down first wakes a writer blocked in send; the write
// lock then waits for that writer to leave before the descriptor is freed.
void ReleaseSocket(int fd, std::recursive_mutex& writeLock) {
    if (fd < 0) return;
    ::shutdown(fd, SHUT_RDWR);
    std::lock_guard<std::recursive_mutex> guard(writeLock);
    ::close(fd);
}

}  // namespace

CTCPPort::CTCPPort() : address_(htonl(INADDR_LOOPBACK)) {}

CTCPPort::~CTCPPort() {
    Close();
}

int CTCPPort::SetComParam(int, int, const char*) {
    return 1;
}

int CTCPPort::SetNetParam(int mode, int port, uint32_t address) {
    mode_ = static_cast<uint8_t>(mode & 0xFF);
    port_ = port;
    address_ = address;
    return 1;
}

int CTCPPort::Open() {
    if (state_.load() >= kListening) return 1;
    // A port number is never taken modulo 65536: 70000 is not 4464.
    if (port_ < 1 || port_ > kHighestPort) {
        lastError_ = EINVAL;
        return 0;
    }
    if (IsClient()) return OpenClient();
    serving_ = true;
    JoinAcceptThread();
    CloseConnected();
    StartListening();
    return 1;
}

// The connect runs on in the kernel: Open returns at once, so a host that
// never answers cannot hold the window's thread, and the poll finishes it.
int CTCPPort::OpenClient() {
    CloseConnected();
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        lastError_ = errno;
        return 0;
    }
    const sockaddr_in endpoint = Endpoint(address_, port_);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) == 0) {
        lastError_ = 0;
        HoldConnected(fd);
        return 1;
    }
    if (errno != EINPROGRESS) {
        lastError_ = errno;
        ::close(fd);
        return 0;
    }
    connectDeadline_ = std::chrono::steady_clock::now() + kConnectTimeout;
    fd_.store(fd);
    state_.store(kConnecting);
    return 1;
}

void CTCPPort::HoldConnected(int fd) {
    // Reads never wait anyway; sends wait for room, at most the send time-out.
    SetNonBlocking(fd, false);
    SetSendTimeout(fd);
    SetKeepAlive(fd);
    fd_.store(fd);
    droppedHere_.store(false);
    state_.store(kConnected);
}

int CTCPPort::FailConnect(int error) {
    lastError_ = error;
    LoseConnection();
    return -1;
}

int CTCPPort::PollConnect() {
    const int8_t state = state_.load();
    if (state == kConnected) return 1;
    if (!IsClient() || state != kConnecting) return -1;
    const int fd = fd_.load();
    const int error = ConnectResult(fd);
    if (error == EINPROGRESS) {
        if (std::chrono::steady_clock::now() < connectDeadline_) return 0;
        return FailConnect(ETIMEDOUT);
    }
    if (error != 0) return FailConnect(error);
    lastError_ = 0;
    HoldConnected(fd);
    return 1;
}

int CTCPPort::IsOpen() {
    return state_.load() >= kListening ? 1 : 0;
}

// Binds and listens on this thread, so that a taken port is known at once
// and stays kListenFailed without a word from any other thread; only the
// blocking accept runs on the accept thread. No accept thread may be running.
int CTCPPort::StartListening() {
    int error = 0;
    int listenFd = CreateListenSocket(listenAddress_, port_, &error);
    lastError_ = error;
    if (listenFd < 0) {
        state_.store(kListenFailed);
        return 0;
    }
    {
        std::lock_guard<std::mutex> guard(acceptLock_);
        stopAccept_ = false;
        listenFd_ = listenFd;
    }
    // Stored before the thread starts, so that its kConnected is never
    // overwritten by this.
    state_.store(kListening);
    acceptThread_ = std::thread(&CTCPPort::AcceptThreadProc, this, listenFd);
    return 1;
}

int CTCPPort::RestartListening() {
    if (IsClient() || !serving_) return 0;
    const int8_t state = state_.load();
    if (state == kListening || state == kConnected) return 0;
    // The accept thread ended with its hand-over (or is just ending after a
    // failed accept); the socket of the lost connection goes first.
    JoinAcceptThread();
    CloseConnected();
    return StartListening();
}

void CTCPPort::AcceptThreadProc(int listenFd) {
    int client;
    for (;;) {
        client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) break;
        // A client that gave up before it was accepted is waited past.
        if (errno != EINTR && errno != ECONNABORTED && errno != EPROTO) break;
        std::lock_guard<std::mutex> guard(acceptLock_);
        if (stopAccept_) break;
    }
    HandOver(listenFd, client);
}

// The accept thread's one and only change of the port: under the lock, so
// that Close either wakes the accept before it or finds the client stored.
void CTCPPort::HandOver(int listenFd, int client) {
    std::lock_guard<std::mutex> guard(acceptLock_);
    listenFd_ = -1;
    ::close(listenFd);  // refuses further clients while this one is served
    if (client >= 0 && !stopAccept_) {
        SetSendTimeout(client);
        SetKeepAlive(client);
        fd_.store(client);
        droppedHere_.store(false);
        state_.store(kConnected);
        return;
    }
    if (client >= 0) ::close(client);
    // A failed accept drops the port to "not connected"; the poll listens
    // again.
    if (!stopAccept_) state_.store(kClosed);
}

void CTCPPort::JoinAcceptThread() {
    if (acceptThread_.joinable()) acceptThread_.join();
}

void CTCPPort::CloseConnected() {
    ReleaseSocket(fd_.exchange(-1), writeLock_);
}

void CTCPPort::LoseConnection() {
    state_.store(kClosed);
    CloseConnected();
}

void CTCPPort::DropConnection() {
    if (state_.load() != kConnected) return;
    droppedHere_.store(true);
    LoseConnection();
}

int CTCPPort::Close() {
    {
        std::lock_guard<std::mutex> guard(acceptLock_);
        stopAccept_ = true;
        // Closing alone would not wake a thread blocked in accept; shutdown
        // does, and makes an accept not yet begun fail at once.
        if (listenFd_ >= 0) ::shutdown(listenFd_, SHUT_RDWR);
    }
    JoinAcceptThread();
    CloseConnected();
    serving_ = false;
    state_.store(kClosed);
    return 1;
}

void CTCPPort::SetFormat(uint8_t, uint8_t, uint8_t) {}

const char* CTCPPort::GetDescription() {
    return nullptr;
}

int CTCPPort::GetState(int) {
    return state_.load();
}

// Tells readable data from a closed or reset connection without taking any
// byte: data waiting comes before the peer's close, as a reader expects.
int CTCPPort::ProbeReadable(int fd) {
    char byte;
    ssize_t got = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got > 0) return 1;
    if (got == 0) {
        LoseConnection();
        return -8;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    if (errno == ECONNRESET) {
        LoseConnection();
        return -6;
    }
    if (!IsClient()) LoseConnection();
    return -7;
}

int CTCPPort::WaitForData(int timeoutMs) {
    if (IsClient() && state_.load() == kConnecting) {
        const int connected = PollConnect();
        if (connected <= 0) return connected == 0 ? 0 : -3;
    }
    const int8_t state = state_.load();
    if (!IsClient() && state < kListening) return -1;
    if (!IsClient() && state == kListening) return -2;
    int fd = fd_.load();
    if (fd < 0) return -3;
    // Without a time-out the non-blocking probe alone tells all that poll
    // would, at one system call a tick instead of two.
    if (timeoutMs <= 0) return ProbeReadable(fd);
    pollfd pfd{fd, POLLIN, 0};
    int ready = ::poll(&pfd, 1, timeoutMs);
    if (ready == 0) return 0;
    if (ready < 0) {
        if (errno == EINTR) return 0;
        if (!IsClient()) LoseConnection();
        return -5;
    }
    return ProbeReadable(fd);
}

int CTCPPort::Read(char* buffer, int size) {
    int fd = fd_.load();
    if (state_.load() != kConnected || fd < 0 || buffer == nullptr || size <= 0) return 0;
    ssize_t got = ::recv(fd, buffer, static_cast<size_t>(size), MSG_DONTWAIT);
    if (got > 0) return static_cast<int>(got);
    // End of stream: the next WaitForData reports the close (-8).
    if (got == 0) return 0;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    if (!IsClient()) state_.store(kClosed);
    return -1;
}

int CTCPPort::WriteString(const std::string& bytes) {
    return Write(bytes.data(), static_cast<int>(bytes.size()));
}

int CTCPPort::Write(const char* bytes, int length) {
    if (length < 1 || bytes == nullptr) return 0;
    std::lock_guard<std::recursive_mutex> guard(writeLock_);
    const int fd = fd_.load();
    if (state_.load() != kConnected || fd < 0) return 0;
    int total = 0;
    while (total < length) {
        ssize_t sent = ::send(fd, bytes + total, static_cast<size_t>(length - total), MSG_NOSIGNAL);
        if (sent > 0) {
            total += static_cast<int>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0) NoteSendError(errno);
        break;
    }
    return total;
}

int CTCPPort::TryWrite(const char* bytes, int length) {
    if (length < 1 || bytes == nullptr) return 0;
    std::lock_guard<std::recursive_mutex> guard(writeLock_);
    const int fd = fd_.load();
    if (state_.load() != kConnected || fd < 0) return -1;
    int total = 0;
    while (total < length) {
        const ssize_t sent = ::send(fd, bytes + total, static_cast<size_t>(length - total),
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            total += static_cast<int>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return total;
        if (sent < 0) NoteSendError(errno);
        return total > 0 ? total : -1;
    }
    return total;
}

// A timed-out send (EAGAIN) leaves the connection as it is; a broken one
// marks it lost, unless the poll has already moved on.
void CTCPPort::NoteSendError(int error) {
    if (error != EPIPE && error != ECONNRESET && error != ESHUTDOWN && error != ECONNABORTED)
        return;
    int8_t connected = kConnected;
    state_.compare_exchange_strong(connected, kClosed);
}

int CTCPPort::GetPeerAddress(sockaddr_in* out) {
    if (out == nullptr) return 0;
    *out = sockaddr_in{};
    int fd = fd_.load();
    if (state_.load() != kConnected || fd < 0) return 0;
    socklen_t len = sizeof *out;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(out), &len) == 0) return 1;
    *out = sockaddr_in{};
    return 0;
}

}  // namespace StreamPort
