#include "ports/drop_run.h"

#include <gtest/gtest.h>

namespace {

using StreamPort::CDropRun;

// A run that goes on is told once a second, and only once.
TEST(DropRun, RunThatGoesOnIsToldEverySecond) {
    CDropRun run;
    run.Drop(7);
    EXPECT_EQ(run.Take(false).items, 0u);
    EXPECT_EQ(run.Take(false, CDropRun::Clock::now() + CDropRun::kReportEvery).bytes, 7u);
    EXPECT_EQ(run.Take(true).items, 0u);
}

}  // namespace
