#include "data/check_sum.h"

#include <algorithm>
#include <clocale>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "data/ctrl_char_notation.h"
#include "data/display_format.h"
#include "data/frame_check.h"
#include "data/outgoing_composer.h"
#include "data/text_encoding.h"

namespace qelvor {
namespace {

using namespace std::string_literals;

const std::string kStx = "\x02", kEtx = "\x03", kEtb = "\x17";

struct KindCase {
    std::string in;
    int kind;
    std::string out;
};

TEST(CheckSum, EachKindCoversItsRangeAndItsTextForm) {
    EXPECT_NE(CCheckSum::Crc16("A\0"s), CCheckSum::Crc16("A"));  // a zero byte counts
    const std::string frame = "xy" + kStx + "1abc" + kEtx + "zz";
    // clang-format off
    const KindCase cases[] = {
        // CRC16 goes out low byte first.
        {"123456789", kCrc16, "\x37\x4B"}, {"", kCrc16, "\xFF\xFF"}, {"abc", kCrc16, "\x49\x57"},
        {"\x01\x02", kCrc16, "\x81\xE1"}, {"abc", kCsAstm, "26"}, {"abc", kCsLx20, "00"},
        {"abc", kCsBcc, "\x60"}, {frame, 7, "5A"},
        // ASTM and BCC: after the STX through the ETX, else the ETB, else the end.
        {frame, kCsAstm, "5A"}, {frame, kCsBcc, "\x52"}, {kStx + "1abc", kCsAstm, "57"},
        {kStx + "a" + kEtb + "b", kCsAstm, "78"}, {kStx + "a" + kEtb + "b" + kEtx, kCsAstm, "DD"},
        {kEtx + kStx + "1abc" + kEtx, kCsAstm, "5A"}, {kStx + "\x01\x02" + kEtx, kCsBcc, "\0"s},
        {kStx, kCsAstm, "00"}, {"", kCsBcc, "\0"s},
        // LX20: '[' (or the first byte) through the next ']'.
        {"x[abc]y", kCsLx20, "22"}, {"[abc", kCsLx20, "00"}, {"a]b", kCsLx20, "42"},
        {"]x[a", kCsLx20, "00"}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(CCheckSum().Compute(c.in, c.kind), c.out) << c.in << " kind " << c.kind;
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
    for (const auto& c : forms)
        EXPECT_EQ(CCheckSum().TextForm(c.in, c.kind), c.out) << c.in << " kind " << c.kind;
}

// The body followed by its check; with a byte of the body changed after.
std::string Sealed(const std::string& body, int kind, size_t changeAt = std::string::npos) {
    std::string frame = body + CCheckSum().Compute(body, kind);
    if (changeAt != std::string::npos) frame[changeAt] = static_cast<char>(frame[changeAt] ^ 0x20);
    return frame;
}

// Frames sealed with the sending side's own check, as they arrive, with one
// byte changed, and in shapes that are no checked frame; a sent one is never checked.
TEST(FrameCheck, TellsOkBadAndNoFrameForEachKind) {
    const std::string kCrLf("\r\n"), kAbc = kStx + "1abc" + kEtx;  // its check: "5A"
    const std::string kAstm = kStx + "1H|\\^&|||abc" + kEtx, kLx20 = kStx + "[abc]" + kEtx;
    const std::string kModbus("\x11\x03\x00\x6B\x00\x03", 6);
    // clang-format off
    const struct { int kind; std::string frame, text; } cases[] = {
        {kCsAstm, Sealed(kAstm, kCsAstm) + kCrLf, "ok"}, {kCsAstm, Sealed(kStx + "2P|1\x17", kCsAstm), "ok"},
        {kCsAstm, Sealed(kAstm, kCsAstm, 10) + kCrLf, "bad (want 52)"},
        {kCsAstm, Sealed("1H|" + kEtx, kCsAstm), ""}, {kCsAstm, Sealed(kAstm, kCsAstm) + "x\r\n", ""},
        {kCsAstm, kAbc + kCrLf, ""}, {kCsAstm, kAbc + "5G", ""}, {kCsAstm, kAbc + "5a", "bad (want 5A)"},
        {7, kAbc + "00", "bad (want 5A)"},  // an unknown kind is ASTM
        {kCsLx20, Sealed(kLx20, kCsLx20) + kCrLf, "ok"}, {kCsLx20, Sealed(kLx20, kCsLx20, 4), "bad (want 42)"},
        {kCsBcc, Sealed(kAbc, kCsBcc) + kCrLf, "ok"}, {kCsBcc, Sealed(kAbc, kCsBcc, 4), "bad (want 72)"},
        {kCsBcc, Sealed(kAbc, kCsBcc) + "z", ""}, {kCrc16, Sealed(kModbus, kCrc16), "ok"},
        {kCrc16, Sealed(kModbus, kCrc16, 3), "bad (want 77 4D)"}, {kCrc16, Sealed("", kCrc16), ""}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.frame));
        EXPECT_EQ(CFrameCheck::Text(CFrameCheck::CheckRecord('R', c.frame, c.kind)), c.text);
        EXPECT_EQ(CFrameCheck::CheckRecord('S', c.frame, c.kind).verdict,
                  CFrameCheck::Verdict::kNotFrame);
    }
}

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
        settings_.HexSendData = s.hex;
        settings_.Preamble = s.pre;
        settings_.Postamble = s.post;
        settings_.UsedCheckSum = s.used;
        settings_.CheckSum = s.kind;
        settings_.SenDataEncodeCov = s.encode;
        settings_.Replace_Old = s.replaceOld;
        settings_.Replace_New = s.replaceNew;
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

struct TextCase {
    std::string text, bytes;
};

// Every name stands for its byte; random bytes, high ones and control bytes in
// every lane of the word-at-a-time scans included, come back unchanged, and
// only control bytes are named.
TEST(CtrlCharNotation, EveryNameMapsToItsByteAndEverythingElseIsCopied) {
    std::string all;
    for (size_t i = 0; i < CtrlCharNames.size(); ++i) {
        EXPECT_EQ(CtrlCharByName(CtrlCharNames[i].name), static_cast<int>(i)) << i;
        all.push_back(static_cast<char>(i));
    }
    EXPECT_EQ(EscapeCtrlChars(all),
              "<NUL><SOH><STX><ETX><EOT><ENQ><ACK><BEL><BS><HT><LF><VT><FF><CR><SO><SI>"
              "<DLE><DC1><DC2><DC3><DC4><NAK><SYN><ETB><CAN><EM><SUB><ESC><FS><GS><RS><UP>");
    // The whole-name lookup wants exact, case-sensitive equality.
    for (const char* notAName : {"<cr>", "<CR> ", "<CR", "<US>", ""})
        EXPECT_EQ(CtrlCharByName(notAName), -1) << notAName;
    EXPECT_EQ(EscapeCtrlChars("\x7F\x80\xFF <CR>"), "\x7F\x80\xFF <CR>");
    // Nothing but control bytes outgrows the first guess of the output size.
    const std::string zeros(4096, '\0');
    EXPECT_EQ(EscapeCtrlChars(zeros).size(), 5 * zeros.size());
    EXPECT_EQ(UnescapeCtrlChars(EscapeCtrlChars(zeros)), zeros);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> anyByte(0, 255);
    for (size_t round = 0; round < 1000; ++round) {
        std::string bytes;
        while (bytes.size() < round % 130) {
            if (const char c = static_cast<char>(anyByte(rng)); c != '<') bytes.push_back(c);
        }
        const std::string text = EscapeCtrlChars(bytes);
        ASSERT_TRUE(std::none_of(text.begin(), text.end(), [](char c) {
            return c >= 0 && c < 0x20;
        })) << text;
        ASSERT_EQ(UnescapeCtrlChars(text), bytes) << text;
    }
    // Unescaping reads names and copies everything else.
    // clang-format off
    const TextCase cases[] = {
        {"<CR><LF>", "\r\n"}, {"<EOT><SOH>", "\x04\x01"}, {"<cr>", "<cr>"}, {"ab<CR", "ab<CR"},
        {"<C", "<C"}, {"<", "<"}, {"<XYZ>", "<XYZ>"}, {"<<CR>", "<\r"}, {"a<CR>", "a\r"},
        {"<CRX", "<CRX"}, {"a\r\nb", "a\r\nb"}, {"\xE4<NUL>\xFF", "\xE4\0\xFF"s},
        {"a\0<LF>"s, "a\0\n"s}, {"<FN8><CheckSum>", "<FN8><CheckSum>"}, {"<ST X>", "<ST X>"},
        {"", ""}, {"<<<ETX>>", "<<\x03>"}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(UnescapeCtrlChars(c.text), c.bytes) << c.text;
    // A '<' in every lane of the word-at-a-time scan, starting a name or not.
    for (size_t at = 0; at < 20; ++at) {
        const std::string x(at, 'x');
        EXPECT_EQ(UnescapeCtrlChars(x + "<ETX>" + x + "<ET" + x), x + "\x03" + x + "<ET" + x);
    }
    uint8_t value = 0;
    int length = 0;
    EXPECT_TRUE(FindCtrlCharName("ab<ETB>", 2, value, length) && value == 0x17 && length == 5);
    for (size_t pos : {1u, 7u, 100u})
        EXPECT_FALSE(FindCtrlCharName("ab<ETB>", pos, value, length)) << pos;
}

TEST(CtrlCharNotation, HexTextGivesAllTheBytesOrNone) {
    // clang-format off
    const TextCase cases[] = {
        {"01 02 0A", "\x01\x02\x0A"}, {"1,2;3", "\x01\x02\x03"}, {"ABC", "\xAB\x0C"},
        {"a b", "\x0A\x0B"}, {"123.", "\x12\x03"}, {"ff\t00\r\n7e", "\xFF\0\x7E"s},
        {" ,;. 41  ", "A"}, {"", ""}, {" \t,;.\r\n", ""},
        {"0123456789abcdefABCDEF", "\x01\x23\x45\x67\x89\xAB\xCD\xEF\xAB\xCD\xEF"},
        // Invalid anywhere, the characters just outside the digit ranges included.
        {"0x12", ""}, {"12 G3", ""}, {"12\0"s, ""}, {"12\xC0", ""}, {"1/", ""}, {"1:", ""},
        {"1@", ""}, {"1`", ""}, {"1g", ""}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(HexTextToBytes(c.text), c.bytes) << c.text;
}

TEST(DisplayFormat, EachStyleShowsTheBytesItsOwnWayAndTheDumpSixteenALine) {
    const std::string info = "Send data,but error!\r\n", shown = "Send data,but error!<CR><LF>";
    // clang-format off
    const struct { char type; std::string bytes; int style; std::string text; } cases[] = {
        {'R', "A\rB", kStyleRaw, "A\rB"}, {'R', "A\rB", kStyleFmt, "A<CR>B"},
        {'S', "A\rB", kStyleHex, "41 0D 42 "}, {'S', "A\rB", 5, "A<CR>B"},
        {'S', "A\rB", -1, "A<CR>B"}, {'R', "a\0b"s, kStyleRaw, "a\0b"s}, {'R', "", kStyleHex, ""},
        {'R', "\0\xFF"s, kStyleHex, "00 FF "},
        // Information texts read the same in every style.
        {'I', info, kStyleRaw, shown}, {'I', info, kStyleHex, shown}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(FormatForDisplay(c.type, c.bytes, c.style), c.text) << c.type << c.style;
    const std::string text = FormatForDisplay('R', std::string(99, 'a') + "bc", kStyleHex);
    EXPECT_EQ(text.substr(294), "61 62 ");  // the first hundred bytes only
    // The hex dump shows sixteen bytes a line. A short last line is filled up so that its
    // characters stay aligned; a whole one is not.
    EXPECT_EQ(FormatHexDump("0123456789ABCDEFG"),
              "30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 0123456789ABCDEF\r\n47" +
                  std::string(46, ' ') + "G\r\n");
    EXPECT_EQ(FormatHexDump(" ~!\x7F\x80\0\t\xFF"s),
              "20 7E 21 7F 80 00 09 FF " + std::string(24, ' ') + ".~!.....\r\n");
    EXPECT_EQ(FormatHexDump(""), "");
}

TEST(TextEncoding, ByteOrderMarksAndWhatDoesNotConvertAndTheAnsiCodePage) {
    // clang-format off
    const struct { std::string head; int length; } cases[] = {
        {"\xEF\xBB\xBF\x41", 3}, {"\xFF\xFE\x41\x00"s, 2}, {"\xFF\xFE\0\0"s, 4},
        {"\xFE\xFF\0\x41"s, 2}, {"\0\0\xFE\xFF"s, 4}, {"\x84\x31\x95\x33", 4},
        {"\xDD\x73\x66\x73", 4}, {"+/v8", 4}, {"+/v/", 4}, {"+/vA", 0}, {"\xF7\x64\x4C\x20", 3},
        {"\xFB\xEE\x28\x20", 3}, {"\x0E\xFE\xFF\x20", 3}, {"ABCD", 0}, {"", 0},
        {"\xEF\xBB\xBF\x41\x42", 3},
        // A shorter input is filled up with zero bytes.
        {"\xEF\xBB\xBF", 3}, {"\xEF\xBB", 0}, {"\xFE\xFF", 2}, {"\xFF\xFE", 4}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(DetectTextEncoding(c.head), c.length) << testing::PrintToString(c.head);
    EXPECT_EQ(DetectTextEncoding(std::string_view()), 0);  // no bytes, not even a buffer
    // A conversion replaces what does not convert and converts the rest.
    const std::string utf8 =
        "a\0\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"s;  // NUL, e acute, euro, emoji
    const std::u16string wide = ToWideText(utf8, CP_UTF8);
    EXPECT_EQ(wide, u"a\0\u00E9\u20AC\U0001F600"s);
    EXPECT_EQ(FromWideText(wide, CP_UTF8), utf8);
    EXPECT_EQ(ToWideText("caf\xE9", 1252), u"caf\u00E9");
    EXPECT_EQ(FromWideText(u"\u20AC", 1252), "\x80");
    // One U+FFFD for each byte that starts no character, one for a sequence cut off at the end.
    EXPECT_EQ(ToWideText("a\xFF"s + "b\xC0\x80" + "c\xE2\x82", CP_UTF8),
              u"a\uFFFDb\uFFFD\uFFFDc\uFFFD");
    EXPECT_EQ(FromWideText(u"ok\xD800!", CP_UTF8), "ok\xEF\xBF\xBD!");  // lone surrogate
    // A target without U+FFFD gets '?', one for each code unit.
    EXPECT_EQ(FromWideText(u"a\u20ACb\U0001F600", 20127), "a?b??");
    std::string why;
    EXPECT_EQ(ToWideText("abc", 12345, &why), u"");
    EXPECT_EQ(why, "cannot convert from CP12345 to UTF-16LE");
    EXPECT_EQ(ConvertCodePage("", CP_ACP, CP_UTF8), "");
    // The ANSI code page follows the locale; the test program starts in the
    // "C" locale and is left in it.
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(ConvertCodePage("\xC3\xA9!", CP_ACP, CP_UTF8), "\xEF\xBF\xBD\xEF\xBF\xBD!");
    EXPECT_EQ(DecodeUtf8ToAnsi("caf\xC3\xA9"), "caf?");
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(ConvertCodePage("caf\xC3\xA9", CP_ACP, CP_UTF8), "caf\xC3\xA9");
    EXPECT_EQ(DecodeUtf8ToAnsi("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(ToWideText("\xC3\xA9", CP_ACP), u"\u00E9");
    std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace qelvor
