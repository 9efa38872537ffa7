// One frame of an ASTM E1381 link, its bytes and its checksum, and the cutting
// of a record's text into frames. Plain values and pure functions: any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qelvor::astm {

inline constexpr char kStx = '\x02';
inline constexpr char kEtx = '\x03';
inline constexpr char kEot = '\x04';
inline constexpr char kEnq = '\x05';
inline constexpr char kAck = '\x06';
inline constexpr char kNak = '\x15';
inline constexpr char kEtb = '\x17';

// The most text characters one frame carries; a longer record goes out as
// intermediate frames followed by one end frame.
inline constexpr size_t kMaxFrameText = 240;

struct CAstmFrame {
    int number = 1;     // 0 to 7; the first frame of a transfer is 1
    std::string text;   // the characters between the frame number and ETB/ETX
    bool final = true;  // ETX (the record's last frame) or ETB (more follow)

    // STX FN text ETB|ETX C1 C2 CR LF.
    std::string Bytes() const;

    // Two upper-case hexadecimal digits of the sum, modulo 256, of the bytes
    // that run from the frame number through the ETB or ETX.
    static std::string Checksum(std::string_view numberThroughTerminator);
    // The text in frames of at most kMaxFrameText characters, numbered from
    // firstNumber on, modulo 8; the last one is final. No frames for no text.
    static std::vector<CAstmFrame> Cut(std::string_view text, int firstNumber);
    // The number after this one: 1 to 7, then 0, 1, ...
    static int NextNumber(int number) { return (number + 1) % 8; }
};

}  // namespace qelvor::astm
