#include "app/cli/stream_writer.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace qelvor {

// Setting O_NONBLOCK on standard output would change the open file the stream
// shares with the shell and the other programs of a pipeline: a terminal left
// non-blocking makes the shell's next read fail, and restoring the flag at
// exit is missed by a kill -9. So the descriptor's flags are never touched:
// - a regular file or a block device never waits for a reader: written as is;
// - a socket (a service's journal) is sent to with MSG_DONTWAIT, per call;
// - a pipe, a FIFO or a terminal is opened anew through /proc/self/fd with
//   O_NONBLOCK: an open file of our own on the same pipe or terminal;
// - when that open fails (no /proc, a terminal opened exclusively or owned by
//   another user), poll() with no timeout decides first. On a pipe or FIFO
//   at most PIPE_BUF bytes are then written: Linux calls a pipe writable only
//   when a whole page is free, so such a write does not wait. A terminal
//   calls itself writable with a few bytes of room, so there the one write
//   runs with O_NONBLOCK set and cleared right after it: the shared flag is
//   changed only for the span of that call.
void CStreamWriter::ChooseMode() {
    struct stat st {};
    mode_ = Mode::Plain;
    if (fstat(fd_, &st) != 0 || S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)) return;
    if (S_ISSOCK(st.st_mode)) {
        mode_ = Mode::Socket;
        return;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    own_ = open(self.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (own_ >= 0)
        mode_ = Mode::OwnDescriptor;
    else
        mode_ = S_ISFIFO(st.st_mode) ? Mode::PollFirst : Mode::BriefNonBlocking;
}

CStreamWriter::CStreamWriter(int fd) : fd_(fd) {}

CStreamWriter::~CStreamWriter() {
    if (own_ >= 0) close(own_);
}

ssize_t CStreamWriter::WriteNow(const char* data, size_t size) {
    switch (mode_) {
        case Mode::Socket:
            return send(fd_, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
        case Mode::OwnDescriptor:
            return write(own_, data, size);
        case Mode::PollFirst:
            // An error or a hang-up is reported by the write itself.
            return HasRoom() ? write(fd_, data, std::min<size_t>(size, PIPE_BUF)) : 0;
        case Mode::BriefNonBlocking:
            return HasRoom() ? WriteBrieflyNonBlocking(data, size) : 0;
        default:
            return write(fd_, data, size);
    }
}

bool CStreamWriter::HasRoom() const {
    pollfd room{fd_, POLLOUT, 0};
    return poll(&room, 1, 0) > 0;
}

ssize_t CStreamWriter::WriteBrieflyNonBlocking(const char* data, size_t size) {
    const int flags = fcntl(fd_, F_GETFL);
    if (flags < 0 || (flags & O_NONBLOCK) != 0) return write(fd_, data, size);
    if (fcntl(fd_, F_SETFL, flags | O_NONBLOCK) != 0) return 0;
    const ssize_t put = write(fd_, data, size);
    const int error = errno;
    fcntl(fd_, F_SETFL, flags);
    errno = error;
    return put;
}

ssize_t CStreamWriter::WriteSome(const char* data, size_t size) {
    if (mode_ == Mode::Unknown) ChooseMode();
    while (true) {
        const ssize_t put = WriteNow(data, size);
        if (put >= 0) return put;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

bool CStreamWriter::WaitForRoom(int stopFd, std::chrono::milliseconds limit) const {
    if (mode_ == Mode::Plain || mode_ == Mode::Unknown) return true;
    pollfd watched[2] = {{own_ >= 0 ? own_ : fd_, POLLOUT, 0}, {stopFd, POLLIN, 0}};
    int ready = 0;
    while ((ready = poll(watched, 2, static_cast<int>(limit.count()))) < 0 && errno == EINTR) {
    }
    return ready > 0 && watched[1].revents == 0 && watched[0].revents != 0;
}

}  // namespace qelvor
