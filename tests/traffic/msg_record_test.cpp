// The record, the data list and the detail view's texts and stored view choice.
#include "traffic/msg_record.h"

#include <malloc.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "data/display_format.h"
#include "support/data_list_recorder.h"
#include "support/temp_folder.h"
#include "traffic/data_detail.h"
#include "traffic/data_list.h"

namespace qelvor {
namespace {

TEST(MsgRecord, PackedTimeTypeAndBytesSurviveAtTheirLimits) {
    const std::string bytes("a\0b\0", 4);
    for (const SystemTime& time : {SystemTime{2024, 1, 2, 2, 3, 4, 5, 6},
                                   SystemTime{65535, 12, 6, 31, 23, 59, 59, 999}, SystemTime{}}) {
        for (const char type : {'R', '\0', '\xFF'}) {
            const CMsgRecord record(type, bytes, time);
            EXPECT_TRUE(record.Time() == time && record.Type() == type && record.Data() == bytes)
                << time.wYear << " " << int{type};
        }
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
    recorder.changes.clear();
    second.changes.clear();
    list.Append("after");
    EXPECT_TRUE(second.changes.empty());
    EXPECT_EQ(recorder.changes.size(), 1u);
}

TEST(DataDetail, TitleSizeTypeViewsAndDecodeBox) {
    SetStringLanguage(UiLanguage::English);
    const std::string frame = "\x02" + std::string("A\0B\x03", 4);
    const CDataDetail detail(CMsgRecord('R', frame, {2024, 1, 2, 2, 3, 4, 5, 6}));
    EXPECT_EQ(detail.Title() + detail.SizeText() + detail.TypeText(),
              "Message Detail       2024-01-02 03:04:05.0065R");
    EXPECT_EQ(CDataDetail().TypeText(), "");  // a fresh detail is untyped
    EXPECT_EQ(detail.ViewText(CDataDetail::kRaw, false), frame.substr(0, 2));  // up to the zero
    EXPECT_EQ(detail.ViewText(CDataDetail::kFormatted, false), "<STX>A<NUL>B<ETX>");
    EXPECT_EQ(detail.ViewText(7, false), "<STX>A<NUL>B<ETX>");
    EXPECT_EQ(detail.ViewText(CDataDetail::kHex, true), FormatHexDump(frame));
    // The decode box is offered only for a byte above 0x8F.
    EXPECT_FALSE(CDataDetail(CMsgRecord('S', "plain\x80\x8F")).ShowsDecodeBox());
    EXPECT_TRUE(CDataDetail(CMsgRecord('S', "\x90")).ShowsDecodeBox());
}

// An out-of-range choice reads as raw and is stored so; a stored choice is read back.
TEST(DataDetail, ViewChoiceOutOfRangeBecomesRawAndIsStored) {
    testing_support::TempFolder dir;
    CComSetting settings = CComSetting::Loaded(dir.File("detail.ini"));
    for (const int bad : {7, -1, 3, 2}) {
        settings.ShowDataMask = bad;
        const int expected = bad == 2 ? CDataDetail::kHex : CDataDetail::kRaw;
        EXPECT_EQ(CDataDetail().LoadView(settings), expected) << bad;
        if (bad == 2) CDataDetail::StoreView(settings, CDataDetail::kFormatted);
        EXPECT_EQ(CComSetting::Loaded(dir.File("detail.ini")).ShowDataMask, bad == 2 ? 1 : 0)
            << bad;
    }
    EXPECT_EQ(settings.ShowDataMask, CDataDetail::kFormatted);
}

// The "+ms" of a stored record, across the end of a second, since any record
// or the last of the same type; none for a first record or pending bytes.
TEST(DataDetail, GapSinceThePreviousRecordInScope) {
    const MsgRecords records = {
        CMsgRecord('S', "a", {2024, 1, 2, 2, 3, 4, 5, 998}),
        CMsgRecord('R', "b", {2024, 1, 2, 2, 3, 4, 6, 3}),
        CMsgRecord('R', "c", {2024, 1, 2, 2, 3, 4, 6, 8}),
        CMsgRecord('S', "d", {2024, 1, 2, 2, 3, 4, 6, 20}),
    };
    const struct {
        size_t index;
        GapScope scope;
        std::string gap;
    } cases[] = {
        {0, GapScope::kAnyRecord, ""},  {1, GapScope::kAnyRecord, "5"},
        {2, GapScope::kAnyRecord, "5"}, {3, GapScope::kAnyRecord, "12"},
        {1, GapScope::kSameType, ""},   {3, GapScope::kSameType, "22"},
    };
    for (const auto& c : cases) {
        const CDataDetail detail(records, c.index, c.scope);
        EXPECT_EQ(detail.Record().Data(), records[c.index].Data());
        EXPECT_EQ(detail.GapText(), c.gap) << c.index;
        EXPECT_EQ(detail.HasGap(), !c.gap.empty()) << c.index;
    }
    EXPECT_FALSE(CDataDetail(CMsgRecord('R', "pending")).HasGap());
}

}  // namespace
}  // namespace qelvor
