#include "ports/udp_port.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace StreamPort {

namespace {

constexpr size_t kReceiveBufferSize = 65536;
constexpr int kMaxDatagram = 65535;
constexpr int kHighestPort = 65535;
// A burst of datagrams must wait in the kernel while the receive thread
// catches up; the default buffer drops some of a loopback flood.
constexpr int kSocketReceiveBuffer = 4 * 1024 * 1024;

size_t QueueCost(size_t bytes) {
    return bytes + CUDPPort::kQueueItemCost;
}

void AskForLargeReceiveBuffer(int fd) {
    int size = kSocketReceiveBuffer;
    // SO_RCVBUFFORCE passes the system's cap when the process may; otherwise
    // SO_RCVBUF gets as much as the cap allows.
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
}

sockaddr_in Endpoint(uint32_t address, int port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port & 0xFFFF));
    to.sin_addr.s_addr = address;
    return to;
}

}  // namespace

CUDPPort::CUDPPort() : remoteAddress_(htonl(INADDR_LOOPBACK)) {}

CUDPPort::~CUDPPort() {
    Close();
}

int CUDPPort::SetComParam(int, int, const char*) {
    return 1;
}

int CUDPPort::SetNetParam(int localPort, int remotePort, uint32_t address) {
    localPort_ = localPort;
    remotePort_ = remotePort;
    remoteAddress_ = address;
    return 1;
}

void CUDPPort::SetRemoteAddressText(std::string text) {
    remoteText_ = std::move(text);
}

sockaddr_in CUDPPort::LastSender() {
    std::lock_guard<std::mutex> guard(senderLock_);
    return lastSender_;
}

void CUDPPort::SetLastSender(const sockaddr_in& from) {
    std::lock_guard<std::mutex> guard(senderLock_);
    lastSender_ = from;
}

void CUDPPort::ShutdownSocket(int fd) {
    // Closing alone does not wake a thread blocked in recvfrom; shutdown does.
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

int CUDPPort::Open() {
    if (state_.load() >= 0) return 1;
    lastError_ = 0;
    SetLastSender(sockaddr_in{});
    if (localPort_ <= 0 && remotePort_ <= 0) return 0;
    // 0 and below have their meanings (no local port, answer the last
    // sender); a number above the last port is never taken modulo 65536.
    if (localPort_ > kHighestPort || remotePort_ > kHighestPort) return 0;
    if (remotePort_ > 0) {
        sendFd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (sendFd_ < 0) return 0;
    }
    if (localPort_ <= 0) {
        // Answers come back to the port the system picks at the first send.
        recvFd_ = sendFd_;
        AskForLargeReceiveBuffer(recvFd_);
        state_.store(0);
        return 1;
    }
    recvFd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (recvFd_ < 0) return 0;
    AskForLargeReceiveBuffer(recvFd_);
    sockaddr_in local = Endpoint(htonl(INADDR_LOOPBACK), localPort_);
    if (::bind(recvFd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        lastError_ = errno;
        ::close(recvFd_);
        recvFd_ = -1;
        state_.store(-2);
        return 0;
    }
    // Open before the thread starts, so that its "waiting" state is never
    // overwritten by this one.
    state_.store(0);
    StartRecvThread();
    return 1;
}

int CUDPPort::IsOpen() {
    return state_.load() >= 0 ? 1 : 0;
}

int CUDPPort::StartRecvThread() {
    if (recvRunning_.load()) return 0;
    if (recvThread_.joinable()) recvThread_.join();
    stopRecv_.store(false);
    recvRunning_.store(true);
    recvThread_ = std::thread(&CUDPPort::RecvThreadProc, this);
    return 1;
}

void CUDPPort::RecvThreadProc() {
    SetLastSender(sockaddr_in{});
    state_.store(1);
    std::vector<char> buffer(kReceiveBufferSize);
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        ssize_t got = ::recvfrom(recvFd_, buffer.data(), kMaxDatagram, 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        // Close's shutdown also makes recvfrom return 0. A real empty datagram
        // carries nothing; any peer could send one, so it must not end the
        // receiving.
        if (got == 0) {
            if (stopRecv_.load()) break;
            continue;
        }
        SetLastSender(from);
        Queue(buffer.data(), static_cast<size_t>(got));
        state_.store(2);
    }
    SetLastSender(sockaddr_in{});
    // Ended before the state says so: a Write that sees state 0 must find no
    // thread running, so that it starts a new one.
    recvRunning_.store(false);
    state_.store(0);
}

// The receive thread never waits for the reader: past the cap a datagram is
// dropped and counted instead of growing the queue without bound. A run of
// drops ends once the reader has emptied the queue to half its cap, so a
// flood that the poll keeps just below the cap makes one run, not one a tick.
void CUDPPort::Queue(const char* bytes, size_t size) {
    const size_t cost = QueueCost(size);
    if (queuedBytes_.load() + cost > kQueueCap) {
        drops_.Drop(size);
        return;
    }
    queuedBytes_ += cost;
    queue_.Push(std::string(bytes, size));
    if (queuedBytes_.load() <= kQueueCap / 2) drops_.Accepted();
}

int CUDPPort::Close() {
    stopRecv_.store(true);
    ShutdownSocket(sendFd_);
    if (recvFd_ != sendFd_) ShutdownSocket(recvFd_);
    // The thread reads recvFd_ until it ends, so the descriptors are freed
    // only after it has.
    if (recvThread_.joinable()) recvThread_.join();
    if (sendFd_ >= 0) ::close(sendFd_);
    if (recvFd_ >= 0 && recvFd_ != sendFd_) ::close(recvFd_);
    sendFd_ = -1;
    recvFd_ = -1;
    state_.store(-1);
    return 1;
}

void CUDPPort::SetFormat(uint8_t, uint8_t, uint8_t) {}

const char* CUDPPort::GetDescription() {
    int remote = remotePort_;
    char mark = ' ';
    sockaddr_in sender = LastSender();
    if (remote < 1 && sender.sin_port != 0) {
        remote = ntohs(sender.sin_port);
        mark = '*';
    }
    char text[260];
    if (localPort_ > 0) {
        std::snprintf(text, sizeof text, "UDP(Remote(%s:%d%c),Local(%d)", remoteText_.c_str(),
                      remote, mark, localPort_);
    } else {
        std::snprintf(text, sizeof text, "UDP(Remote(%s:%d%c)", remoteText_.c_str(), remote, mark);
    }
    description_ = text;
    return description_.c_str();
}

int CUDPPort::GetState(int) {
    return state_.load() + 1;
}

int CUDPPort::WaitForData(int) {
    return queue_.GetCount();
}

int CUDPPort::Read(char* buffer, int size) {
    if (buffer == nullptr || size <= 0 || queue_.GetCount() == 0) return 0;
    std::string item = queue_.Pop();
    queuedBytes_ -= QueueCost(item.size());
    size_t wanted = static_cast<size_t>(size);
    if (wanted > item.size()) {
        std::memcpy(buffer, item.data(), item.size());
        return static_cast<int>(item.size());
    }
    // The rest goes back to the front, to be read before any later datagram.
    std::memcpy(buffer, item.data(), wanted);
    queuedBytes_ += QueueCost(item.size() - wanted);
    queue_.Push(item.substr(wanted), false);
    return size;
}

int CUDPPort::WriteString(const std::string& bytes) {
    return Write(bytes.data(), static_cast<int>(bytes.size()));
}

int CUDPPort::SendTo(int fd, const sockaddr_in& to, const char* bytes, int length) {
    ssize_t sent = ::sendto(fd, bytes, static_cast<size_t>(length), MSG_NOSIGNAL,
                            reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent < 0 && (errno == ESHUTDOWN || errno == ECONNABORTED || errno == EPIPE)) {
        state_.store(-1);
    }
    return sent < 0 ? -1 : static_cast<int>(sent);
}

int CUDPPort::Write(const char* bytes, int length) {
    if (length < 1 || bytes == nullptr) return 0;
    if (state_.load() == 0) StartRecvThread();
    if (remotePort_ <= 0) return SendTo(recvFd_, LastSender(), bytes, length);
    int sent = SendTo(sendFd_, Endpoint(remoteAddress_, remotePort_), bytes, length);
    if (localPort_ <= 0 && state_.load() == 0) StartRecvThread();
    return sent;
}

int CUDPPort::TryWrite(const char* bytes, int length) {
    const int sent = Write(bytes, length);
    return sent > 0 ? sent : -1;
}

}  // namespace StreamPort
