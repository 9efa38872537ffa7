#include "app/cli/tick_output.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace qelvor {

void CTickOutput::Append(std::string_view text) {
    if (!gone_) pending_.append(text);
}

// A stream the caller made non-blocking (some terminals, a shared pipe) is
// waited on instead of losing the lines.
bool CTickOutput::WaitWritable() {
    pollfd pfd{fd_, POLLOUT, 0};
    while (::poll(&pfd, 1, -1) < 0) {
        if (errno != EINTR) return false;
    }
    return (pfd.revents & (POLLERR | POLLNVAL)) == 0;
}

void CTickOutput::Flush() {
    size_t done = 0;
    while (!gone_ && done < pending_.size()) {
        const ssize_t put = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (put > 0) {
            done += static_cast<size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno == EAGAIN && WaitWritable()) continue;
        // EPIPE: the reader closed the pipe (`qelvor-cli | head`); any other
        // failure leaves the stream as useless. Either way nothing more is
        // written to it.
        gone_ = true;
    }
    pending_.clear();
}

}  // namespace qelvor
