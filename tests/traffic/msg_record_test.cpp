// The record, its timing and highlight colour, the data list, and the matcher
// and stepped filter that search a store of records.
#include "traffic/msg_record.h"

#include <malloc.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "support/data_list_recorder.h"
#include "traffic/data_detail.h"
#include "traffic/data_list.h"
#include "traffic/highlight_rules.h"
#include "traffic/msg_exchange.h"
#include "traffic/record_filter.h"
#include "traffic/record_matcher.h"

namespace qelvor {
namespace {

// Every field of the packed time at its largest, and types above 0x7F and 0.
TEST(MsgRecord, PackedTimeAndTypeSurviveAtTheirLimits) {
    const SystemTime top{65535, 12, 6, 31, 23, 59, 59, 999};
    for (const char type : {'R', '\0', '\xFF'}) {
        const CMsgRecord record(type, std::string("a\0b", 3), top);
        EXPECT_TRUE(record.Time() == top && record.Type() == type) << int{type};
        EXPECT_EQ(record.Data(), std::string("a\0b", 3));
    }
}

TEST(MsgRecord, StoreCostsAtMost64BytesPerRecordBeyondItsData) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's allocator does not report to mallinfo2";
#endif
    constexpr size_t kRecords = 100000, kDataSize = 100;
    const size_t before = mallinfo2().uordblks;
    MsgRecords store;
    for (size_t i = 0; i < kRecords; ++i)
        store.emplace_back('R', std::string(kDataSize, 'x'), SystemTime{});
    const size_t used = mallinfo2().uordblks - before;
    EXPECT_LE(used / kRecords, kDataSize + 64) << used / kRecords << " bytes a record";
}

using Kind = DataListChange::Kind;

// Each edit, the lines and selection after it and the one change it reports
// (none for an edit that changes nothing).
TEST(DataList, EachEditReportsOneTypedChangeAndSelectionFollowsItsLine) {
    using Lines = std::vector<std::string>;
    CDataList list;
    DataListRecorder recorder(list);
    DataListRecorder second(list);
    list.AddObserver(&second);  // added twice, told once
    const struct {
        const char* what;
        std::function<void()> edit;
        Lines lines;
        int selection;
        std::vector<DataListChange> reported;
    } steps[] = {
        // clang-format off
        {"assign", [&] { list.Assign({"a", "b", "c"}); }, {"a", "b", "c"}, -1, {{Kind::Reset, 0, 3}}},
        {"select", [&] { list.SetCurSel(1); }, {"a", "b", "c"}, 1, {{Kind::Selection, 1}}},
        {"same selection", [&] { list.SetCurSel(1); }, {"a", "b", "c"}, 1, {}},
        {"insert above", [&] { list.Insert(0, "new"); }, {"new", "a", "b", "c"}, 2, {{Kind::Inserted, 0, 1}}},
        {"delete out of range", [&] { list.Delete(7); }, {"new", "a", "b", "c"}, 2, {}},
        {"delete above", [&] { list.Delete(0); }, {"a", "b", "c"}, 1, {{Kind::Removed, 0, 1}}},
        {"insert past end", [&] { list.Insert(99, "end"); }, {"a", "b", "c", "end"}, 1, {{Kind::Inserted, 3, 1}}},
        {"append", [&] { list.Append("z"); }, {"a", "b", "c", "end", "z"}, 1, {{Kind::Inserted, 4, 1}}},
        {"delete selected", [&] { list.Delete(1); }, {"a", "c", "end", "z"}, -1, {{Kind::Removed, 1, 1}}},
        {"select out of range", [&] { list.SetCurSel(9); }, {"a", "c", "end", "z"}, -1, {}},
        {"select last", [&] { list.SetCurSel(3); }, {"a", "c", "end", "z"}, 3, {{Kind::Selection, 3}}},
        {"assign drops selection", [&] { list.Assign({"x"}); }, {"x"}, -1, {{Kind::Reset, 0, 1}}},
        {"clear", [&] { list.Clear(); }, {}, -1, {{Kind::Reset, 0, 0}}},
        // clang-format on
    };
    for (const auto& step : steps) {
        recorder.changes.clear();
        second.changes.clear();
        step.edit();
        EXPECT_EQ(list.Lines(), step.lines) << step.what;
        EXPECT_EQ(list.CurSel(), step.selection) << step.what;
        EXPECT_EQ(recorder.changes, step.reported) << step.what;
        EXPECT_EQ(second.changes, step.reported) << step.what;
    }
    EXPECT_EQ(list.Line(-1) + list.Line(4), "");
    list.RemoveObserver(&second);
    list.Append("after");  // the removed observer hears nothing more
    EXPECT_EQ(recorder.changes.size() - second.changes.size(), 1u);
}

// Highlight rules read from a settings record's keys, as the INI file gives
// them, good and bad, and the colour they give real records.
TEST(HighlightRules, TheFirstMatchingRuleGivesTheColourAndBadKeysAreLeftOut) {
    CComSetting settings;
    const char* const keys[] = {"hex|#FF0000|15",     "regex|#000000|(",  "text|#12345|x",
                                "text|#00FF00|<ACK>", "word|#123456|x",   "text|123456|x",
                                "text|#12345G",       "REGEX|#00ff7F|<|>"};
    for (int n = 1; n <= 8; ++n)
        settings.HighlightKey(n) = keys[n - 1];
    CHighlightRules rules;
    rules.Load(settings);
    ASSERT_EQ(rules.Rules().size(), 3u);
    ASSERT_EQ(rules.Problems().size(), 5u);
    EXPECT_EQ(rules.Problems()[0].rfind("Highlight2: bad regular expression", 0), 0u);
    for (size_t i = 1; i < 5; ++i)
        EXPECT_NE(rules.Problems()[i].find("highlight rule is"), std::string::npos) << i;
    EXPECT_EQ(rules.ColorOf(CMsgRecord('R', "\x15")), 0xFF0000u);
    EXPECT_EQ(rules.ColorOf(CMsgRecord('S', "\x06")), 0x00FF00u);
    EXPECT_EQ(rules.ColorOf(CMsgRecord('R', "\x02")), 0x00FF7Fu);
    EXPECT_EQ(rules.ColorOf(CMsgRecord('R', "plain")), std::nullopt);
    CHighlightRules::Store({rules.Rules()[2], rules.Rules()[0]}, settings);
    EXPECT_EQ(settings.HighlightKey(1) + settings.HighlightKey(2) + settings.HighlightKey(8),
              "regex|#00FF7F|<|>hex|#FF0000|15");
}

// The "+ms" of a stored record since any record or the last of the same
// type, over the end of a day and of a month (in a leap year); none for a
// first record or pending bytes.
TEST(DataDetail, GapSinceThePreviousRecordInScope) {
    const MsgRecords records = {CMsgRecord('S', "a", {2024, 2, 3, 28, 23, 59, 59, 998}),
                                CMsgRecord('R', "b", {2024, 2, 4, 29, 0, 0, 0, 3}),
                                CMsgRecord('R', "c", {2024, 2, 4, 29, 0, 0, 0, 8}),
                                CMsgRecord('S', "d", {2024, 3, 5, 1, 0, 0, 0, 20})};
    using G = GapScope;
    const std::tuple<size_t, GapScope, std::string> cases[] = {
        {0, G::kAnyRecord, ""},         {1, G::kAnyRecord, "5"}, {2, G::kAnyRecord, "5"},
        {3, G::kAnyRecord, "86400012"}, {1, G::kSameType, ""},   {3, G::kSameType, "86400022"}};
    for (const auto& [index, scope, gap] : cases) {
        const CDataDetail detail(records, index, scope);
        EXPECT_EQ(detail.GapText(), gap) << index;
        EXPECT_EQ(detail.HasGap(), !gap.empty()) << index;
    }
    EXPECT_FALSE(CDataDetail(CMsgRecord('R', "pending")).HasGap());
}

// The matcher over real records in each display style, its refusals of bad
// patterns, and find next / previous / count over a store and over an index.
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
