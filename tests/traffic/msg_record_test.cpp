// The record, the data list and the detail view's texts and stored view choice.
#include "traffic/msg_record.h"

#include <malloc.h>

#include <string>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "data/display_format.h"
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

class CountingObserver : public IDataListObserver {
  public:
    void OnDataListChanged() override { ++changes; }
    void OnDataListSelectionChanged(int index) override { selections.push_back(index); }
    int changes = 0;
    std::vector<int> selections;
};

TEST(DataList, SelectionFollowsItsLineAndOutOfRangeIsHarmless) {
    CDataList list;
    CountingObserver observer;
    list.SetObserver(&observer);
    list.Assign({"a", "b", "c"});
    list.SetCurSel(1);
    list.Insert(0, "new");
    list.Delete(7);
    EXPECT_EQ(list.Line(list.CurSel()), "b");
    list.Delete(0);
    list.Insert(99, "end");
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"a", "b", "c", "end"}));
    EXPECT_EQ(list.Line(list.CurSel()), "b");
    EXPECT_EQ(list.Line(-1) + list.Line(4), "");
    list.Delete(1);  // deleting the selected line, or loading, drops the selection
    EXPECT_EQ(list.CurSel(), -1);
    EXPECT_EQ(observer.changes, 5);
    EXPECT_EQ(observer.selections, std::vector<int>{1});
    list.SetCurSel(0);
    list.Assign({"x"});
    EXPECT_EQ(list.CurSel(), -1);
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

}  // namespace
}  // namespace qelvor
