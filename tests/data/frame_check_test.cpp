#include "data/frame_check.h"

#include <string>

#include <gtest/gtest.h>

#include "data/check_sum.h"

namespace qelvor {
namespace {

using namespace std::string_literals;

const std::string kStx = "\x02", kEtx = "\x03";

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
        {kCrc16, Sealed(kModbus, kCrc16), "ok"},
        {kCrc16, Sealed(kModbus, kCrc16, 3), "bad (want 77 4D)"}, {kCrc16, Sealed("", kCrc16), ""}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.frame));
        EXPECT_EQ(CFrameCheck::Text(CFrameCheck::CheckRecord('R', c.frame, c.kind)), c.text);
        EXPECT_EQ(CFrameCheck::CheckRecord('S', c.frame, c.kind).verdict,
                  CFrameCheck::Verdict::kNotFrame);
    }
}

}  // namespace
}  // namespace qelvor
