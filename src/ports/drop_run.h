// Counts what a bounded queue had to drop, in runs: a run starts with the
// first item dropped and ends when the queue has room again (the queue says
// when: Accepted), so that each run is told once, with its totals; a run
// that goes on is told every kReportEvery. Drop and Accepted are called by
// the thread that fills the queue, Take by the one that reports; both may
// run at once.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>

namespace StreamPort {

class CDropRun {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kReportEvery{1};

    struct Totals {
        size_t items = 0;
        size_t bytes = 0;
    };

    // One item of the given size did not fit.
    void Drop(size_t bytes);
    // The queue has room again: a run of drops before it has ended.
    void Accepted() {
        if (dropping_.load(std::memory_order_relaxed)) EndRun();
    }
    // The runs that have ended since the last Take, with the one under way
    // when closing is set (the queue closes) or when it began kReportEvery
    // ago or more (it then starts afresh); zero totals when none.
    Totals Take(bool closing, Clock::time_point now = Clock::now());

  private:
    void EndRun();

    std::mutex lock_;
    std::atomic<bool> dropping_{false};
    Totals current_;                // guarded by lock_
    Clock::time_point runStart_{};  // guarded by lock_
    Totals ended_;                  // guarded by lock_
};

}  // namespace StreamPort
