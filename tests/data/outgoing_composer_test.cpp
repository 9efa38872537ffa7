#include "data/outgoing_composer.h"

#include <clocale>
#include <string>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "data/check_sum.h"

namespace qelvor {
namespace {

using namespace std::string_literals;

const std::string kStx = "\x02", kEtx = "\x03";

// The sending settings of one composition; the rest of the record stays at
// its defaults.
struct Sending {
    int hex = 0;
    std::string pre = "", post = "";
    int used = 1, kind = kCsAstm, encode = 0;
    uint8_t replaceOld = 0, replaceNew = 0;
};

// In a UTF-8 locale, as the program runs after setting the locale from the
// environment.
class OutgoingComposer : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr); }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }  // where the program started
    void Use(const Sending& s) {
        CComSetting& c = settings_;
        std::tie(c.HexSendData, c.Preamble, c.Postamble, c.UsedCheckSum, c.CheckSum,
                 c.SenDataEncodeCov, c.Replace_Old, c.Replace_New) =
            std::tie(s.hex, s.pre, s.post, s.used, s.kind, s.encode, s.replaceOld, s.replaceNew);
    }
    std::string Compose(const std::string& line) { return ComposeOutgoing(line, settings_, fn_); }

    CComSetting settings_;  // reads no file
    int8_t fn_ = 0;
};

TEST_F(OutgoingComposer, FramesAreNumberedAndLinesBecomeTheseBytes) {
    Use({.pre = "<STX>", .post = "<CheckSum><CR><LF>"});
    EXPECT_EQ(Compose("<FN8>abc<ETX>"), kStx + "1abc" + kEtx + "5A\r\n");
    // The check covers the new digit.
    EXPECT_EQ(Compose("<FN8>abc<ETX>"), kStx + "2abc" + kEtx + "5B\r\n");
    Use({});
    std::string digits;
    for (int frame = 3; frame <= 9; ++frame)
        digits += Compose("<FN8>");
    EXPECT_EQ(digits, "3456701");  // the ninth frame carries '1' again
    // A counter outside 0..7 is brought back to a digit.
    fn_ = -3;
    EXPECT_EQ(Compose("<FN8>"), "6");
    const Sending hex{.hex = 1}, hexPost{.hex = 1, .post = "<CheckSum>"};
    // clang-format off
    const struct { Sending sending; std::string line, bytes; } cases[] = {
        // Only the first of each field is replaced, and only when enabled.
        {{}, "<FN8><FN8>", "1<FN8>"}, {{}, "ab<CheckSum>cd<CheckSum>", "abC3cd<CheckSum>"},
        {{.used = 0}, "<FN8>x<CheckSum>", "<FN8>x<CheckSum>"},
        {{.kind = kCrc16}, "123456789<CheckSum>!", "123456789\x37\x4B!"},
        {{.kind = kCsBcc}, "<STX>\x01\x02<ETX><CheckSum>", "\x02\x01\x02\x03\0"s},
        {{.kind = kCsLx20}, "[abc]<CheckSum>", "[abc]22"}, {{}, "a\r\nb", "a\r\nb"}, {{}, "", ""},
        {{.pre = "<ENQ>"}, "", "\x05"},
        // Replacement: the first match only, before the check ('b' + ETX = 0x65).
        {{.replaceOld = 'a', .replaceNew = 'b'}, "aaa", "baa"},
        {{.replaceOld = 'a', .replaceNew = 'b'}, "<STX>a<ETX><CheckSum>", kStx + "b" + kEtx + "65"},
        {{.replaceNew = '_'}, "a<NUL>b<NUL>", "a_b\0"s},
        // UTF-16 hides the fields; a byte that is no character is replaced, the rest converted.
        {{.encode = 2}, "<STX>A<FN8>", "\x02\0A\0<\0F\0N\0"s + "8\0>\0"s},
        {{.encode = 1}, "\xC3\xA9<STX>", "\xC3\xA9\x02"}, {{.encode = 2}, "\xC3\xA9<STX>", "\xE9\0\x02\0"s},
        {{.encode = 1}, "a\xFF" "b", "a\xEF\xBF\xBD" "b"}, {{.encode = 2}, "a\xFF" "b", "a\0\xFD\xFF" "b\0"s},
        {{.encode = 7}, "x\xE9", "x\xE9"},
        // Hex: a placeholder ends the line; only a Postamble of exactly "<CheckSum>" counts.
        {{.hex = 1, .kind = kCrc16}, "01 02 <CheckSum> 99", "\x01\x02\x81\xE1"},
        {{.hex = 1, .used = 0}, "01 02 <CheckSum> 99", "\x01\x02<CheckSum>"},
        {{.hex = 1, .pre = "<STX>", .post = "<CheckSum><CR>"}, "41 42", "AB"},
        {{.hex = 1, .post = "<checksum>"}, "41 42", "AB"}, {hexPost, "41 42", "AB83"},
        {{.hex = 1, .post = "<CheckSum>", .used = 0}, "41 42", "AB"},
        // Hex: invalid text sends nothing, not even a check; no digits is valid.
        {hex, "41 4G", ""}, {hex, "<CheckSum>", ""}, {hex, "4G <CheckSum>", ""},
        {hexPost, "zz", ""}, {hexPost, " ", "00"},
        // Hex bytes are neither replaced, converted nor searched for fields.
        {{.hex = 1, .encode = 2, .replaceOld = 1, .replaceNew = 2}, "01 01", "\x01\x01"},
        {hex, "3C 46 4E 38 3E", "<FN8>"}};
    // clang-format on
    for (const auto& c : cases) {
        Use(c.sending);
        fn_ = 0;
        EXPECT_EQ(Compose(c.line), c.bytes) << testing::PrintToString(c.line);
    }
}

}  // namespace
}  // namespace qelvor
