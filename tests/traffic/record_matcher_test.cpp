// The matcher over real records in each display style, its refusals of bad
// patterns, and find next / previous / count over a store and over an index.
#include "traffic/record_matcher.h"

#include <gtest/gtest.h>

namespace qelvor {
namespace {

struct MatchCase {
    MatchMode mode;
    std::string pattern;
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

using M = MatchMode;
using C = MatchCase;
const std::string kStx("\x02"), kFrame = kStx + "1H|abc\x03" + "5A\r\n";
INSTANTIATE_TEST_SUITE_P(
    Table, MatcherModes,
    testing::Values(
        C{M::kText, "<STX>1H", 1, 'R', kFrame, true}, C{M::kText, "<STX>1H", 0, 'R', kFrame, false},
        C{M::kText, kStx + "1H", 0, 'R', kFrame, true},
        C{M::kText, "02 31 48", 2, 'R', kFrame, true},
        C{M::kText, "<CR>", 0, 'I', "a\rb", true},  // 'I' always in notation
        C{M::kRegex, "<ETX>[0-9A-F]{2}<CR><LF>$", 1, 'R', kFrame, true},
        C{M::kRegex, "(?i)ABC", 1, 'R', kFrame, true}, C{M::kRegex, "^1H", 1, 'R', kFrame, false},
        C{M::kHex, "02 ?? 48", 1, 'R', kFrame, true}, C{M::kHex, "0D0A", 1, 'R', kFrame, true},
        C{M::kHex, "?? 02", 1, 'R', kFrame, false},  // nothing before STX
        C{M::kHex, "0A ??", 1, 'R', kFrame, false},  // nothing after LF
        C{M::kHex, "?? 0A", 1, 'R', kFrame, true}, C{M::kHex, "?? ?? ??", 1, 'R', "ab", false},
        C{M::kHex, "00 ff", 1, 'R', std::string("a\0\xff", 3), true}));

struct BadPattern {
    MatchMode mode;
    const char* pattern;
    const char* errorPart;
};

using B = BadPattern;
class MatcherRefuses : public testing::TestWithParam<BadPattern> {};

TEST_P(MatcherRefuses, ABadPatternWithAClearReason) {
    std::string error;
    EXPECT_FALSE(CRecordMatcher::Create(GetParam().mode, GetParam().pattern, 1, &error));
    EXPECT_NE(error.find(GetParam().errorPart), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Table, MatcherRefuses,
                         testing::Values(B{M::kText, "", "empty"}, B{M::kRegex, "a(b", "missing )"},
                                         B{M::kHex, "02 3", "position 4"},
                                         B{M::kHex, "02 ?", "two hex digits"},
                                         B{M::kHex, "0x02", "'x' is no hex digit at position 2"},
                                         B{M::kHex, "  ", "no byte"}));

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

}  // namespace
}  // namespace qelvor
