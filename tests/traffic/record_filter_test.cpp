#include "traffic/record_filter.h"

#include <string>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "traffic/msg_exchange.h"

namespace qelvor {
namespace {

// The stepped filter over a real store that grows and is cleared between steps.
using Rows = std::vector<size_t>;

class RecordFilterTest : public testing::Test {
  protected:
    void Add(const std::string& types) {
        for (char type : types)
            exchange_.AddRecord(type, type == 'R' ? "<hit>" : "miss");
    }
    bool StepAll() { return filter_.Step(CRecordFilter::Clock::now() + std::chrono::seconds(10)); }
    static std::optional<CRecordMatcher> Hits() {
        return CRecordMatcher::Create(MatchMode::kText, "hit", 1, nullptr);
    }

    CComSetting settings_;
    CMsgExchange exchange_{settings_};
    CRecordFilter filter_{exchange_};
};

TEST_F(RecordFilterTest, KeepsTheChosenTypesAsRecordsArriveAndAfterAClear) {
    filter_.Reset({.showSent = false}, std::nullopt);
    Add("SRIS");
    EXPECT_TRUE(StepAll());
    EXPECT_EQ(filter_.Rows(), (Rows{1, 2}));
    Add("RS");
    EXPECT_FALSE(filter_.CaughtUp());
    EXPECT_TRUE(StepAll());
    EXPECT_EQ(std::make_tuple(filter_.Rows(), filter_.MatchCount()),
              std::make_tuple(Rows{1, 2, 4}, 0u));
    exchange_.ClearAll();
    Add("IS");
    EXPECT_FALSE(filter_.CaughtUp());
    EXPECT_TRUE(StepAll());
    EXPECT_EQ(filter_.Rows(), (Rows{0}));
}

TEST_F(RecordFilterTest, OnlyMatchingRowsOrAllRowsWithTheMatchesToStepThrough) {
    Add("RSRIR");
    filter_.Reset({.onlyMatching = true}, Hits());
    StepAll();
    EXPECT_EQ(filter_.Rows(), (Rows{0, 2, 4}));
    EXPECT_EQ(filter_.MatchRows(), (Rows{0, 1, 2}));
    filter_.Reset({.showInfo = false}, Hits());
    Add("SR");
    StepAll();
    EXPECT_EQ(filter_.Rows(), (Rows{0, 1, 2, 4, 5, 6}));
    EXPECT_EQ(filter_.MatchRows(), (Rows{0, 2, 3, 5}));
    constexpr size_t kNone = CRecordFilter::kNoRow;
    // Each row: forward or back, the row to start from, going round, the row found.
    const std::tuple<bool, size_t, bool, size_t> finds[] = {
        {true, 3, false, 5},      {true, 5, false, kNone}, {true, 6, true, 0},
        {false, kNone, false, 5}, {false, 0, true, 5},     {false, 0, false, kNone}};
    for (const auto& [next, from, wrap, found] : finds)
        EXPECT_EQ(next ? filter_.NextMatch(from, wrap) : filter_.PreviousMatch(from, wrap), found);
}

TEST_F(RecordFilterTest, AStepPastItsDeadlineStopsAndTheNextGoesOn) {
    Add(std::string(5000, 'R'));
    filter_.Reset({}, Hits());
    EXPECT_FALSE(filter_.Step(CRecordFilter::Clock::now()));
    const size_t taken = filter_.Rows().size();
    EXPECT_TRUE(taken > 0 && taken < 5000u) << taken;
    EXPECT_DOUBLE_EQ(filter_.Progress(), static_cast<double>(taken) / 5000.0);
    while (!filter_.Step(CRecordFilter::Clock::now())) {
    }
    EXPECT_EQ(filter_.MatchCount(), 5000u);
    EXPECT_DOUBLE_EQ(filter_.Progress(), 1.0);
}

}  // namespace
}  // namespace qelvor
