#include "traffic/outgoing_queue.h"

#include <gtest/gtest.h>

namespace qelvor {
namespace {

// Not at every send the queue takes again.
TEST(OutgoingQueue, ARunOfDropsIsDueAtHalfTheCapOrAfterAWhile) {
    COutgoingQueue queue;
    const auto start = COutgoingQueue::Clock::now();
    ASSERT_TRUE(queue.Offer(std::string(COutgoingQueue::kCap - 1, 'q'), 0, true, start));
    EXPECT_FALSE(queue.Offer("xy", 0, true, start));
    queue.Advance(1, start);
    EXPECT_TRUE(queue.Offer("z", 0, true, start)) << "room for one byte";
    EXPECT_FALSE(queue.DropRunDue(start)) << "still full, and the run just began";
    EXPECT_TRUE(queue.DropRunDue(start + COutgoingQueue::kReportEvery));
    queue.Advance(COutgoingQueue::kCap / 2, start);
    EXPECT_TRUE(queue.DropRunDue(start));
    EXPECT_EQ(queue.TakeDropped(), 2u);
    EXPECT_FALSE(queue.DropRunDue(start + COutgoingQueue::kReportEvery));
    EXPECT_EQ(queue.Bytes(), COutgoingQueue::kCap / 2 - 1);
}

}  // namespace
}  // namespace qelvor
