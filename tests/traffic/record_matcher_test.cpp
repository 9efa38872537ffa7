// The matcher over real records in each display style, its refusals of bad
// patterns, and find next / previous / count over a store and over an index.
#include "traffic/record_matcher.h"

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "traffic/msg_exchange.h"
#include "traffic/record_filter.h"

namespace qelvor {
namespace {

using M = MatchMode;

TEST(RecordMatcher, MatchesTheRecordAsShownOrItsBytes) {
    const std::string kStx("\x02"), kFrame = kStx + "1H|abc\x03" + "5A\r\n";
    // clang-format off
    const struct { MatchMode mode; std::string pattern; int style; char type; std::string bytes;
                   bool matches; } cases[] = {
        {M::kText, "<STX>1H", 1, 'R', kFrame, true}, {M::kText, "<STX>1H", 0, 'R', kFrame, false},
        {M::kText, kStx + "1H", 0, 'R', kFrame, true}, {M::kText, "02 31 48", 2, 'R', kFrame, true},
        {M::kText, "<CR>", 0, 'I', "a\rb", true},  // 'I' always in notation
        {M::kRegex, "<ETX>[0-9A-F]{2}<CR><LF>$", 1, 'R', kFrame, true},
        {M::kRegex, "(?i)ABC", 1, 'R', kFrame, true}, {M::kRegex, "^1H", 1, 'R', kFrame, false},
        {M::kHex, "02 ?? 48", 1, 'R', kFrame, true}, {M::kHex, "0D0A", 1, 'R', kFrame, true},
        {M::kHex, "?? 02", 1, 'R', kFrame, false},  // nothing before STX
        {M::kHex, "0A ??", 1, 'R', kFrame, false},  // nothing after LF
        {M::kHex, "?? 0A", 1, 'R', kFrame, true}, {M::kHex, "?? ?? ??", 1, 'R', "ab", false},
        {M::kHex, "00 ff", 1, 'R', std::string("a\0\xff", 3), true}};
    // clang-format on
    for (const auto& c : cases) {
        std::string error;
        const auto matcher = CRecordMatcher::Create(c.mode, c.pattern, c.style, &error);
        ASSERT_TRUE(matcher) << error;
        EXPECT_EQ(matcher->Matches(CMsgRecord(c.type, c.bytes)), c.matches) << c.pattern;
    }
    const std::pair<MatchMode, const char*> bad[] = {{M::kText, ""},    {M::kRegex, "a(b"},
                                                     {M::kHex, "02 3"}, {M::kHex, "02 ?"},
                                                     {M::kHex, "0x02"}, {M::kHex, "  "}};
    const char* const reasons[] = {
        "empty",  "missing )", "position 4", "two hex digits", "'x' is no hex digit at position 2",
        "no byte"};
    for (size_t i = 0; i < std::size(bad); ++i) {
        std::string error;
        EXPECT_FALSE(CRecordMatcher::Create(bad[i].first, bad[i].second, 1, &error));
        EXPECT_NE(error.find(reasons[i]), std::string::npos) << error;
    }
}

TEST(RecordMatcher, NestedRepetitionEndsOnANearMiss) {
    const auto matcher = CRecordMatcher::Create(M::kRegex, "(a+)+$", 1, nullptr);
    ASSERT_TRUE(matcher);
    // A backtracking engine tries about 2^30 ways to split the run of 'a'
    // before it gives up on the first record; RE2 answers in linear time.
    EXPECT_FALSE(matcher->Matches(CMsgRecord('R', std::string(30, 'a') + "b")));
    EXPECT_TRUE(matcher->Matches(CMsgRecord('R', std::string(30, 'a') + "ba")));
}

TEST(RecordMatcher, FindsNextAndPreviousGoingRoundOnlyWhenAsked) {
    MsgRecords records;
    for (const char* text : {"x", "hit", "y", "hit", "z"})
        records.emplace_back('R', text);
    const auto m = CRecordMatcher::Create(M::kText, "hit", 1, nullptr);
    const CRecordMatcher::Rows all{records};
    constexpr size_t kNone = CRecordMatcher::kNoRow;
    EXPECT_EQ(m->FindNext(all, kNone, true), 1u);
    EXPECT_EQ(m->FindNext(all, 3, true), 1u);
    EXPECT_EQ(m->FindNext(all, 3, false), kNone);
    EXPECT_EQ(m->FindPrevious(all, kNone, true), 3u);
    EXPECT_EQ(m->FindPrevious(all, 3, false), 1u);
    EXPECT_EQ(m->FindPrevious(all, 1, false), kNone);
    EXPECT_EQ(m->Count(all), 2u);
    // Over an index the rows are its positions; a lone match is found again
    // from itself when the search goes round.
    const std::vector<size_t> index{0, 3, 4};
    EXPECT_EQ(m->FindNext({records, &index}, 1, true), 1u);
    EXPECT_EQ(m->FindPrevious({records, &index}, 2, false), 1u);
    EXPECT_EQ(m->Count({records, &index}), 1u);
}

// The stepped filter over a real traffic store that grows and is cleared
// between steps, as the window's poll tick drives it.
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
    EXPECT_EQ(filter_.Rows(), (Rows{1, 2, 4}));
    EXPECT_EQ(filter_.MatchCount(), 0u);
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
    EXPECT_EQ(filter_.NextMatch(3, false), 5u);
    EXPECT_EQ(filter_.NextMatch(5, false), kNone);
    EXPECT_EQ(filter_.NextMatch(6, true), 0u);
    EXPECT_EQ(filter_.PreviousMatch(kNone, false), 5u);
    EXPECT_EQ(filter_.PreviousMatch(0, true), 5u);
    EXPECT_EQ(filter_.PreviousMatch(0, false), kNone);
}

TEST_F(RecordFilterTest, AStepPastItsDeadlineStopsAndTheNextGoesOn) {
    Add(std::string(5000, 'R'));
    filter_.Reset({}, Hits());
    EXPECT_FALSE(filter_.Step(CRecordFilter::Clock::now()));
    const size_t taken = filter_.Rows().size();
    EXPECT_GT(taken, 0u);
    EXPECT_LT(taken, 5000u);
    EXPECT_DOUBLE_EQ(filter_.Progress(), static_cast<double>(taken) / 5000.0);
    while (!filter_.Step(CRecordFilter::Clock::now())) {
    }
    EXPECT_EQ(filter_.MatchCount(), 5000u);
    EXPECT_DOUBLE_EQ(filter_.Progress(), 1.0);
}

}  // namespace
}  // namespace qelvor
