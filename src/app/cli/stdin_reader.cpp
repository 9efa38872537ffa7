#include "app/cli/stdin_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace qelvor {

namespace {

constexpr int kWakeMs = 50;
constexpr size_t kChunk = 4096;
// Input that never ends a line is handed on in pieces of this size, so that
// a stream without line ends cannot grow the reader without bound.
constexpr size_t kMaxLine = 1024 * 1024;

}  // namespace

void CStdinReader::Start(int fd) {
    fd_ = fd;
    stop_ = false;
    thread_ = std::thread([this] { ReadLoop(); });
}

void CStdinReader::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

bool CStdinReader::PopLine(std::string& line) {
    std::lock_guard<std::mutex> guard(lock_);
    if (lines_.empty()) return false;
    line = std::move(lines_.front());
    lines_.pop_front();
    return true;
}

bool CStdinReader::HasLines() {
    std::lock_guard<std::mutex> guard(lock_);
    return !lines_.empty();
}

void CStdinReader::PushComplete(std::string& pending) {
    size_t start = 0;
    for (size_t end = pending.find('\n'); end != std::string::npos;
         end = pending.find('\n', start)) {
        std::string line = pending.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        {
            std::lock_guard<std::mutex> guard(lock_);
            lines_.push_back(std::move(line));
        }
        start = end + 1;
    }
    pending.erase(0, start);
}

void CStdinReader::ReadLoop() {
    std::string pending;
    char buffer[kChunk];
    while (!stop_) {
        pollfd waiting{fd_, POLLIN, 0};
        const int ready = poll(&waiting, 1, kWakeMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) continue;
        const ssize_t n = ready > 0 ? read(fd_, buffer, sizeof buffer) : -1;
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break;  // the end of the input (or an error) ends reading
        pending.append(buffer, static_cast<size_t>(n));
        PushComplete(pending);
        if (pending.size() >= kMaxLine) {
            std::lock_guard<std::mutex> guard(lock_);
            lines_.push_back(std::move(pending));
            pending.clear();
        }
    }
    if (!stop_ && !pending.empty()) {
        // A last line without a line end is a line too.
        std::lock_guard<std::mutex> guard(lock_);
        lines_.push_back(std::move(pending));
    }
    ended_ = true;
}

}  // namespace qelvor
