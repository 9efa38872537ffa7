#include "ports/tcp_port.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace StreamPort {

namespace {

constexpr int kConnectTimeoutMs = 5000;
constexpr int kSendTimeoutMs = 5000;

// A send to a peer that stopped reading gives up after this time instead of
// blocking the caller for good.
void SetSendTimeout(int fd) {
    timeval tv{};
    tv.tv_sec = kSendTimeoutMs / 1000;
    tv.tv_usec = (kSendTimeoutMs % 1000) * 1000;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

void SetNonBlocking(int fd, bool on) {
    int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0) return;
    ::fcntl(fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK));
}

// Connects fd to the endpoint, waiting at most kConnectTimeoutMs; true when
// connected.
bool ConnectWithTimeout(int fd, const sockaddr_in& endpoint) {
    SetNonBlocking(fd, true);
    int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint);
    if (rc != 0 && errno != EINPROGRESS) return false;
    if (rc != 0) {
        pollfd pfd{fd, POLLOUT, 0};
        int ready;
        do {
            ready = ::poll(&pfd, 1, kConnectTimeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0) return false;
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) return false;
    }
    SetNonBlocking(fd, false);
    return true;
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
    if (state_.load() >= 0) return 1;
    endpoint_ = sockaddr_in{};
    endpoint_.sin_family = AF_INET;
    endpoint_.sin_port = htons(static_cast<uint16_t>(port_ & 0xFFFF));
    endpoint_.sin_addr.s_addr = htonl(INADDR_ANY);
    if (mode_ == 1) return OpenClient();
    state_.store(0);
    StartAcceptThread();
    return 1;
}

int CTCPPort::OpenClient() {
    endpoint_.sin_addr.s_addr = address_;
    CloseConnected();
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    if (!ConnectWithTimeout(fd, endpoint_)) {
        ::close(fd);
        return 0;
    }
    SetSendTimeout(fd);
    fd_.store(fd);
    state_.store(1);
    return 1;
}

int CTCPPort::IsOpen() {
    return state_.load() >= 0 ? 1 : 0;
}

int CTCPPort::StartAcceptThread() {
    int8_t state = state_.load();
    if (state > 0 || mode_ == 1) return 0;
    if (acceptRunning_.load()) {
        // Still waiting for a client: show it as listening, unless the
        // thread has just accepted one.
        if (state < 0) state_.compare_exchange_strong(state, 0);
        return 0;
    }
    // The thread may have served a client since the state was read; it shows
    // that before it counts as ended. A second listener then would accept
    // another client over the one being served.
    if (state_.load() > 0) return 0;
    JoinAcceptThread();
    stopAccept_.store(false);
    acceptRunning_.store(true);
    acceptThread_ = std::thread(&CTCPPort::AcceptThreadProc, this);
    return 1;
}

// Makes the listening socket; -1 when that fails.
int CTCPPort::CreateListenSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    // Old connections of an earlier run in TIME_WAIT must not keep a server
    // reopened at once from its port.
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&endpoint_), sizeof endpoint_) != 0 ||
        ::listen(fd, 1) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Waits for a client; -1 when stopped or on an error that is not the
// client's (a client that gave up before it was accepted is waited past).
int CTCPPort::AcceptClient(int listenFd) {
    for (;;) {
        if (stopAccept_.load()) return -1;
        int client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) return client;
        if (errno != EINTR && errno != ECONNABORTED && errno != EPROTO) return -1;
    }
}

void CTCPPort::AcceptThreadProc() {
    int listenFd = CreateListenSocket();
    if (listenFd < 0) {
        // The thread counts as ended before the failure shows: a poll that
        // sees -2 must find no thread running and start a new one, or the
        // port would show "listening" with nobody listening.
        acceptRunning_.store(false);
        state_.store(-2);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(fdLock_);
        listenFd_ = listenFd;
    }
    // Close sets the stop flag before it shuts the listening socket down;
    // AcceptClient checks it after listen, so it cannot miss both.
    int client = AcceptClient(listenFd);
    std::unique_lock<std::mutex> guard(fdLock_);
    listenFd_ = -1;
    ::close(listenFd);  // refuses further clients while this one is served
    if (client >= 0 && !stopAccept_.load()) {
        SetSendTimeout(client);
        fd_.store(client);
        state_.store(1);
        guard.unlock();
        acceptRunning_.store(false);
        return;
    }
    if (client >= 0) ::close(client);
    guard.unlock();
    acceptRunning_.store(false);
    // A failed accept drops the port to "not connected"; the next poll
    // listens again.
    if (!stopAccept_.load()) state_.store(-1);
}

void CTCPPort::ShutdownListen() {
    stopAccept_.store(true);
    std::lock_guard<std::mutex> guard(fdLock_);
    // Closing alone would not wake a thread blocked in accept; shutdown does.
    if (listenFd_ >= 0) ::shutdown(listenFd_, SHUT_RDWR);
}

void CTCPPort::JoinAcceptThread() {
    if (acceptThread_.joinable()) acceptThread_.join();
}

// Shutting the socket down first wakes a writer blocked in send; the write
// lock then waits for that writer to leave before the descriptor is freed.
void CTCPPort::ReleaseSocket(int fd) {
    if (fd < 0) return;
    ::shutdown(fd, SHUT_RDWR);
    std::lock_guard<std::recursive_mutex> guard(writeLock_);
    ::close(fd);
}

void CTCPPort::CloseConnected() {
    int fd;
    {
        std::lock_guard<std::mutex> guard(fdLock_);
        fd = fd_.exchange(-1);
    }
    ReleaseSocket(fd);
}

// A server that is not connected may still hold the socket of a lost
// connection; the accept thread may meanwhile hand over a new one, which
// must be kept.
void CTCPPort::DropStaleSocket() {
    int fd = -1;
    {
        std::lock_guard<std::mutex> guard(fdLock_);
        if (state_.load() <= 0) fd = fd_.exchange(-1);
    }
    ReleaseSocket(fd);
}

int CTCPPort::Close() {
    ShutdownListen();
    CloseConnected();
    JoinAcceptThread();
    CloseConnected();  // a client the thread accepted while Close ran
    state_.store(-1);
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
        state_.store(-1);
        CloseConnected();
        return -8;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    if (errno == ECONNRESET) {
        state_.store(-1);
        CloseConnected();
        return -6;
    }
    if (mode_ != 1) {
        state_.store(-1);
        CloseConnected();
    }
    return -7;
}

int CTCPPort::WaitForData(int timeoutMs) {
    int8_t state = state_.load();
    if (state < 0 && mode_ != 1) {
        // The connection is gone: drop its socket and listen again.
        DropStaleSocket();
        StartAcceptThread();
        return -1;
    }
    if (state == 0 && mode_ != 1) {
        DropStaleSocket();
        // A poll that showed a failed listener as listening, just as that
        // listener ended, leaves state 0 with no thread: listen again, or
        // the server would wait for ever with nobody listening.
        if (!acceptRunning_.load()) StartAcceptThread();
        return -2;
    }
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
        if (mode_ != 1) {
            state_.store(-1);
            CloseConnected();
        }
        return -5;
    }
    return ProbeReadable(fd);
}

int CTCPPort::Read(char* buffer, int size) {
    int fd = fd_.load();
    if (state_.load() <= 0 || fd < 0 || buffer == nullptr || size <= 0) return 0;
    ssize_t got = ::recv(fd, buffer, static_cast<size_t>(size), MSG_DONTWAIT);
    if (got > 0) return static_cast<int>(got);
    // End of stream: the next WaitForData reports the close (-8).
    if (got == 0) return 0;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    if (mode_ != 1) state_.store(-1);
    return -1;
}

int CTCPPort::WriteString(const std::string& bytes) {
    return Write(bytes.data(), static_cast<int>(bytes.size()));
}

int CTCPPort::Write(const char* bytes, int length) {
    if (state_.load() <= 0 || length < 1 || bytes == nullptr) return 0;
    std::lock_guard<std::recursive_mutex> guard(writeLock_);
    int fd = fd_.load();
    int total = 0;
    while (fd >= 0 && total < length) {
        ssize_t sent = ::send(fd, bytes + total, static_cast<size_t>(length - total), MSG_NOSIGNAL);
        if (sent > 0) {
            total += static_cast<int>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        // A timed-out send (EAGAIN) leaves the connection as it is; a broken
        // one marks it lost.
        if (sent < 0 && (errno == EPIPE || errno == ECONNRESET || errno == ESHUTDOWN ||
                         errno == ECONNABORTED)) {
            state_.store(-1);
        }
        break;
    }
    return total;
}

int CTCPPort::GetPeerAddress(sockaddr_in* out) {
    if (out == nullptr) return 0;
    *out = sockaddr_in{};
    int fd = fd_.load();
    if (state_.load() <= 0 || fd < 0) return 0;
    socklen_t len = sizeof *out;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(out), &len) == 0) return 1;
    *out = sockaddr_in{};
    return 0;
}

}  // namespace StreamPort
