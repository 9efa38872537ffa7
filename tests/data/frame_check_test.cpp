// The frame check for each check kind over frames sealed with the sending
// side's own check, as they arrive, with one byte changed, and in shapes that
// are no checked frame.
#include "data/frame_check.h"

#include <gtest/gtest.h>

#include "data/check_sum.h"

namespace qelvor {
namespace {

struct FrameCase {
    const char* name;
    int kind;
    std::string frame;
    std::string text;  // of the column
};

using F = FrameCase;
class FrameCheckKinds : public testing::TestWithParam<FrameCase> {};

TEST_P(FrameCheckKinds, TellsOkBadAndNoFrame) {
    const FrameCase& c = GetParam();
    EXPECT_EQ(CFrameCheck::Text(CFrameCheck::CheckRecord('R', c.frame, c.kind)), c.text);
    EXPECT_EQ(CFrameCheck::CheckRecord('S', c.frame, c.kind).verdict,
              CFrameCheck::Verdict::kNotFrame);
}

// The body followed by its check; with a byte of the body changed after.
std::string Sealed(const std::string& body, int kind, size_t changeAt = std::string::npos) {
    std::string frame = body + CCheckSum().Compute(body, kind);
    if (changeAt != std::string::npos) frame[changeAt] = static_cast<char>(frame[changeAt] ^ 0x20);
    return frame;
}

const std::string kStx("\x02"), kEtx("\x03"), kCrLf("\r\n");
const std::string kAbc = kStx + "1abc" + kEtx;  // its check: "5A"
const std::string kAstm = kStx + "1H|\\^&|||abc" + kEtx, kLx20 = kStx + "[abc]" + kEtx;
const std::string kModbus("\x11\x03\x00\x6B\x00\x03", 6);

INSTANTIATE_TEST_SUITE_P(
    Table, FrameCheckKinds,
    testing::Values(F{"AstmOk", kCsAstm, Sealed(kAstm, kCsAstm) + kCrLf, "ok"},
                    F{"AstmEtbOk", kCsAstm, Sealed(kStx + "2P|1\x17", kCsAstm), "ok"},
                    F{"AstmBad", kCsAstm, Sealed(kAstm, kCsAstm, 10) + kCrLf, "bad (want 52)"},
                    F{"AstmNoStx", kCsAstm, Sealed("1H|" + kEtx, kCsAstm), ""},
                    F{"AstmTextAfter", kCsAstm, Sealed(kAstm, kCsAstm) + "x\r\n", ""},
                    F{"AstmNoCheck", kCsAstm, kAbc + kCrLf, ""},
                    F{"AstmNoHexPair", kCsAstm, kAbc + "5G", ""},
                    F{"AstmLowerCase", kCsAstm, kAbc + "5a", "bad (want 5A)"},
                    F{"UnknownKindIsAstm", 7, kAbc + "00", "bad (want 5A)"},
                    F{"Lx20Ok", kCsLx20, Sealed(kLx20, kCsLx20) + kCrLf, "ok"},
                    F{"Lx20Bad", kCsLx20, Sealed(kLx20, kCsLx20, 4), "bad (want 42)"},
                    F{"BccOk", kCsBcc, Sealed(kAbc, kCsBcc) + kCrLf, "ok"},
                    F{"BccBad", kCsBcc, Sealed(kAbc, kCsBcc, 4), "bad (want 72)"},
                    F{"BccTwoAfter", kCsBcc, Sealed(kAbc, kCsBcc) + "z", ""},
                    F{"CrcOk", kCrc16, Sealed(kModbus, kCrc16), "ok"},
                    F{"CrcBad", kCrc16, Sealed(kModbus, kCrc16, 3), "bad (want 77 4D)"},
                    F{"CrcTooShort", kCrc16, Sealed("", kCrc16), ""}),
    [](const testing::TestParamInfo<FrameCase>& p) { return p.param.name; });

}  // namespace
}  // namespace qelvor
