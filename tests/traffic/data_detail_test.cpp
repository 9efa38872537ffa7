#include "traffic/data_detail.h"

#include <gtest/gtest.h>

namespace qelvor {
namespace {

// The "+ms" since any record or the last of the same type, over a day's and a leap month's end;
// none for a first record or pending bytes.
TEST(DataDetail, GapSinceThePreviousRecordInScope) {
    const CRecordStore records = {CMsgRecord('S', "a", {2024, 2, 3, 28, 23, 59, 59, 998}),
                                  CMsgRecord('R', "b", {2024, 2, 4, 29, 0, 0, 0, 3}),
                                  CMsgRecord('R', "c", {2024, 2, 4, 29, 0, 0, 0, 8}),
                                  CMsgRecord('S', "d", {2024, 3, 5, 1, 0, 0, 0, 20})};
    using G = GapScope;
    const std::tuple<size_t, GapScope, std::string> cases[] = {
        {0, G::kAnyRecord, ""},         {1, G::kAnyRecord, "5"}, {2, G::kAnyRecord, "5"},
        {3, G::kAnyRecord, "86400012"}, {1, G::kSameType, ""},   {3, G::kSameType, "86400022"}};
    for (const auto& [index, scope, gap] : cases)
        EXPECT_EQ(CDataDetail(records, index, scope).GapText(), gap) << index;
    EXPECT_EQ(CDataDetail(CMsgRecord('R', "pending")).GapText(), "");
}

}  // namespace
}  // namespace qelvor
