#include "traffic/record_matcher.h"

#include <gtest/gtest.h>

namespace qelvor {
namespace {

// Each display style, the refusals of bad patterns, and finds over a store and an index.
const std::string kStx("\x02");

using M = MatchMode;

TEST(RecordMatcher, MatchesTheRecordAsShownAndFindsGoingRoundOnlyWhenAsked) {
    const std::string kFrame = kStx + "1H|abc\x03" + "5A\r\n";
    // clang-format off
    const struct { MatchMode mode; std::string pattern; int style; char type; std::string bytes;
                   bool matches; } cases[] = {
        {M::kText, "<STX>1H", 1, 'R', kFrame, true}, {M::kText, "<STX>1H", 0, 'R', kFrame, false},
        {M::kText, kStx + "1H", 0, 'R', kFrame, true}, {M::kText, "02 31 48", 2, 'R', kFrame, true},
        {M::kText, "<CR>", 0, 'I', "a\rb", true},  // 'I' always in notation
        {M::kRegex, "<ETX>[0-9A-F]{2}<CR><LF>$", 1, 'R', kFrame, true},
        {M::kRegex, "(?i)ABC", 1, 'R', kFrame, true}, {M::kRegex, "^1H", 1, 'R', kFrame, false},
        {M::kHex, "02 ?? 48", 1, 'R', kFrame, true}, {M::kHex, "0D0A", 1, 'R', kFrame, true},
        {M::kHex, "?? 02", 1, 'R', kFrame, false}, {M::kHex, "0A ??", 1, 'R', kFrame, false},  // none before STX, after LF
        {M::kHex, "?? 0A", 1, 'R', kFrame, true}, {M::kHex, "?? ?? ??", 1, 'R', "ab", false},
        {M::kHex, "00 ff", 1, 'R', std::string("a\0\xff", 3), true},
        // A backtracking engine tries about 2^30 ways to split the run of 'a'
        // before it gives up on the near miss; RE2 answers in linear time.
        {M::kRegex, "(a+)+$", 1, 'R', std::string(30, 'a') + "b", false},
        {M::kRegex, "(a+)+$", 1, 'R', std::string(30, 'a') + "ba", true}};
    // clang-format on
    for (const auto& c : cases) {
        std::string error;
        const auto matcher = CRecordMatcher::Create(c.mode, c.pattern, c.style, &error);
        ASSERT_TRUE(matcher) << error;
        EXPECT_EQ(matcher->Matches(CMsgRecord(c.type, c.bytes)), c.matches) << c.pattern;
    }
    // clang-format off
    const std::tuple<MatchMode, const char*, const char*> bad[] = {
        {M::kText, "", "empty"}, {M::kRegex, "a(b", "missing )"}, {M::kHex, "02 3", "position 4"},
        {M::kHex, "02 ?", "two hex digits"}, {M::kHex, "0x02", "'x' is no hex digit at position 2"},
        {M::kHex, "  ", "no byte"}};
    // clang-format on
    for (const auto& [mode, pattern, reason] : bad) {
        std::string error;
        EXPECT_FALSE(CRecordMatcher::Create(mode, pattern, 1, &error));
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
    CRecordStore records;
    for (const char* text : {"x", "hit", "y", "hit", "z"})
        records.emplace_back('R', text);
    const auto m = CRecordMatcher::Create(M::kText, "hit", 1, nullptr);
    const CRecordMatcher::Rows all{records};
    constexpr size_t kNone = CRecordMatcher::kNoRow;
    // Each row: forward or back, the row to start from, going round, the row found.
    const std::tuple<bool, size_t, bool, size_t> finds[] = {
        {true, kNone, true, 1},  {true, 3, true, 1},   {true, 3, false, kNone},
        {false, kNone, true, 3}, {false, 3, false, 1}, {false, 1, false, kNone}};
    for (const auto& [next, from, wrap, found] : finds)
        EXPECT_EQ(next ? m->FindNext(all, from, wrap) : m->FindPrevious(all, from, wrap), found);
    EXPECT_EQ(m->Count(all), 2u);
    // Over an index rows are its positions; a lone match is found from itself going round.
    const std::vector<size_t> index{0, 3, 4};
    EXPECT_EQ(m->FindNext({records, &index}, 1, true), 1u);
    EXPECT_EQ(m->FindPrevious({records, &index}, 2, false), 1u);
    EXPECT_EQ(m->Count({records, &index}), 1u);
}

}  // namespace
}  // namespace qelvor
