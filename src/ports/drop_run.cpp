#include "ports/drop_run.h"

#include <utility>

namespace StreamPort {

void CDropRun::Drop(size_t bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    if (current_.items == 0) runStart_ = Clock::now();
    ++current_.items;
    current_.bytes += bytes;
    dropping_.store(true, std::memory_order_relaxed);
}

void CDropRun::EndRun() {
    std::lock_guard<std::mutex> guard(lock_);
    ended_.items += current_.items;
    ended_.bytes += current_.bytes;
    current_ = Totals{};
    dropping_.store(false, std::memory_order_relaxed);
}

CDropRun::Totals CDropRun::Take(bool closing, Clock::time_point now) {
    std::lock_guard<std::mutex> guard(lock_);
    Totals taken = std::exchange(ended_, Totals{});
    if (current_.items > 0 && (closing || now - runStart_ >= kReportEvery)) {
        taken.items += current_.items;
        taken.bytes += current_.bytes;
        current_ = Totals{};
        dropping_.store(false, std::memory_order_relaxed);
    }
    return taken;
}

}  // namespace StreamPort
