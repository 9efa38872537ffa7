// The "+ms" between records of a real store, stamped 5 ms apart and across
// the end of a day and of a month.
#include "traffic/record_timing.h"

#include <gtest/gtest.h>

namespace qelvor {
namespace {

TEST(RecordTiming, GapsToThePreviousRecordOfAnyTypeOrOfTheSameType) {
    MsgRecords records;
    for (uint16_t i = 0; i < 5; ++i) {  // the second one starts a new second
        const auto ms = static_cast<uint16_t>((995 + 5 * i) % 1000);
        const auto second = static_cast<uint16_t>(i == 0 ? 0 : 1);
        records.emplace_back("SRRSI"[i], "x", SystemTime{2024, 2, 0, 1, 12, 0, second, ms});
    }
    const std::optional<int64_t> any[] = {std::nullopt, 5, 5, 5, 5};
    const std::optional<int64_t> same[] = {std::nullopt, std::nullopt, 5, 15, std::nullopt};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(MillisSincePrevious(records, i, GapScope::kAnyRecord), any[i]) << i;
        EXPECT_EQ(MillisSincePrevious(records, i, GapScope::kSameType), same[i]) << i;
    }
    EXPECT_EQ(MillisSincePrevious(records, 5, GapScope::kAnyRecord), std::nullopt);
}

TEST(RecordTiming, AGapRunsOverTheEndOfADayAndOfAMonth) {
    const MsgRecords records{CMsgRecord('R', "a", {2024, 2, 0, 28, 23, 59, 59, 998}),
                             CMsgRecord('R', "b", {2024, 2, 0, 29, 0, 0, 0, 3}),  // a leap year
                             CMsgRecord('R', "c", {2024, 3, 0, 1, 0, 0, 0, 3})};
    EXPECT_EQ(MillisSincePrevious(records, 1, GapScope::kAnyRecord), 5);
    EXPECT_EQ(MillisSincePrevious(records, 2, GapScope::kSameType), 86400000);
}

}  // namespace
}  // namespace qelvor
