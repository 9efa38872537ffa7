// The matcher over real records in each display style, its refusals of bad
// patterns, and find next / previous / count over a store and over an index.
#include "traffic/record_matcher.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qelvor {
namespace {

struct MatchCase {
    MatchMode mode;
    const char* pattern;
    int style;
    char type;
    std::string bytes;
    bool matches;
};

class MatcherModes : public testing::TestWithParam<MatchCase> {};

TEST_P(MatcherModes, MatchesTheRecordAsShownOrItsBytes) {
    const MatchCase& c = GetParam();
    std::string error;
    const auto matcher = CRecordMatcher::Create(c.mode, c.pattern, c.style, &error);
    ASSERT_TRUE(matcher) << error;
    EXPECT_EQ(matcher->Matches(CMsgRecord(c.type, c.bytes)), c.matches) << c.pattern;
}

const std::string kFrame(
    "\x02"
    "1H|abc\x03"
    "5A\r\n",
    12);
INSTANTIATE_TEST_SUITE_P(
    Table, MatcherModes,
    testing::Values(
        MatchCase{MatchMode::kText, "<STX>1H", 1, 'R', kFrame, true},
        MatchCase{MatchMode::kText, "<STX>1H", 0, 'R', kFrame, false},
        MatchCase{MatchMode::kText,
                  "\x02"
                  "1H",
                  0, 'R', kFrame, true},
        MatchCase{MatchMode::kText, "02 31 48", 2, 'R', kFrame, true},
        MatchCase{MatchMode::kText, "<CR>", 0, 'I', "a\rb", true},  // 'I' always in notation
        MatchCase{MatchMode::kText, "abc", 1, 'S', "xxabc", true},
        MatchCase{MatchMode::kText, "ABC", 1, 'S', "xxabc", false},
        MatchCase{MatchMode::kRegex, "^<STX>[0-7]H\\|", 1, 'R', kFrame, true},
        MatchCase{MatchMode::kRegex, "<ETX>[0-9A-F]{2}<CR><LF>$", 1, 'R', kFrame, true},
        MatchCase{MatchMode::kRegex, "(?i)ABC", 1, 'R', kFrame, true},
        MatchCase{MatchMode::kRegex, "^1H", 1, 'R', kFrame, false},
        MatchCase{MatchMode::kHex, "02 ?? 48", 1, 'R', kFrame, true},
        MatchCase{MatchMode::kHex, "0D0A", 1, 'R', kFrame, true},
        MatchCase{MatchMode::kHex, "?? 02", 1, 'R', kFrame, false},  // nothing before STX
        MatchCase{MatchMode::kHex, "0A ??", 1, 'R', kFrame, false},  // nothing after LF
        MatchCase{MatchMode::kHex, "?? 0A", 1, 'R', kFrame, true},
        MatchCase{MatchMode::kHex, "03 35 41", 1, 'R', kFrame, true},
        MatchCase{MatchMode::kHex, "?? ?? ??", 1, 'R', "ab", false},
        MatchCase{MatchMode::kHex, "??", 1, 'R', std::string(1, '\0'), true},
        MatchCase{MatchMode::kHex, "00 ff", 1, 'R', std::string("a\0\xff", 3), true}));

struct BadPattern {
    MatchMode mode;
    const char* pattern;
    const char* errorPart;
};

class MatcherRefuses : public testing::TestWithParam<BadPattern> {};

TEST_P(MatcherRefuses, ABadPatternWithAClearReason) {
    std::string error;
    EXPECT_FALSE(CRecordMatcher::Create(GetParam().mode, GetParam().pattern, 1, &error));
    EXPECT_NE(error.find(GetParam().errorPart), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Table, MatcherRefuses,
                         testing::Values(BadPattern{MatchMode::kText, "", "empty"},
                                         BadPattern{MatchMode::kRegex, "a(b", "missing )"},
                                         BadPattern{MatchMode::kRegex, "(a)\\1", "regular"},
                                         BadPattern{MatchMode::kHex, "02 3", "position 4"},
                                         BadPattern{MatchMode::kHex, "0 2", "position 1"},
                                         BadPattern{MatchMode::kHex, "02 ?", "two hex digits"},
                                         BadPattern{MatchMode::kHex, "0x02",
                                                    "'x' is no hex digit at position 2"},
                                         BadPattern{MatchMode::kHex, "  ", "no byte"}));

TEST(RecordMatcher, NestedRepetitionEndsOnANearMiss) {
    const auto matcher = CRecordMatcher::Create(MatchMode::kRegex, "(a+)+$", 1, nullptr);
    ASSERT_TRUE(matcher);
    // A backtracking engine tries about 2^30 ways to split the run of 'a'
    // before it gives up on the first record; RE2 answers in linear time.
    EXPECT_FALSE(matcher->Matches(CMsgRecord('R', std::string(30, 'a') + "b")));
    EXPECT_TRUE(matcher->Matches(CMsgRecord('R', std::string(30, 'a') + "ba")));
}

class FindRows : public testing::Test {
  protected:
    void SetUp() override {
        for (const char* text : {"x", "hit", "y", "hit", "z"})
            records_.emplace_back('R', text);
        matcher_ = CRecordMatcher::Create(MatchMode::kText, "hit", 1, nullptr);
        ASSERT_TRUE(matcher_);
    }
    MsgRecords records_;
    std::optional<CRecordMatcher> matcher_;
    static constexpr size_t kNone = CRecordMatcher::kNoRow;
};

TEST_F(FindRows, NextAndPreviousGoRoundOnlyWhenAsked) {
    const CRecordMatcher::Rows rows{records_};
    EXPECT_EQ(matcher_->FindNext(rows, kNone, true), 1u);
    EXPECT_EQ(matcher_->FindNext(rows, 1, true), 3u);
    EXPECT_EQ(matcher_->FindNext(rows, 3, true), 1u);
    EXPECT_EQ(matcher_->FindNext(rows, 3, false), kNone);
    EXPECT_EQ(matcher_->FindPrevious(rows, kNone, true), 3u);
    EXPECT_EQ(matcher_->FindPrevious(rows, 3, false), 1u);
    EXPECT_EQ(matcher_->FindPrevious(rows, 1, true), 3u);
    EXPECT_EQ(matcher_->FindPrevious(rows, 1, false), kNone);
    EXPECT_EQ(matcher_->Count(rows), 2u);
}

TEST_F(FindRows, OverAnIndexRowsAreItsPositions) {
    const std::vector<size_t> index{0, 3, 4};
    const CRecordMatcher::Rows rows{records_, &index};
    EXPECT_EQ(matcher_->FindNext(rows, kNone, true), 1u);
    // The lone match is found again from itself when the search goes round.
    EXPECT_EQ(matcher_->FindNext(rows, 1, true), 1u);
    EXPECT_EQ(matcher_->FindPrevious(rows, 2, false), 1u);
    EXPECT_EQ(matcher_->Count(rows), 1u);
    const std::vector<size_t> none{0, 2};
    EXPECT_EQ(matcher_->FindNext({records_, &none}, kNone, true), kNone);
}

}  // namespace
}  // namespace qelvor
