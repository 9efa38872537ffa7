#include "traffic/msg_record.h"

#include <malloc.h>

#include <string>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "support/temp_folder.h"
#include "traffic/data_detail.h"

namespace qelvor {
namespace {

TEST(MsgRecord, PackedTimeTypeAndBytesSurviveAtTheirLimits) {
    const SystemTime times[] = {{2024, 1, 2, 2, 3, 4, 5, 6},
                                {65535, 12, 6, 31, 23, 59, 59, 999},
                                {}};
    const std::string bytes("a\0b\0", 4);
    for (const SystemTime& time : times) {
        for (const char type : {'R', '\0', '\xFF'}) {
            const CMsgRecord record(type, bytes, time);
            EXPECT_EQ(record.Time(), time) << time.wYear;
            EXPECT_EQ(record.Type(), type);
            EXPECT_EQ(record.Data(), bytes);
        }
    }
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kPlainMalloc = false;
#else
constexpr bool kPlainMalloc = true;
#endif

TEST(MsgRecord, StoreCostsAtMost64BytesPerRecordBeyondItsData) {
    if (!kPlainMalloc) GTEST_SKIP() << "a sanitizer's allocator does not report to mallinfo2";
    constexpr size_t kRecords = 100000, kDataSize = 100;
    const size_t before = mallinfo2().uordblks;
    MsgRecords store;
    for (size_t i = 0; i < kRecords; ++i)
        store.emplace_back('R', std::string(kDataSize, 'x'), SystemTime{});
    const size_t used = mallinfo2().uordblks - before;
    EXPECT_LE(used / kRecords, kDataSize + 64) << used / kRecords << " bytes a record";
}

TEST(DataDetail, TitleSizeTypeViewsAndDecodeBox) {
    SetStringLanguage(UiLanguage::English);
    const CDataDetail detail(CMsgRecord('R', std::string("\x02" "A\0B\x03", 5), {2024, 1, 2, 2, 3, 4, 5, 6}));
    EXPECT_EQ(detail.Title(), "Message Detail       2024-01-02 03:04:05.006");
    EXPECT_EQ(detail.SizeText(), "5");
    EXPECT_EQ(detail.TypeText(), "R");
    EXPECT_EQ(detail.ViewText(CDataDetail::kRaw, false), "\x02" "A");  // raw text stops at the zero
    EXPECT_EQ(detail.ViewText(CDataDetail::kFormatted, false), "<STX>A<NUL>B<ETX>");
    EXPECT_EQ(detail.ViewText(7, false), "<STX>A<NUL>B<ETX>");
    const std::string hex = detail.ViewText(CDataDetail::kHex, false);
    EXPECT_EQ(hex.substr(0, 15), "02 41 00 42 03 ");
    EXPECT_EQ(hex.find(".A.B."), 48u);
    EXPECT_EQ(detail.ViewText(CDataDetail::kHex, true), hex);
    EXPECT_EQ(CDataDetail().TypeText(), "");  // a fresh detail is an untyped empty record
    EXPECT_EQ(CDataDetail().SizeText(), "0");
    // The decode box is offered only for a byte above 0x8F.
    EXPECT_FALSE(CDataDetail::HasHighByte("plain\x80\x8F"));
    EXPECT_TRUE(CDataDetail::HasHighByte("caf\xC3\xA9"));
    EXPECT_TRUE(CDataDetail(CMsgRecord('S', "\x90")).ShowsDecodeBox());
}

TEST(DataDetail, ViewChoiceOutOfRangeBecomesRawAndIsStored) {
    testing_support::TempFolder dir;
    CComSetting settings(dir.File("detail.ini"));
    const auto stored = [&] { return settings.ReadProfileInt(settings.GetCurrentSet(), "ShowDataMask", -1); };
    for (const int bad : {7, -1, 3}) {
        settings.ShowDataMask = bad;
        EXPECT_EQ(CDataDetail().LoadView(settings), CDataDetail::kRaw) << bad;
        EXPECT_EQ(settings.ShowDataMask, 0);
        EXPECT_EQ(stored(), 0);
    }
    settings.ShowDataMask = 2;
    EXPECT_EQ(CDataDetail().LoadView(settings), CDataDetail::kHex);
    CDataDetail::StoreView(settings, CDataDetail::kFormatted);
    EXPECT_EQ(settings.ShowDataMask, 1);
    EXPECT_EQ(stored(), 1);
}

}  // namespace
}  // namespace qelvor
