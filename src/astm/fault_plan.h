// The faults an ASTM link injects on purpose, to see how the other side copes:
// how many of each are still to come, and how long every answer waits. Plain
// data, off by default; the link that holds a plan counts it down on its own
// thread.
#pragma once

#include <chrono>
#include <string>

namespace qelvor {
class CComSetting;
}

namespace qelvor::astm {

struct AstmFaultPlan {
    int badChecksums = 0;     // the next frames sent go out with a wrong checksum
    int naks = 0;             // good frames received are refused with NAK
    int withheldAcks = 0;     // good frames received get no reply at all
    int enqContentions = 0;   // the peer's ENQ is answered with ENQ
    int dropAfterFrames = 0;  // the line is dropped after this many frames; 0: never
    std::chrono::milliseconds answerDelay{0};  // every reply to the peer waits this long

    // The Fault keys of the settings; a negative count is none, a delay is
    // held to an hour.
    static AstmFaultPlan From(const CComSetting& settings);
    bool operator==(const AstmFaultPlan&) const = default;

    // Uses up one of count; false when none is left.
    static bool Take(int& count);
};

// The frame's bytes (STX ... C1 C2 CR LF) with another checksum; the old and
// the new checksum for the note.
struct CorruptedFrame {
    std::string bytes, sent, expected;
};
CorruptedFrame CorruptChecksum(const std::string& frameBytes);

}  // namespace qelvor::astm
