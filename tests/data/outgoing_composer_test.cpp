#include "data/outgoing_composer.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "config/com_setting.h"
#include "data/check_sum.h"

using namespace std::string_literals;

namespace qelvor {
namespace {

class OutgoingComposer : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "/qelvor_data_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        settings_ = std::make_unique<CComSetting>(dir_ + "/t.ini");
        CComSetting& s = *settings_;
        s.HexSendData = 0;
        s.Preamble.clear();
        s.Postamble.clear();
        s.SenDataEncodeCov = 0;
        s.Replace_Old = 0;
        s.Replace_New = 0;
        s.UsedCheckSum = 1;
        s.CheckSum = kCsAstm;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Compose(const std::string& line) { return ComposeOutgoing(line, *settings_, fn_); }

    std::string dir_;
    std::unique_ptr<CComSetting> settings_;
    int8_t fn_ = 0;
};

TEST_F(OutgoingComposer, AstmFrameGetsItsNumberAndChecksum) {
    settings_->Preamble = "<STX>";
    settings_->Postamble = "<CheckSum><CR><LF>";
    EXPECT_EQ(Compose("<FN8>abc<ETX>"),
              "\x02"
              "1abc\x03"
              "5A\r\n");
    EXPECT_EQ(fn_, 1);
    // The next frame carries '2', and the checksum covers the new digit.
    EXPECT_EQ(Compose("<FN8>abc<ETX>"),
              "\x02"
              "2abc\x03"
              "5B\r\n");
    EXPECT_EQ(fn_, 2);
}

TEST_F(OutgoingComposer, FrameNumbersRunOneToSevenThenZero) {
    std::string digits;
    for (int frame = 0; frame < 9; ++frame)
        digits += Compose("<FN8>");
    EXPECT_EQ(digits, "123456701");
    EXPECT_EQ(fn_, 1);
}

TEST_F(OutgoingComposer, OnlyTheFirstOfEachFieldIsReplaced) {
    EXPECT_EQ(Compose("<FN8><FN8>"), "1<FN8>");
    EXPECT_EQ(Compose("ab<CheckSum>cd<CheckSum>"), "abC3cd<CheckSum>");
    EXPECT_EQ(fn_, 1);
}

TEST_F(OutgoingComposer, FrameCounterOutOfRangeStillGivesADigit) {
    fn_ = -3;
    EXPECT_EQ(Compose("<FN8>"), "6");
    fn_ = 127;
    EXPECT_EQ(Compose("<FN8>"), "0");
}

TEST_F(OutgoingComposer, FieldsStayTextWhenChecksumIsOff) {
    settings_->UsedCheckSum = 0;
    EXPECT_EQ(Compose("<FN8>x<CheckSum>"), "<FN8>x<CheckSum>");
    EXPECT_EQ(fn_, 0);
}

TEST_F(OutgoingComposer, ApplyFrameFieldsTellsWhatItDid) {
    std::string bytes = "<FN8>a";
    EXPECT_EQ(ApplyFrameFields(bytes, *settings_, fn_), 2);
    EXPECT_EQ(bytes, "1a");
    bytes = "a<CheckSum>b";
    EXPECT_EQ(ApplyFrameFields(bytes, *settings_, fn_), 1);
    EXPECT_EQ(bytes, "a61b");
    EXPECT_EQ(fn_, 1);
    settings_->UsedCheckSum = 0;
    bytes = "<FN8><CheckSum>";
    EXPECT_EQ(ApplyFrameFields(bytes, *settings_, fn_), 0);
    EXPECT_EQ(bytes, "<FN8><CheckSum>");
    EXPECT_EQ(fn_, 1);
}

TEST_F(OutgoingComposer, ChecksumKindDecidesTheInsertedBytes) {
    settings_->CheckSum = kCrc16;
    EXPECT_EQ(Compose("123456789<CheckSum>!"), "123456789\x37\x4B!");
    settings_->CheckSum = kCsBcc;
    EXPECT_EQ(Compose("<STX>\x01\x02<ETX><CheckSum>"), "\x02\x01\x02\x03\0"s);
    settings_->CheckSum = kCsLx20;
    EXPECT_EQ(Compose("[abc]<CheckSum>"), "[abc]22");
}

TEST_F(OutgoingComposer, TextKeepsRealLineBreaksAndEmptyGivesNothing) {
    EXPECT_EQ(Compose("a\r\nb"), "a\r\nb");
    EXPECT_EQ(Compose(""), "");
    settings_->Preamble = "<ENQ>";
    EXPECT_EQ(Compose(""), "\x05");
}

TEST_F(OutgoingComposer, ReplacementComesBeforeTheChecksum) {
    settings_->Replace_Old = 'a';
    settings_->Replace_New = 'b';
    EXPECT_EQ(Compose("aaa"), "baa");
    // The check covers the replaced byte: 'b' + ETX = 0x65.
    EXPECT_EQ(Compose("<STX>a<ETX><CheckSum>"),
              "\x02"
              "b\x03"
              "65");
}

TEST_F(OutgoingComposer, ReplaceCharTouchesTheFirstMatchOnly) {
    std::string bytes = "xyz";
    EXPECT_EQ(ReplaceChar(bytes, *settings_), 0);
    settings_->Replace_Old = 'q';
    settings_->Replace_New = 'r';
    EXPECT_EQ(ReplaceChar(bytes, *settings_), 0);
    EXPECT_EQ(bytes, "xyz");
    settings_->Replace_Old = 0;
    settings_->Replace_New = '_';
    bytes = "a\0b\0"s;
    EXPECT_EQ(ReplaceChar(bytes, *settings_), 1);
    EXPECT_EQ(bytes, "a_b\0"s);
}

TEST_F(OutgoingComposer, WideEncodingHidesTheFields) {
    settings_->SenDataEncodeCov = 2;
    const std::string bytes = Compose("<STX>A<FN8><CheckSum>");
    std::string expected = "\x02\0A\0"s;
    for (char c : std::string("<FN8><CheckSum>"))
        expected += std::string(1, c) + '\0';
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(fn_, 0);
    std::string converted = "ab";
    EXPECT_EQ(ConvertSendEncoding(converted, *settings_), 4);
    EXPECT_EQ(converted, "a\0b\0"s);
}

TEST_F(OutgoingComposer, Utf8EncodingConvertsFromTheLocaleCharacterSet) {
    settings_->SenDataEncodeCov = 1;
    std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(Compose("abc<CR>"), "abc\r");
    // A byte the ASCII character set cannot read leaves nothing to send.
    EXPECT_EQ(Compose("caf\xE9"), "");
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(Compose("caf\xC3\xA9<CheckSum>"),
              "caf\xC3\xA9"
              "96");
    std::setlocale(LC_ALL, previous.c_str());
    settings_->SenDataEncodeCov = 7;
    std::string unchanged = "x\xE9";
    EXPECT_EQ(ConvertSendEncoding(unchanged, *settings_), 2);
    EXPECT_EQ(unchanged, "x\xE9");
}

class OutgoingComposerHex : public OutgoingComposer {
  protected:
    void SetUp() override {
        OutgoingComposer::SetUp();
        settings_->HexSendData = 1;
    }
};

TEST_F(OutgoingComposerHex, PlaceholderEndsTheLine) {
    settings_->CheckSum = kCrc16;
    EXPECT_EQ(Compose("01 02 <CheckSum> 99"), "\x01\x02\x81\xE1");
    settings_->UsedCheckSum = 0;
    EXPECT_EQ(Compose("01 02 <CheckSum> 99"), "\x01\x02<CheckSum>");
}

TEST_F(OutgoingComposerHex, PreambleAndOtherPostamblesAreIgnored) {
    settings_->Preamble = "<STX>";
    settings_->Postamble = "<CheckSum><CR>";
    EXPECT_EQ(Compose("41 42"), "AB");
    settings_->Postamble = "<checksum>";
    EXPECT_EQ(Compose("41 42"), "AB");
    settings_->Postamble = "<CheckSum>";
    EXPECT_EQ(Compose("41 42"), "AB83");
    settings_->UsedCheckSum = 0;
    EXPECT_EQ(Compose("41 42"), "AB");
}

TEST_F(OutgoingComposerHex, InvalidTextSendsNothingNotEvenAChecksum) {
    EXPECT_EQ(Compose("41 4G"), "");
    EXPECT_EQ(Compose("<CheckSum>"), "");
    EXPECT_EQ(Compose("4G <CheckSum>"), "");
    settings_->Postamble = "<CheckSum>";
    EXPECT_EQ(Compose("zz"), "");
    // Text with no digits at all is valid: the check of nothing is sent.
    EXPECT_EQ(Compose(" "), "00");
}

TEST_F(OutgoingComposerHex, NoReplacementOrEncodingOfHexBytes) {
    settings_->Replace_Old = 0x01;
    settings_->Replace_New = 0x02;
    settings_->SenDataEncodeCov = 2;
    EXPECT_EQ(Compose("01 01"), "\x01\x01");
    EXPECT_EQ(Compose("3C 46 4E 38 3E"), "<FN8>");
    EXPECT_EQ(fn_, 0);
}

}  // namespace
}  // namespace qelvor
