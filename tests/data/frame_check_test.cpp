// The frame check for each check kind over frames made with the sending
// side's own check, as they arrive, with one byte changed, and in shapes that
// are no checked frame.
#include "data/frame_check.h"

#include <string>

#include <gtest/gtest.h>

#include "data/check_sum.h"

namespace qelvor {
namespace {

using Verdict = CFrameCheck::Verdict;

struct FrameCase {
    const char* name;
    int kind;
    std::string body;     // what the check covers
    std::string changed;  // the body as it arrives ("" when unchanged)
    std::string tail;     // after the check
    Verdict verdict;
};

class FrameCheckKinds : public testing::TestWithParam<FrameCase> {};

TEST_P(FrameCheckKinds, TellsOkBadAndNoFrame) {
    const FrameCase& c = GetParam();
    const CCheckSum sum;
    const std::string arrived = c.changed.empty() ? c.body : c.changed;
    const std::string frame = arrived + sum.Compute(c.body, c.kind) + c.tail;
    const auto result = CFrameCheck::CheckRecord('R', frame, c.kind);
    EXPECT_EQ(result.verdict, c.verdict);
    if (c.verdict != Verdict::kBad) {
        EXPECT_EQ(CFrameCheck::Text(result), c.verdict == Verdict::kOk ? "ok" : "");
        return;
    }
    // The check wanted is the one of the bytes that arrived.
    std::string want = sum.Compute(arrived, c.kind);
    if (c.kind == kCsBcc || c.kind == kCrc16) {
        static const char* const kHex = "0123456789ABCDEF";
        std::string pairs;
        for (unsigned char b : want)
            pairs += std::string(pairs.empty() ? "" : " ") + kHex[b >> 4] + kHex[b & 15];
        want = pairs;
    }
    EXPECT_EQ(CFrameCheck::Text(result), "bad (want " + want + ")");
    EXPECT_EQ(CFrameCheck::CheckRecord('S', frame, c.kind).verdict, Verdict::kNotFrame);
}

const std::string kStx("\x02"), kEtx("\x03"), kEtb("\x17"), kCrLf("\r\n");
const std::string kAstm = kStx + "1H|\\^&|||abc" + kEtx;
const std::string kModbus("\x11\x03\x00\x6B\x00\x03", 6);

INSTANTIATE_TEST_SUITE_P(
    Table, FrameCheckKinds,
    testing::Values(
        FrameCase{"AstmOk", kCsAstm, kAstm, "", kCrLf, Verdict::kOk},
        FrameCase{"AstmEtbOk", kCsAstm, kStx + "2P|1" + kEtb, "", "", Verdict::kOk},
        FrameCase{"AstmBad", kCsAstm, kAstm, kStx + "1H|\\^&|||abd" + kEtx, kCrLf, Verdict::kBad},
        FrameCase{"AstmNoStx", kCsAstm, "1H|" + kEtx, "", kCrLf, Verdict::kNotFrame},
        FrameCase{"AstmTextAfter", kCsAstm, kAstm, "", "x\r\n", Verdict::kNotFrame},
        FrameCase{"Lx20Ok", kCsLx20, kStx + "[abc]" + kEtx, "", kCrLf, Verdict::kOk},
        FrameCase{"Lx20Bad", kCsLx20, kStx + "[abc]" + kEtx, kStx + "[abC]" + kEtx, "",
                  Verdict::kBad},
        FrameCase{"BccOk", kCsBcc, kStx + "1abc" + kEtx, "", kCrLf, Verdict::kOk},
        FrameCase{"BccBad", kCsBcc, kStx + "1abc" + kEtx, kStx + "1abd" + kEtx, "", Verdict::kBad},
        FrameCase{"BccTwoAfter", kCsBcc, kStx + "1abc" + kEtx, "", "z", Verdict::kNotFrame},
        FrameCase{"CrcOk", kCrc16, kModbus, "", "", Verdict::kOk},
        FrameCase{"CrcBad", kCrc16, kModbus, std::string("\x11\x03\x00\x6C\x00\x03", 6), "",
                  Verdict::kBad},
        FrameCase{"CrcTooShort", kCrc16, "", "", "", Verdict::kNotFrame}),
    [](const testing::TestParamInfo<FrameCase>& p) { return p.param.name; });

TEST(FrameCheck, TwoCharactersThatAreNoHexPairAreNoCheck) {
    EXPECT_EQ(CFrameCheck::Check(kStx + "1abc" + kEtx + kCrLf, kCsAstm).verdict,
              Verdict::kNotFrame);
    EXPECT_EQ(CFrameCheck::Check(kStx + "1abc" + kEtx + "5G", kCsAstm).verdict, Verdict::kNotFrame);
    // The check of this body is "5A": in lower case it is a check, and wrong.
    EXPECT_EQ(CFrameCheck::Text(CFrameCheck::Check(kStx + "1abc" + kEtx + "5a", kCsAstm)),
              "bad (want 5A)");
    EXPECT_EQ(CFrameCheck::Text(CFrameCheck::Check(kStx + "1abc" + kEtx + "00", 7)),
              "bad (want 5A)");
}

}  // namespace
}  // namespace qelvor
