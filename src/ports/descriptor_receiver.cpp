#include "ports/descriptor_receiver.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace StreamPort {

namespace {

constexpr size_t kReadPiece = 64 * 1024;
// One pass moves at most this much before it looks at the wake descriptor.
constexpr size_t kMaxBytesPerPass = 1024 * 1024;

}  // namespace

bool CDescriptorReceiver::Start(int fd) {
    Stop();
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) return false;
    fd_ = fd;
    stop_.store(false);
    waitingForRoom_.store(false);
    error_.store(0);
    thread_ = std::thread(&CDescriptorReceiver::Run, this);
    return true;
}

void CDescriptorReceiver::Stop() {
    if (wakeFd_ < 0) return;
    stop_.store(true);
    Wake();
    if (thread_.joinable()) thread_.join();
    ::close(wakeFd_);
    wakeFd_ = -1;
    fd_ = -1;
    error_.store(0);
}

void CDescriptorReceiver::Wake() const {
    const uint64_t one = 1;
    ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
    (void)ignored;
}

size_t CDescriptorReceiver::Waiting() const {
    size_t waiting = queue_.Size();
    int inDriver = 0;
    if (fd_ >= 0 && error_.load() == 0 && ::ioctl(fd_, FIONREAD, &inDriver) == 0 && inDriver > 0)
        waiting += static_cast<size_t>(inDriver);
    return waiting;
}

size_t CDescriptorReceiver::Take(char* buffer, size_t size) {
    const size_t taken = queue_.Take(buffer, size);
    // A thread that found the queue full waits for room; there is some now.
    if (taken > 0 && waitingForRoom_.exchange(false)) Wake();
    return taken;
}

void CDescriptorReceiver::Run() {
    std::vector<char> buffer(kReadPiece);
    while (ReceiveOnce(buffer)) {
    }
}

// Whether the queue has room; when it has none, tells Take to wake the
// thread once it has made some. The second look closes the gap in which
// Take could have taken bytes before the flag was up.
bool CDescriptorReceiver::RoomOrWaitForIt() {
    if (queue_.Room() > 0) return true;
    waitingForRoom_.store(true);
    return queue_.Room() > 0;
}

// One wait for the driver (or, while the queue is full, for room) and one
// move of what arrived; false when the thread is to end (Stop, or the
// device failed).
bool CDescriptorReceiver::ReceiveOnce(std::vector<char>& buffer) {
    const bool room = RoomOrWaitForIt();
    // Without room the descriptor is not read: the kernel's buffer fills
    // and holds the sender back, as flow control does.
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd_, static_cast<short>(room ? POLLIN : 0), 0}};
    if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) return true;
        error_.store(errno);
        return false;
    }
    if (fds[0].revents & POLLIN) {
        uint64_t count = 0;
        ssize_t ignored = ::read(wakeFd_, &count, sizeof count);
        (void)ignored;
    }
    if (stop_.load()) return false;
    const short device = fds[1].revents;
    if (device & POLLNVAL) {
        error_.store(EBADF);
        return false;
    }
    const bool hungUp = (device & (POLLHUP | POLLERR)) != 0;
    if (!(device & POLLIN) && !hungUp) return true;
    return MoveBytes(buffer, hungUp);
}

// Reads what the driver holds into the queue, as far as it has room. A
// device that hung up (a pulled adapter, a closed pty master) hands over
// what it still held and then fails: false.
bool CDescriptorReceiver::MoveBytes(std::vector<char>& buffer, bool hungUp) {
    for (size_t moved = 0; moved < kMaxBytesPerPass;) {
        const size_t room = queue_.Room();
        if (room == 0) break;
        const ssize_t got = ::read(fd_, buffer.data(), std::min(room, buffer.size()));
        if (got > 0) {
            queue_.Append(buffer.data(), static_cast<size_t>(got));
            moved += static_cast<size_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        // With VMIN and VTIME 0 a tty returns 0, not EAGAIN, when nothing
        // waits; only together with a hang-up does it mean the end.
        const bool nothingNow = got == 0 || errno == EAGAIN;
        if (nothingNow && !hungUp) return true;
        error_.store(nothingNow ? EIO : errno);  // EIO: nothing left of a hung-up device
        return false;
    }
    if (hungUp && queue_.Room() == 0) {
        error_.store(EIO);  // what the device still held cannot be taken
        return false;
    }
    return true;
}

}  // namespace StreamPort
