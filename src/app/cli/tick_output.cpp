#include "app/cli/tick_output.h"

#include <algorithm>

namespace qelvor {

void CTickOutput::AppendLine(std::string_view line) {
    if (gone_) return;
    const size_t size = line.size() + 1;
    if (Held() + size > cap_) MakeRoom(size);
    if (Held() + size > cap_) {
        ++dropped_;  // a line longer than all the room there is
        return;
    }
    text_.append(line);
    text_.push_back('\n');
}

// Drops the oldest lines not yet begun until size bytes fit with an eighth of
// the cap to spare, so that a stalled reader costs one move of the kept text
// per eighth of the cap, not one per line. A line partly written stays whole:
// the reader never gets the head of one line glued to another.
void CTickOutput::MakeRoom(size_t size) {
    size_t from = head_;
    if (from > 0 && text_[from - 1] != '\n') from = text_.find('\n', from) + 1;
    const size_t goal = cap_ - cap_ / 8;
    size_t to = from;
    while (to < text_.size() && Held() - (to - from) + size > goal) {
        to = text_.find('\n', to) + 1;
        ++dropped_;
    }
    text_.erase(from, to - from);
}

void CTickOutput::Flush() {
    while (!gone_ && !Empty()) {
        const ssize_t put = writer_.WriteSome(text_.data() + head_, Held());
        if (put == 0) break;
        // EPIPE: the reader closed the pipe (`qelvor-cli | head`); any other
        // failure leaves the stream as useless. Either way nothing more is
        // written to it.
        if (put < 0) gone_ = true;
        head_ = put < 0 ? text_.size() : head_ + static_cast<size_t>(put);
    }
    if (Empty()) {
        text_.clear();
        head_ = 0;
    } else if (head_ > text_.size() / 2) {
        text_.erase(0, head_);
        head_ = 0;
    }
    if (gone_) dropped_ = 0;
}

void CTickOutput::Drain(int stopFd, std::chrono::milliseconds stall) {
    Flush();
    while (!gone_ && !Empty() && writer_.WaitForRoom(stopFd, stall)) {
        const size_t before = Held();
        Flush();
        if (Held() == before) break;
    }
    // The line cut short counts among the lines dropped.
    dropped_ += static_cast<uint64_t>(std::count(text_.begin() + head_, text_.end(), '\n'));
    text_.clear();
    head_ = 0;
}

uint64_t CTickOutput::TakeDroppedLines() {
    if (!Empty()) return 0;
    const uint64_t dropped = dropped_;
    dropped_ = 0;
    return dropped;
}

}  // namespace qelvor
