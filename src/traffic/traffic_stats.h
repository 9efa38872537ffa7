// The statistics of the traffic: bytes and records each way, ENQs and NAKs
// received, frames with a bad check, and the bytes of each of the last 60
// seconds in both directions. Fed by the traffic store for every record it
// appends, at the cost of a few additions; engine thread only.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string_view>

namespace qelvor {

class CTrafficStats {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kSeconds = 60;

    struct Totals {
        uint64_t bytesSent = 0;
        uint64_t bytesReceived = 0;
        uint64_t recordsSent = 0;
        uint64_t recordsReceived = 0;
        // A tap's two directions: what A sent (also counted as received)
        // and what B sent (also counted as sent, the other way).
        uint64_t bytesFromA = 0;
        uint64_t bytesFromB = 0;
        uint64_t enqReceived = 0;
        uint64_t nakReceived = 0;
        uint64_t badCheckFrames = 0;
    };
    // The bytes of one second.
    struct Second {
        uint64_t in = 0;
        uint64_t out = 0;
    };
    using Series = std::array<Second, kSeconds>;

    // One record of the store: 'S' counts as sent, 'R' as received (an ENQ
    // or NAK when it ends with that byte, as the frame splitter and the
    // ASTM link cut them); a tap's 'A' as received and 'B' as sent, each
    // also on its own; 'I' records are not traffic.
    void OnRecord(char type, std::string_view data, Clock::time_point now);
    // Bytes that went out without a record of their own (a file sent in
    // pieces): sent bytes of the second now, no sent record.
    void OnBytesSent(uint64_t count, Clock::time_point now);
    // Frames whose check characters were found wrong.
    void AddBadFrame(uint64_t count = 1) { totals_.badCheckFrames += count; }
    // Every counter and the series back to zero.
    void Reset();

    const Totals& Counts() const { return totals_; }
    // The bytes of the last whole second before now.
    Second Rate(Clock::time_point now) const;
    // The last kSeconds seconds, oldest first; the last entry is the second
    // now running. Seconds without traffic are zero.
    Series LastSeconds(Clock::time_point now) const;

  private:
    static int64_t SecondOf(Clock::time_point time);
    static size_t Slot(int64_t second);
    // Makes second the newest of the ring, emptying the seconds skipped.
    void Roll(int64_t second);
    Second At(int64_t second) const;

    Totals totals_;
    Series ring_{};
    bool started_ = false;
    int64_t newest_ = 0;  // the second of the newest slot
};

}  // namespace qelvor
