#include "traffic/data_detail.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "traffic_test_support.h"

namespace qelvor {
namespace {

CDataDetail DetailOf(std::string data) {
    SystemTime t;
    t.wYear = 2024;
    t.wMonth = 1;
    t.wDay = 2;
    t.wHour = 3;
    t.wMinute = 4;
    t.wSecond = 5;
    t.wMilliseconds = 6;
    return CDataDetail(CMsgRecord('R', std::move(data), t));
}

TEST(DataDetail, ThreeViewsOfBytesWithAZero) {
    const CDataDetail detail =
        DetailOf(std::string("\x02"
                             "A\0B\x03",
                             5));
    EXPECT_EQ(detail.SizeText(), "5");
    EXPECT_EQ(detail.TypeText(), "R");
    EXPECT_EQ(detail.ViewText(CDataDetail::kRaw, false),
              "\x02"
              "A");
    EXPECT_EQ(detail.ViewText(CDataDetail::kFormatted, false), "<STX>A<NUL>B<ETX>");
    // Any view number other than raw and hexadecimal shows the notation.
    EXPECT_EQ(detail.ViewText(7, false), "<STX>A<NUL>B<ETX>");
    const std::string hex = detail.ViewText(CDataDetail::kHex, false);
    EXPECT_EQ(hex.substr(0, 15), "02 41 00 42 03 ");
    EXPECT_NE(hex.find(".A.B."), std::string::npos);
    EXPECT_EQ(hex.find(".A.B."), 48u);
}

TEST(DataDetail, HexViewIgnoresTheDecodeBox) {
    const CDataDetail detail = DetailOf("caf\xC3\xA9");
    EXPECT_EQ(detail.ViewText(CDataDetail::kHex, true), detail.ViewText(CDataDetail::kHex, false));
    EXPECT_EQ(detail.ViewText(CDataDetail::kRaw, false), "caf\xC3\xA9");
}

TEST(DataDetail, DecodeBoxOnlyForBytesAbove0x8F) {
    std::string low;
    for (int b = 0x80; b <= 0x8F; ++b)
        low.push_back(static_cast<char>(b));
    EXPECT_FALSE(DetailOf(low).ShowsDecodeBox());
    EXPECT_TRUE(DetailOf(low + "\x90").ShowsDecodeBox());
    EXPECT_TRUE(DetailOf("\xFF").ShowsDecodeBox());
    EXPECT_FALSE(DetailOf("plain").ShowsDecodeBox());
}

TEST(DataDetail, TitleCarriesTheStampToTheMillisecond) {
    SetStringLanguage(UiLanguage::English);
    EXPECT_EQ(DetailOf("x").Title(), "Message Detail       2024-01-02 03:04:05.006");
}

TEST(DataDetail, FreshDetailIsAnEmptyUntypedRecordOfNow) {
    const CDataDetail detail;
    EXPECT_EQ(detail.TypeText(), "");
    EXPECT_EQ(detail.SizeText(), "0");
    EXPECT_GE(detail.Record().Time().wYear, 2020);
    EXPECT_FALSE(detail.SaveShown());
    EXPECT_EQ(detail.ViewText(CDataDetail::kRaw, false), "");
}

class DetailSettingsTest : public testing::Test {
  protected:
    void SetUp() override {
        settings_ = std::make_unique<CComSetting>(dir_.Path() + "/detail.ini");
    }
    int StoredMask() const {
        return settings_->ReadProfileInt(settings_->GetCurrentSet(), "ShowDataMask", -1);
    }
    test::TempDir dir_;
    std::unique_ptr<CComSetting> settings_;
};

TEST_F(DetailSettingsTest, OutOfRangeViewBecomesRawAndIsStored) {
    for (const int bad : {7, -1, 3}) {
        settings_->ShowDataMask = bad;
        EXPECT_EQ(CDataDetail().LoadView(*settings_), CDataDetail::kRaw) << bad;
        EXPECT_EQ(settings_->ShowDataMask, 0);
        EXPECT_EQ(StoredMask(), 0);
    }
}

TEST_F(DetailSettingsTest, ValidViewIsKeptAndTheChoiceIsStoredOnClose) {
    settings_->ShowDataMask = 2;
    EXPECT_EQ(CDataDetail().LoadView(*settings_), CDataDetail::kHex);
    CDataDetail::StoreView(*settings_, CDataDetail::kFormatted);
    EXPECT_EQ(settings_->ShowDataMask, 1);
    EXPECT_EQ(StoredMask(), 1);
}

}  // namespace
}  // namespace qelvor
