// Counts what a bounded queue had to drop, in runs: a run starts with the
// first item dropped and ends when the queue takes an item again, so that
// each run is told once, with its totals. Drop and Accepted are called by
// the thread that fills the queue, Take by the one that reports; both may
// run at once.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

namespace StreamPort {

class CDropRun {
  public:
    struct Totals {
        size_t items = 0;
        size_t bytes = 0;
    };

    // One item of the given size did not fit.
    void Drop(size_t bytes);
    // The queue took an item: a run of drops before it has ended.
    void Accepted() {
        if (dropping_.load(std::memory_order_relaxed)) EndRun();
    }
    // The runs that have ended since the last Take, with the one under way
    // when includeCurrent is set (the queue closes); zero totals when none.
    Totals Take(bool includeCurrent);

  private:
    void EndRun();

    std::mutex lock_;
    std::atomic<bool> dropping_{false};
    Totals current_;  // guarded by lock_
    Totals ended_;    // guarded by lock_
};

}  // namespace StreamPort
