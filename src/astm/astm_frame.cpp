#include "astm/astm_frame.h"

#include <algorithm>

namespace qelvor::astm {

std::string CAstmFrame::Checksum(std::string_view numberThroughTerminator) {
    unsigned sum = 0;
    for (char c : numberThroughTerminator)
        sum += static_cast<unsigned char>(c);
    const char* const digits = "0123456789ABCDEF";
    return {digits[(sum >> 4) & 0xF], digits[sum & 0xF]};
}

std::string CAstmFrame::Bytes() const {
    std::string covered;
    covered.reserve(text.size() + 2);
    covered += static_cast<char>('0' + (number % 8 + 8) % 8);
    covered += text;
    covered += final ? kEtx : kEtb;
    return kStx + covered + Checksum(covered) + "\r\n";
}

std::vector<CAstmFrame> CAstmFrame::Cut(std::string_view text, int firstNumber) {
    std::vector<CAstmFrame> frames;
    int number = (firstNumber % 8 + 8) % 8;
    for (size_t at = 0; at < text.size(); at += kMaxFrameText) {
        const size_t length = std::min(kMaxFrameText, text.size() - at);
        frames.push_back(
            {number, std::string(text.substr(at, length)), at + length == text.size()});
        number = NextNumber(number);
    }
    return frames;
}

}  // namespace qelvor::astm
