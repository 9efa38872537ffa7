#include "worker_channel.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>

namespace qelvor::lua {

namespace {

constexpr size_t kHeaderSize = 5;

// Waits until the socket is ready for events; false when the deadline passed
// first or poll failed.
ChannelResult WaitReady(int socket, short events, Deadline deadline) {
    for (;;) {
        int timeoutMs = -1;
        if (deadline != kNoDeadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return ChannelResult::TimedOut;
            timeoutMs = static_cast<int>(left.count());
        }
        pollfd watched{socket, events, 0};
        const int ready = ::poll(&watched, 1, timeoutMs);
        if (ready > 0) return ChannelResult::Done;
        if (ready == 0) return ChannelResult::TimedOut;
        if (errno != EINTR) return ChannelResult::Failed;
    }
}

ChannelResult SendAll(int socket, const char* bytes, size_t count, Deadline deadline) {
    while (count > 0) {
        const ChannelResult ready = WaitReady(socket, POLLOUT, deadline);
        if (ready != ChannelResult::Done) return ready;
        const ssize_t sent = ::send(socket, bytes, count, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (sent < 0) return errno == EPIPE ? ChannelResult::Closed : ChannelResult::Failed;
        bytes += sent;
        count -= static_cast<size_t>(sent);
    }
    return ChannelResult::Done;
}

ChannelResult ReceiveAll(int socket, char* bytes, size_t count, Deadline deadline) {
    while (count > 0) {
        const ChannelResult ready = WaitReady(socket, POLLIN, deadline);
        if (ready != ChannelResult::Done) return ready;
        const ssize_t got = ::recv(socket, bytes, count, MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got < 0) return errno == ECONNRESET ? ChannelResult::Closed : ChannelResult::Failed;
        if (got == 0) return ChannelResult::Closed;
        bytes += got;
        count -= static_cast<size_t>(got);
    }
    return ChannelResult::Done;
}

}  // namespace

ChannelResult SendFrame(int socket, const Frame& frame, Deadline deadline) {
    if (frame.bytes.size() > UINT32_MAX) return ChannelResult::Failed;
    const auto length = static_cast<uint32_t>(frame.bytes.size());
    char header[kHeaderSize] = {frame.kind};
    for (size_t i = 0; i < 4; ++i)
        header[1 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    const ChannelResult sent = SendAll(socket, header, kHeaderSize, deadline);
    if (sent != ChannelResult::Done) return sent;
    return SendAll(socket, frame.bytes.data(), frame.bytes.size(), deadline);
}

ChannelResult ReceiveFrame(int socket, Frame& frame, size_t maxBytes, Deadline deadline) {
    char header[kHeaderSize];
    const ChannelResult got = ReceiveAll(socket, header, kHeaderSize, deadline);
    if (got != ChannelResult::Done) return got;
    uint32_t length = 0;
    for (size_t i = 0; i < 4; ++i)
        length |= static_cast<uint32_t>(static_cast<unsigned char>(header[1 + i])) << (8 * i);
    if (length > maxBytes) return ChannelResult::Failed;
    frame.kind = header[0];
    frame.bytes.assign(length, '\0');
    return ReceiveAll(socket, frame.bytes.data(), length, deadline);
}

}  // namespace qelvor::lua
