#include "traffic/traffic_stats.h"

namespace qelvor {

namespace {

constexpr char kEnq = 0x05;
constexpr char kNak = 0x15;

}  // namespace

int64_t CTrafficStats::SecondOf(Clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

size_t CTrafficStats::Slot(int64_t second) {
    return static_cast<size_t>(((second % kSeconds) + kSeconds) % kSeconds);
}

void CTrafficStats::Roll(int64_t second) {
    if (started_ && second <= newest_) return;
    if (!started_ || second - newest_ >= kSeconds) {
        ring_.fill(Second{});
    } else {
        for (int64_t s = newest_ + 1; s <= second; ++s)
            ring_[Slot(s)] = Second{};
    }
    started_ = true;
    newest_ = second;
}

void CTrafficStats::OnRecord(char type, std::string_view data, Clock::time_point now) {
    if (type == 'A') totals_.bytesFromA += data.size();
    if (type == 'B') totals_.bytesFromB += data.size();
    if (type == 'A') type = 'R';
    if (type == 'B') type = 'S';
    if (type != 'S' && type != 'R') return;
    Roll(SecondOf(now));
    Second& slot = ring_[Slot(newest_)];
    if (type == 'S') {
        ++totals_.recordsSent;
        totals_.bytesSent += data.size();
        slot.out += data.size();
        return;
    }
    ++totals_.recordsReceived;
    totals_.bytesReceived += data.size();
    slot.in += data.size();
    if (data.empty()) return;
    if (data.back() == kEnq) ++totals_.enqReceived;
    if (data.back() == kNak) ++totals_.nakReceived;
}

void CTrafficStats::OnBytesSent(uint64_t count, Clock::time_point now) {
    Roll(SecondOf(now));
    totals_.bytesSent += count;
    ring_[Slot(newest_)].out += count;
}

void CTrafficStats::Reset() {
    totals_ = Totals{};
    ring_.fill(Second{});
    started_ = false;
    newest_ = 0;
}

CTrafficStats::Second CTrafficStats::At(int64_t second) const {
    if (!started_ || second > newest_ || second <= newest_ - kSeconds) return Second{};
    return ring_[Slot(second)];
}

CTrafficStats::Second CTrafficStats::Rate(Clock::time_point now) const {
    return At(SecondOf(now) - 1);
}

CTrafficStats::Series CTrafficStats::LastSeconds(Clock::time_point now) const {
    Series series{};
    const int64_t last = SecondOf(now);
    for (int i = 0; i < kSeconds; ++i)
        series[static_cast<size_t>(i)] = At(last - (kSeconds - 1) + i);
    return series;
}

}  // namespace qelvor
