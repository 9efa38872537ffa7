// Reads lines from a file descriptor (standard input) on a thread of its own
// and hands them over through a queue. Start, Stop and the destructor are
// called from the owning thread; PopLine from any thread.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace qelvor {

class CStdinReader {
  public:
    CStdinReader() = default;
    ~CStdinReader() { Stop(); }
    CStdinReader(const CStdinReader&) = delete;
    CStdinReader& operator=(const CStdinReader&) = delete;

    void Start(int fd);
    // Ends the thread within about 50 ms, even while no input arrives.
    void Stop();
    // The oldest line not yet taken, without its line end; false when none.
    bool PopLine(std::string& line);
    // Whether a line waits to be taken.
    bool HasLines();
    // True once the end of the input was reached; every line is queued by then.
    bool Ended() const { return ended_; }

  private:
    void ReadLoop();
    void PushComplete(std::string& pending);

    int fd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::mutex lock_;
    std::deque<std::string> lines_;
};

}  // namespace qelvor
