#include "data/check_sum.h"

#include <string>
#include <tuple>

#include <gtest/gtest.h>

namespace qelvor {
namespace {

using namespace std::string_literals;

const std::string kStx = "\x02", kEtx = "\x03", kEtb = "\x17";

using KindCase = std::tuple<std::string, int, std::string>;  // in, kind, out

TEST(CheckSum, EachKindCoversItsRangeAndItsTextForm) {
    EXPECT_NE(CCheckSum::Crc16("A\0"s), CCheckSum::Crc16("A"));  // a zero byte counts
    const std::string frame = "xy" + kStx + "1abc" + kEtx + "zz";
    // clang-format off
    const KindCase cases[] = {
        // CRC16 goes out low byte first.
        {"123456789", kCrc16, "\x37\x4B"}, {"", kCrc16, "\xFF\xFF"}, {"abc", kCsAstm, "26"},
        {"abc", kCsLx20, "00"}, {"abc", kCsBcc, "\x60"}, {frame, 7, "5A"},
        // ASTM and BCC: after the STX through the ETX, else the ETB, else the end.
        {frame, kCsAstm, "5A"}, {frame, kCsBcc, "\x52"}, {kStx + "1abc", kCsAstm, "57"},
        {kStx + "a" + kEtb + "b", kCsAstm, "78"}, {kStx + "a" + kEtb + "b" + kEtx, kCsAstm, "DD"},
        {kEtx + kStx + "1abc" + kEtx, kCsAstm, "5A"}, {kStx + "\x01\x02" + kEtx, kCsBcc, "\0"s},
        {kStx, kCsAstm, "00"}, {"", kCsBcc, "\0"s},
        // LX20: '[' (or the first byte) through the next ']'.
        {"x[abc]y", kCsLx20, "22"}, {"[abc", kCsLx20, "00"}, {"a]b", kCsLx20, "42"},
        {"]x[a", kCsLx20, "00"}};
    // clang-format on
    for (const auto& [in, kind, out] : cases)
        EXPECT_EQ(CCheckSum().Compute(in, kind), out) << in << " kind " << kind;
    // The text forms keep the body and append the check.
    // clang-format off
    const KindCase forms[] = {
        {"pre" + kStx + "1abc" + kEtx + "post", kCsAstm, "1abc" + kEtx + "5A"},
        // An open frame is closed with an ETX that the sum covers.
        {kStx + "1abc", kCsAstm, "1abc" + kEtx + "5A"}, {"abc", kCrc16, "abc" + kEtx + "29"},
        {kStx + "ab" + kEtb + "cd", 9, "ab" + kEtb + "DA"}, {"", kCsAstm, kEtx + "03"},
        // Names are text, not frame characters. The end is the first ETX
        // anywhere; one at position 0 or 1 leaves the body open, one before
        // the body is looked for again after the STX.
        {"<STX>", kCsAstm, "<STX>" + kEtx + "7C"},
        {"x" + kEtx + kStx + "ab" + kEtx, kCsAstm, "ab" + kEtx + kEtx + "C9"},
        {"A" + kEtx + "BC", kCsAstm, "A" + kEtx + "BC" + kEtx + "CC"},
        {"xy" + kEtx + kStx + "ab", kCsAstm, "ab" + kEtx + "C6"},
        {"x[abc]y", kCsLx20, "[abc]22"}, {"a[]", kCsLx20, "[]48"}, {"[]", kCsLx20, "[]"},
        {"[abc", kCsLx20, "[abc"}, {"abc]", kCsLx20, "abc]"},
        {kStx + "1abc" + kEtx + "z", kCsBcc, "1abc" + kEtx + "\x52"},
        // Without an STX the BCC body starts at the second character.
        {"abc", kCsBcc, "bc" + kEtx + "\x02"}, {"", kCsBcc, kEtx + "\x03"},
        // A zero check cannot stand in the send box as a raw byte: its name does.
        {kStx + "\x01\x02" + kEtx, kCsBcc, "\x01\x02" + kEtx + "<NUL>"}};
    // clang-format on
    for (const auto& [in, kind, out] : forms)
        EXPECT_EQ(CCheckSum().TextForm(in, kind), out) << in << " kind " << kind;
}

}  // namespace
}  // namespace qelvor
