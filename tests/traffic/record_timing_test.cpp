// The "+ms" between records of a real store, stamped 5 ms apart and across
// the end of a day and of a month.
#include "traffic/record_timing.h"

#include <gtest/gtest.h>

namespace qelvor {
namespace {

SystemTime At(uint16_t day, uint16_t hour, uint16_t minute, uint16_t second, uint16_t ms) {
    return {2024, 2, 0, day, hour, minute, second, ms};
}

TEST(RecordTiming, GapsToThePreviousRecordOfAnyTypeOrOfTheSameType) {
    MsgRecords records;
    const char types[] = "SRRSI";
    for (uint16_t i = 0; i < 5; ++i)
        records.emplace_back(types[i], "x", At(1, 12, 0, 0, static_cast<uint16_t>(995 + 5 * i)));
    // The third record is the first of a new second: 12:00:01.005.
    const std::optional<int64_t> any[] = {std::nullopt, 5, 5, 5, 5};
    const std::optional<int64_t> same[] = {std::nullopt, std::nullopt, 5, 15, std::nullopt};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(MillisSincePrevious(records, i, GapScope::kAnyRecord), any[i]) << i;
        EXPECT_EQ(MillisSincePrevious(records, i, GapScope::kSameType), same[i]) << i;
    }
    EXPECT_EQ(MillisSincePrevious(records, 5, GapScope::kAnyRecord), std::nullopt);
    EXPECT_EQ(FormatGap(5), "5");
    EXPECT_EQ(FormatGap(std::nullopt), "");
}

TEST(RecordTiming, AGapRunsOverTheEndOfADayAndOfAMonth) {
    MsgRecords records;
    records.emplace_back('R', "a", At(28, 23, 59, 59, 998));
    records.emplace_back('R', "b", At(29, 0, 0, 0, 3));  // 2024 is a leap year
    records.emplace_back('R', "c", SystemTime{2024, 3, 0, 1, 0, 0, 0, 3});
    EXPECT_EQ(MillisSincePrevious(records, 1, GapScope::kAnyRecord), 5);
    EXPECT_EQ(MillisSincePrevious(records, 2, GapScope::kSameType), 86400000);
}

}  // namespace
}  // namespace qelvor
