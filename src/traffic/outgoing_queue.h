// The bytes waiting for the port to take them: each send in order, how much
// of the first one went out, and a cap beyond which further sends are
// dropped and counted. Plain data; the message exchange drains it at the
// poll ticks. User-interface thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>

namespace qelvor {

class COutgoingQueue {
  public:
    using Clock = std::chrono::steady_clock;

    struct Send {
        std::string bytes;
        size_t sent = 0;      // bytes of this send the port has taken
        bool record = false;  // an 'S' record is made once it is all out
        Clock::time_point lastProgress;
    };

    // The most bytes that may wait; a peer that does not read cannot make
    // the program hold more than this.
    static constexpr size_t kCap = 16777216;

    bool Empty() const { return sends_.empty(); }
    size_t Bytes() const { return bytes_; }
    size_t Count() const { return sends_.size(); }

    // Queues the rest of a send of which sent bytes already went out. False,
    // and the bytes counted as dropped, when it would take the queue past
    // its cap.
    bool Offer(std::string bytes, size_t sent, bool record, Clock::time_point now);
    Send& Front() { return sends_.front(); }
    // The port took count more bytes of the front send.
    void Advance(size_t count, Clock::time_point now);
    // Removes the front send; its bytes no longer count against the cap. The
    // send behind it starts its wait for the port now.
    Send PopFront(Clock::time_point now);

    // Whether the run of drops under way is to be told now: the queue has
    // emptied to half its cap (a peer that reads a little between drops
    // makes one run, not one a send), or the run began kReportEvery ago.
    bool DropRunDue(Clock::time_point now) const;
    static constexpr std::chrono::seconds kReportEvery{1};
    // The bytes dropped since the last TakeDropped, and the count reset: a
    // run of drops is told once, with its total.
    size_t TakeDropped();

  private:
    std::deque<Send> sends_;
    size_t bytes_ = 0;  // unsent bytes of every send in the queue
    size_t dropped_ = 0;
    Clock::time_point dropRunStart_{};
};

}  // namespace qelvor
