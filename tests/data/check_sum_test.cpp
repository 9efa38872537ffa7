#include "data/check_sum.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace qelvor {
namespace {

const std::string kStx = "\x02";
const std::string kEtx = "\x03";
const std::string kEtb = "\x17";

TEST(CheckSum, Crc16IsModbusSentLowByteFirst) {
    EXPECT_EQ(CCheckSum::Crc16("123456789"), 0x4B37);
    EXPECT_EQ(CCheckSum().Compute("123456789", kCrc16), "\x37\x4B");
    EXPECT_EQ(CCheckSum().Compute("", kCrc16), "\xFF\xFF");
    EXPECT_EQ(CCheckSum().Compute("\x01\x02", kCrc16), "\x81\xE1");
    // The CRC covers every byte, frame characters and zero bytes included.
    EXPECT_NE(CCheckSum::Crc16("\x02"
                               "ABC"),
              CCheckSum::Crc16("ABC"));
    EXPECT_NE(CCheckSum::Crc16("A\0"s), CCheckSum::Crc16("A"));
}

TEST(CheckSum, EachKindOverPlainBytes) {
    const CCheckSum check;
    EXPECT_EQ(check.Compute("abc", kCsAstm), "26");
    EXPECT_EQ(check.Compute("abc", kCsLx20), "00");
    EXPECT_EQ(check.Compute("abc", kCsBcc), "\x60");
    EXPECT_EQ(check.Compute("abc", kCrc16), "\x49\x57");
    EXPECT_EQ(check.Compute("[abc]", kCsLx20), "22");
}

TEST(CheckSum, AstmAndBccCoverTheFrameAfterStxThroughEtx) {
    const CCheckSum check;
    const std::string frame = "xy" + kStx + "1abc" + kEtx + "zz";
    EXPECT_EQ(check.Compute(frame, kCsAstm), "5A");
    EXPECT_EQ(check.Compute(frame, kCsBcc), "\x52");
    // Without an end the range runs to the last byte.
    EXPECT_EQ(check.Compute(kStx + "1abc", kCsAstm), "57");
    // ETB ends the range only when no ETX follows the start.
    EXPECT_EQ(check.Compute(kStx + "a" + kEtb + "b", kCsAstm), "78");
    EXPECT_EQ(check.Compute(kStx + "a" + kEtb + "b" + kEtx, kCsAstm), "DD");
    // An ETX before the STX is not the end of the frame.
    EXPECT_EQ(check.Compute(kEtx + kStx + "1abc" + kEtx, kCsAstm), "5A");
    // Other kind numbers compute as ASTM.
    EXPECT_EQ(check.Compute(frame, 7), "5A");
    EXPECT_EQ(check.Compute(frame, -1), "5A");
}

TEST(CheckSum, EmptyRangesStillGiveAResult) {
    const CCheckSum check;
    EXPECT_EQ(check.Compute(kStx, kCsAstm), "00");
    EXPECT_EQ(check.Compute("", kCsAstm), "00");
    EXPECT_EQ(check.Compute(kStx, kCsBcc), "\0"s);
    EXPECT_EQ(check.Compute("", kCsBcc), "\0"s);
    EXPECT_EQ(check.Compute("", kCsLx20), "00");
}

TEST(CheckSum, BccIsARawByteOfAnyValue) {
    const CCheckSum check;
    const std::string zero = check.Compute(kStx + "\x01\x02" + kEtx, kCsBcc);
    EXPECT_EQ(zero, "\0"s);
    EXPECT_EQ(check.Compute(kStx + "A" + kEtx, kCsBcc), "\x42");
}

TEST(CheckSum, Lx20CoversTheBrackets) {
    const CCheckSum check;
    EXPECT_EQ(check.Compute("x[abc]y", kCsLx20), "22");
    EXPECT_EQ(check.Compute("[abc", kCsLx20), "00");
    // No '[': from the first byte through the ']': 0x61 + 0x5D = 0xBE.
    EXPECT_EQ(check.Compute("a]b", kCsLx20), "42");
    // A ']' before the '[' does not close it.
    EXPECT_EQ(check.Compute("]x[a", kCsLx20), "00");
}

TEST(CheckSum, AstmTextFormKeepsTheBodyAndAppendsItsSum) {
    const CCheckSum check;
    EXPECT_EQ(check.AstmTextForm("pre" + kStx + "1abc" + kEtx + "post"), "1abc" + kEtx + "5A");
    // An open frame is closed with an ETX that the sum covers.
    EXPECT_EQ(check.AstmTextForm(kStx + "1abc"), "1abc" + kEtx + "5A");
    EXPECT_EQ(check.AstmTextForm("abc"), "abc" + kEtx + "29");
    EXPECT_EQ(check.AstmTextForm(kStx + "ab" + kEtb + "cd"), "ab" + kEtb + "DA");
    // Bracketed names are text, not frame characters.
    EXPECT_EQ(check.AstmTextForm("<STX>"), "<STX>" + kEtx + "7C");
    EXPECT_EQ(check.AstmTextForm(""), kEtx + "03");
}

TEST(CheckSum, AstmTextFormLooksForTheEndAfterTheStart) {
    const CCheckSum check;
    // An ETX before the STX would leave no body at all.
    EXPECT_EQ(check.AstmTextForm("x" + kEtx + kStx + "ab" + kEtx), "ab" + kEtx + "C6");
    EXPECT_EQ(check.AstmTextForm("x" + kEtx + kStx + "ab"), "ab" + kEtx + "C6");
    // A frame closed early keeps its single ETX.
    EXPECT_EQ(check.AstmTextForm("a" + kEtx), "a" + kEtx + "64");
    EXPECT_EQ(check.AstmTextForm(kStx + kEtx), kEtx + "03");
}

TEST(CheckSum, Lx20TextFormKeepsTheBracketsAndAppendsTheComplement) {
    const CCheckSum check;
    EXPECT_EQ(check.Lx20TextForm("x[abc]y"), "[abc]22");
    EXPECT_EQ(check.Lx20TextForm("a[]"), "[]48");
    for (const std::string unchanged : {"", "abc", "[abc", "abc]", "[]", "]["}) {
        EXPECT_EQ(check.Lx20TextForm(unchanged), unchanged);
    }
}

TEST(CheckSum, BccTextFormAppendsTheExclusiveOr) {
    const CCheckSum check;
    EXPECT_EQ(check.BccTextForm(kStx + "1abc" + kEtx + "z"), "1abc" + kEtx + "\x52");
    // Without an STX the body starts at the first character, none is lost.
    EXPECT_EQ(check.BccTextForm("abc"), "abc" + kEtx + "c");
    // A zero check cannot stand in the send box as a raw byte: its name does.
    EXPECT_EQ(check.BccTextForm(kStx + "\x01\x02" + kEtx), "\x01\x02" + kEtx + "<NUL>");
}

TEST(CheckSum, TextFormFollowsTheKind) {
    const CCheckSum check;
    const std::string text = kStx + "[a]" + kEtx;
    EXPECT_EQ(check.TextForm(text, kCsAstm), check.AstmTextForm(text));
    EXPECT_EQ(check.TextForm(text, kCsLx20), "[a]E7");
    EXPECT_EQ(check.TextForm(text, kCsBcc), check.BccTextForm(text));
    EXPECT_EQ(check.TextForm(text, kCrc16), check.AstmTextForm(text));
    EXPECT_EQ(check.TextForm(text, 9), check.AstmTextForm(text));
    EXPECT_NE(check.AstmTextForm(text), check.BccTextForm(text));
}

TEST(CheckSum, ButtonTextsFollowTheKind) {
    EXPECT_EQ(CheckSumCaptionId(kCsLx20), 21039);
    EXPECT_EQ(CheckSumToolTipId(kCsLx20), 21040);
    EXPECT_EQ(CheckSumCaptionId(kCsBcc), 21041);
    EXPECT_EQ(CheckSumToolTipId(kCsBcc), 20);
    for (int kind : {0, 3, 7}) {
        EXPECT_EQ(CheckSumCaptionId(kind), 21042);
        EXPECT_EQ(CheckSumToolTipId(kind), 21043);
    }
}

}  // namespace
}  // namespace qelvor
