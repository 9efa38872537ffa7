#include "log/log_formats.h"

#include <gtest/gtest.h>

#include "config/string_table.h"
#include "log/sample_store.h"

namespace qelvor {
namespace {

using namespace testing_support;

class LogFormats : public ::testing::Test {
  protected:
    void SetUp() override { SetStringLanguage(UiLanguage::English); }
    const SystemTime now_ = [] {
        SystemTime t = At(9, 5, 3, 250);
        t.wYear = 2026;
        t.wMonth = 3;
        t.wDay = 7;
        return t;
    }();
};

TEST_F(LogFormats, EachLayoutMatchesByteForByte) {
    const MsgRecords store = SampleStore();
    EXPECT_EQ(RenderLog(store, LogFormat::Fmt, false, now_), SampleFmt());
    EXPECT_EQ(RenderLog(store, LogFormat::Fmt, true, now_), SampleFmtWithTime());
    EXPECT_EQ(RenderLog(store, LogFormat::Raw, false, now_), SampleRaw());
    EXPECT_EQ(RenderLog(store, LogFormat::Hex, false, now_), SampleHex());
    EXPECT_EQ(RenderLog(store, LogFormat::FmtBinary, true, now_), SampleFmtBinary());
    // The date runs straight into the hour, numbers without leading zeros.
    EXPECT_EQ(RenderLog(store, LogFormat::Txt, false, now_),
              "save logfile datetime: 2026-3-79:5:3\r\n" + SampleTxtBody());
}

TEST_F(LogFormats, OnlyReceivedRecordsReachRawAndHex) {
    MsgRecords sentOnly;
    sentOnly.emplace_back('S', "abc", At(1, 2, 3, 4));
    sentOnly.emplace_back('I', "note", At(1, 2, 3, 5));
    EXPECT_EQ(RenderLog(sentOnly, LogFormat::Raw, false, now_), "");
    EXPECT_EQ(RenderLog(sentOnly, LogFormat::Hex, false, now_), "");
    EXPECT_EQ(RenderLog(sentOnly, LogFormat::Fmt, false, now_), "S:abc\r\nI:note\r\n");
}

TEST_F(LogFormats, EmptyStoreStillGivesTheTxtHeaderAndClosingBreak) {
    const MsgRecords empty;
    EXPECT_EQ(RenderLog(empty, LogFormat::Txt, false, now_),
              "save logfile datetime: 2026-3-79:5:3\r\n\r\n");
    EXPECT_EQ(RenderLog(empty, LogFormat::Fmt, false, now_), "");
    EXPECT_EQ(RenderLog(empty, LogFormat::FmtBinary, false, now_), "");
}

TEST_F(LogFormats, TxtHeaderFollowsTheChosenLanguage) {
    SetStringLanguage(UiLanguage::Chinese);
    std::string txt = RenderLog(MsgRecords{}, LogFormat::Txt, false, now_);
    EXPECT_EQ(txt, std::string(LoadStr(21025)) + "2026-3-79:5:3\r\n\r\n");
    EXPECT_NE(txt.rfind("save logfile", 0), 0u);
}

TEST_F(LogFormats, TextModeTurnsEveryLineFeedIntoCrLf) {
    EXPECT_EQ(ToTextMode("a\nb\r\n\n"), "a\r\nb\r\r\n\r\n");
    EXPECT_EQ(ToTextMode(std::string("\0\n", 2)), std::string("\0\r\n", 3));
    EXPECT_EQ(ToTextMode(""), "");
}

}  // namespace
}  // namespace qelvor
