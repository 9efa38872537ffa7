// The four check kinds of the "<CheckSum>" placeholder and the three text
// forms of the CheckSum button. Stateless.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qelvor {

enum CheckSumKind { kCsAstm = 0, kCsLx20 = 1, kCsBcc = 2, kCrc16 = 3 };

class CCheckSum {
  public:
    virtual ~CCheckSum() = default;

    // The bytes that replace the placeholder, computed over the bytes before
    // it: 2 hexadecimal characters (ASTM, LX20), 1 raw byte (BCC) or 2 raw
    // bytes, low byte first (CRC16). Any other kind acts as ASTM.
    std::string Compute(std::string_view bytes, int kind) const;
    // CRC-16/MODBUS of the bytes.
    static uint16_t Crc16(std::string_view bytes);

    // The CheckSum button's rewrite of the send text for the kind. Only raw
    // frame characters count, never their bracketed names. ASTM and BCC keep
    // the body after the first STX (without one: from the first character for
    // ASTM, the second for BCC) through the first ETX anywhere, else the first
    // ETB; an end at position 0 or 1 counts as none, and an open body is
    // closed with an ETX. They append the sum as a hexadecimal pair or the
    // exclusive-or as one raw character ("<NUL>" when it is 0). LX20 keeps '[' through ']' and appends the complement of
    // the sum, or returns the text unchanged when there is no such pair.
    // Any kind other than LX20 and BCC uses the ASTM form.
    std::string AstmTextForm(std::string_view text) const;
    std::string Lx20TextForm(std::string_view text) const;
    std::string BccTextForm(std::string_view text) const;
    std::string TextForm(std::string_view text, int kind) const;
};

// The CheckSum button's caption and tool tip string ids for the kind.
int CheckSumCaptionId(int kind);
int CheckSumToolTipId(int kind);

}  // namespace qelvor
