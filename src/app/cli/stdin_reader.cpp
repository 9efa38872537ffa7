#include "app/cli/stdin_reader.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace qelvor {

namespace {

constexpr auto kWake = std::chrono::milliseconds(50);
constexpr size_t kChunk = 4096;
// Input that never ends a line is handed on in pieces of this size, so that
// a stream without line ends cannot grow the reader without bound.
constexpr size_t kMaxLine = 1024 * 1024;
// What a line costs the queue besides its bytes, so that a flood of empty
// lines is bounded too.
constexpr size_t kLineCost = sizeof(std::string);
// The most one read can add to the queue: the piece of a line held back
// from the reads before, and a chunk of nothing but line ends.
constexpr size_t kReadRoom = kMaxLine + kChunk * (1 + kLineCost);
static_assert(kReadRoom < CStdinReader::kQueueCap);

}  // namespace

void CStdinReader::Start(int fd) {
    fd_ = fd;
    stop_ = false;
    thread_ = std::thread([this] { ReadLoop(); });
}

void CStdinReader::Stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
    }
    taken_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool CStdinReader::PopLine(std::string& line) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (lines_.empty()) return false;
        line = std::move(lines_.front());
        lines_.pop_front();
        queued_ -= line.size() + kLineCost;
    }
    taken_.notify_all();
    return true;
}

bool CStdinReader::HasLines() {
    std::lock_guard<std::mutex> guard(lock_);
    return !lines_.empty();
}

size_t CStdinReader::PeakBytes() {
    std::lock_guard<std::mutex> guard(lock_);
    return peak_;
}

void CStdinReader::Push(std::string line) {
    std::lock_guard<std::mutex> guard(lock_);
    queued_ += line.size() + kLineCost;
    peak_ = std::max(peak_, queued_);
    lines_.push_back(std::move(line));
}

// Reading stops while one more read could pass the cap; the input waits in
// its pipe (or file) meanwhile, so nothing is lost. False when stopped.
bool CStdinReader::WaitForRoom() {
    std::unique_lock<std::mutex> guard(lock_);
    while (!stop_ && queued_ + kReadRoom > kQueueCap) {
        heldBack_ = true;
        taken_.wait_for(guard, kWake);
    }
    heldBack_ = false;
    return !stop_;
}

void CStdinReader::PushComplete(std::string& pending) {
    size_t start = 0;
    for (size_t end = pending.find('\n'); end != std::string::npos;
         end = pending.find('\n', start)) {
        std::string line = pending.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Push(std::move(line));
        start = end + 1;
    }
    pending.erase(0, start);
}

void CStdinReader::ReadLoop() {
    std::string pending;
    char buffer[kChunk];
    while (WaitForRoom()) {
        pollfd waiting{fd_, POLLIN, 0};
        const int ready = poll(&waiting, 1, static_cast<int>(kWake.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) continue;
        const ssize_t n = ready > 0 ? read(fd_, buffer, sizeof buffer) : -1;
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break;  // the end of the input (or an error) ends reading
        pending.append(buffer, static_cast<size_t>(n));
        PushComplete(pending);
        if (pending.size() >= kMaxLine) {
            Push(std::move(pending));
            pending.clear();
        }
    }
    // A last line without a line end is a line too.
    if (!stop_ && !pending.empty()) Push(std::move(pending));
    ended_ = true;
}

}  // namespace qelvor
