#include "astm/fault_plan.h"

#include <algorithm>

#include "config/com_setting.h"

namespace qelvor::astm {

namespace {

constexpr int kMaxDelayMs = 3600 * 1000;

}  // namespace

AstmFaultPlan AstmFaultPlan::From(const CComSetting& settings) {
    AstmFaultPlan plan;
    plan.badChecksums = std::max(settings.FaultBadChecksum, 0);
    plan.naks = std::max(settings.FaultNak, 0);
    plan.withheldAcks = std::max(settings.FaultWithholdAck, 0);
    plan.enqContentions = std::max(settings.FaultEnqContention, 0);
    plan.dropAfterFrames = std::max(settings.FaultDropAfter, 0);
    plan.answerDelay = std::chrono::milliseconds(std::clamp(settings.FaultDelayMs, 0, kMaxDelayMs));
    return plan;
}

bool AstmFaultPlan::Take(int& count) {
    if (count <= 0) return false;
    --count;
    return true;
}

CorruptedFrame CorruptChecksum(const std::string& frameBytes) {
    // STX ... ETX|ETB C1 C2 CR LF: the checksum is the 4th and 3rd bytes from the end.
    CorruptedFrame out{frameBytes, {}, {}};
    if (frameBytes.size() < 5) return out;
    const size_t at = frameBytes.size() - 4;
    out.expected = frameBytes.substr(at, 2);
    out.sent = out.expected == "00" ? "FF" : "00";
    out.bytes.replace(at, 2, out.sent);
    return out;
}

}  // namespace qelvor::astm
