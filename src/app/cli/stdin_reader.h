// Reads lines from a file descriptor (standard input) on a thread of its own
// and hands them over through a bounded queue: while the queue is full the
// thread stops reading, so a writer faster than the link waits in its pipe
// instead of piling lines up here. Start, Stop and the destructor are called
// from the owning thread; the rest from any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace qelvor {

class CStdinReader {
  public:
    // The most the queue holds: its lines' bytes plus the room each string takes.
    static constexpr size_t kQueueCap = 4 * 1024 * 1024;

    CStdinReader() = default;
    ~CStdinReader() { Stop(); }
    CStdinReader(const CStdinReader&) = delete;
    CStdinReader& operator=(const CStdinReader&) = delete;

    void Start(int fd);
    // Ends the thread within about 50 ms, even while no input arrives or the
    // queue is full.
    void Stop();
    // The oldest line not yet taken, without its line end; false when none.
    bool PopLine(std::string& line);
    // Whether a line waits to be taken.
    bool HasLines();
    // True once the end of the input was reached; every line is queued by then.
    bool Ended() const { return ended_; }
    // True while reading waits for lines to be taken.
    bool HeldBack() const { return heldBack_; }
    // The most the queue has held (see kQueueCap).
    size_t PeakBytes();

  private:
    void ReadLoop();
    bool WaitForRoom();
    void Push(std::string line);
    void PushComplete(std::string& pending);

    int fd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::atomic<bool> heldBack_{false};
    std::mutex lock_;
    std::condition_variable taken_;
    std::deque<std::string> lines_;
    size_t queued_ = 0;  // what lines_ holds, counted as kQueueCap counts it
    size_t peak_ = 0;
};

}  // namespace qelvor
