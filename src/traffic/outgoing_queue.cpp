#include "traffic/outgoing_queue.h"

#include <algorithm>
#include <utility>

namespace qelvor {

bool COutgoingQueue::Offer(std::string bytes, size_t sent, bool record, Clock::time_point now) {
    const size_t unsent = bytes.size() - std::min(sent, bytes.size());
    if (bytes_ + unsent > kCap) {
        if (dropped_ == 0) dropRunStart_ = now;
        dropped_ += unsent;
        return false;
    }
    bytes_ += unsent;
    sends_.push_back(Send{std::move(bytes), sent, record, now});
    return true;
}

void COutgoingQueue::Advance(size_t count, Clock::time_point now) {
    Send& front = sends_.front();
    count = std::min(count, front.bytes.size() - front.sent);
    front.sent += count;
    bytes_ -= count;
    if (count > 0) front.lastProgress = now;
}

COutgoingQueue::Send COutgoingQueue::PopFront(Clock::time_point now) {
    Send front = std::move(sends_.front());
    sends_.pop_front();
    bytes_ -= front.bytes.size() - front.sent;
    if (!sends_.empty()) sends_.front().lastProgress = now;
    return front;
}

bool COutgoingQueue::DropRunDue(Clock::time_point now) const {
    return dropped_ > 0 && (bytes_ <= kCap / 2 || now - dropRunStart_ >= kReportEvery);
}

size_t COutgoingQueue::TakeDropped() {
    return std::exchange(dropped_, 0);
}

}  // namespace qelvor
