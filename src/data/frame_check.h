// Whether a received frame carries the right check for the settings set's
// CheckSum kind: the "chk" column of the traffic list and the count of bad
// frames. The check is the one the sending side computes (CCheckSum).
// Stateless; any thread.
#pragma once

#include <string>
#include <string_view>

namespace qelvor {

class CFrameCheck {
  public:
    enum class Verdict { kNotFrame, kOk, kBad };
    struct Result {
        Verdict verdict = Verdict::kNotFrame;
        // For a bad frame, the check it should carry: the two characters for
        // the text kinds, the bytes as hexadecimal pairs for BCC and CRC16.
        std::string want;
    };

    // The frame shapes by kind, optionally followed by CR LF:
    //   ASTM and LX20 (and any unknown kind): STX, the body, the first ETX
    //   or ETB, two hexadecimal check characters (in lower case: bad);
    //   BCC: STX, the body, the first ETX or ETB, the check byte;
    //   CRC16: at least one byte, then the CRC, low byte first (no CR LF).
    // Anything else is no checked frame.
    static Result Check(std::string_view bytes, int kind);
    // Check for an 'R' record, or a tap's 'A' or 'B' record; a record of
    // another type is no frame.
    static Result CheckRecord(char type, std::string_view bytes, int kind);
    // The column's text: empty, "ok" or "bad (want 5A)".
    static std::string Text(const Result& result);

  private:
    static Result CheckFramed(std::string_view bytes, int kind);
    static Result CheckCrc(std::string_view bytes);
    static Result Compare(std::string_view carried, const std::string& wanted, bool asText);
};

}  // namespace qelvor
