#include "data/frame_check.h"

#include "data/check_sum.h"
#include "data/ctrl_char_notation.h"

namespace qelvor {

namespace {

constexpr char kStx = 0x02;
constexpr std::string_view kFrameEnds("\x03\x17", 2);
constexpr std::string_view kLineEnd("\r\n");
// A CRC frame holds at least one byte before its two check bytes.
constexpr size_t kMinCrcFrame = 3;

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The check characters after the frame end, without a closing CR LF; the
// whole rest when it does not have the size of a check.
std::string_view CheckPart(std::string_view rest, size_t checkSize) {
    if (rest.size() == checkSize + kLineEnd.size() && rest.substr(checkSize) == kLineEnd)
        return rest.substr(0, checkSize);
    return rest;
}

}  // namespace

CFrameCheck::Result CFrameCheck::Compare(std::string_view carried, const std::string& wanted,
                                         bool asText) {
    if (carried == wanted) return {Verdict::kOk, {}};
    return {Verdict::kBad, asText ? wanted : BytesToHexPairs(wanted)};
}

CFrameCheck::Result CFrameCheck::CheckFramed(std::string_view bytes, int kind) {
    if (bytes.empty() || bytes.front() != kStx) return {};
    const size_t end = bytes.find_first_of(kFrameEnds, 1);
    if (end == std::string_view::npos) return {};
    const bool asText = kind != kCsBcc;
    const size_t checkSize = asText ? 2 : 1;
    const std::string_view carried = CheckPart(bytes.substr(end + 1), checkSize);
    if (carried.size() != checkSize) return {};
    // Two characters that are no hexadecimal pair are text after the frame
    // (a frame sent without a check), not a wrong check. A pair in lower
    // case is a check, and a wrong one: the check is written in upper case.
    if (asText && !(IsHexDigit(carried[0]) && IsHexDigit(carried[1]))) return {};
    const std::string wanted = CCheckSum().Compute(bytes.substr(0, end + 1), kind);
    return Compare(carried, wanted, asText);
}

CFrameCheck::Result CFrameCheck::CheckCrc(std::string_view bytes) {
    if (bytes.size() < kMinCrcFrame) return {};
    const size_t body = bytes.size() - 2;
    const std::string wanted = CCheckSum().Compute(bytes.substr(0, body), kCrc16);
    return Compare(bytes.substr(body), wanted, false);
}

CFrameCheck::Result CFrameCheck::Check(std::string_view bytes, int kind) {
    if (kind == kCrc16) return CheckCrc(bytes);
    return CheckFramed(bytes, kind);
}

CFrameCheck::Result CFrameCheck::CheckRecord(char type, std::string_view bytes, int kind) {
    // Received bytes, or what either side of a tap sent.
    if (type != 'R' && type != 'A' && type != 'B') return {};
    return Check(bytes, kind);
}

std::string CFrameCheck::Text(const Result& result) {
    switch (result.verdict) {
        case Verdict::kOk:
            return "ok";
        case Verdict::kBad:
            return "bad (want " + result.want + ")";
        default:
            return {};
    }
}

}  // namespace qelvor
