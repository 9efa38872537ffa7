#include "data/check_sum.h"

#include <algorithm>
#include <array>

#include "config/string_table.h"
#include "data/ctrl_char_notation.h"

namespace qelvor {

namespace {

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kEtb = 0x17;

struct CrcTables {
    std::array<uint8_t, 256> low{};
    std::array<uint8_t, 256> high{};
};

// The reflected CRC of each byte value with polynomial 0xA001, split into the
// low and high byte tables of the classic two-register form.
constexpr CrcTables MakeCrcTables() {
    CrcTables tables;
    for (unsigned n = 0; n < 256; ++n) {
        unsigned crc = n;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        tables.low[n] = static_cast<uint8_t>(crc & 0xFF);
        tables.high[n] = static_cast<uint8_t>(crc >> 8);
    }
    return tables;
}

constexpr CrcTables kCrcTables = MakeCrcTables();

unsigned ByteSum(std::string_view bytes) {
    unsigned sum = 0;
    for (char c : bytes)
        sum += static_cast<unsigned char>(c);
    return sum & 0xFF;
}

unsigned ByteXor(std::string_view bytes) {
    unsigned value = 0;
    for (char c : bytes)
        value ^= static_cast<unsigned char>(c);
    return value;
}

unsigned TwosComplement(unsigned sum) {
    return (256 - (sum & 0xFF)) & 0xFF;
}

std::string HexPair(unsigned value) {
    const auto& pair = HexPairTable[value & 0xFF];
    return std::string(pair.data(), pair.size());
}

// The end of an ASTM frame body: the first ETX at or after start, else the
// first ETB at or after start; npos when neither follows.
size_t FrameEnd(std::string_view bytes, size_t start) {
    const size_t etx = bytes.find(kEtx, start);
    return etx != std::string_view::npos ? etx : bytes.find(kEtb, start);
}

// After the first STX (or from the first byte) through the frame end
// inclusive (or through the last byte).
std::string_view AstmRange(std::string_view bytes) {
    const size_t stx = bytes.find(kStx);
    const size_t start = stx == std::string_view::npos ? 0 : stx + 1;
    const size_t end = FrameEnd(bytes, start);
    if (end == std::string_view::npos) return bytes.substr(start);
    return bytes.substr(start, end - start + 1);
}

// From the first '[' (or the first byte) through the first ']' after it;
// empty when no ']' follows.
std::string_view Lx20Range(std::string_view bytes) {
    const size_t open = bytes.find('[');
    const size_t start = open == std::string_view::npos ? 0 : open;
    const size_t close = bytes.find(']', start);
    if (close == std::string_view::npos) return {};
    return bytes.substr(start, close - start + 1);
}

// The body that the ASTM and BCC button forms keep, from after the first STX
// (without one, from startWithoutStx: 0 for ASTM, 1 for BCC) through the end mark;
// bodyClosed tells whether an end was taken. The end mark is the first ETX
// anywhere, else the first ETB from the STX on; a mark at position 0 or 1
// leaves the body open. A mark standing before the body cannot give a
// negative length: then the end is looked for after the start instead.
std::string_view TextFormBody(std::string_view text, size_t startWithoutStx, bool& bodyClosed) {
    const size_t stx = text.find(kStx);
    const size_t start =
        std::min(stx == std::string_view::npos ? startWithoutStx : stx + 1, text.size());
    size_t end = text.find(kEtx);
    if (end == std::string_view::npos)
        end = text.find(kEtb, stx == std::string_view::npos ? 0 : stx);
    if (end != std::string_view::npos && end < 2) end = std::string_view::npos;
    if (end != std::string_view::npos && end < start) end = FrameEnd(text, start);
    bodyClosed = end != std::string_view::npos;
    if (!bodyClosed) return text.substr(start);
    return text.substr(start, end - start + 1);
}

}  // namespace

uint16_t CCheckSum::Crc16(std::string_view bytes) {
    uint8_t first = 0xFF;
    uint8_t second = 0xFF;
    for (char c : bytes) {
        const uint8_t index = static_cast<uint8_t>(static_cast<unsigned char>(c) ^ first);
        first = static_cast<uint8_t>(kCrcTables.low[index] ^ second);
        second = kCrcTables.high[index];
    }
    return static_cast<uint16_t>(second << 8 | first);
}

std::string CCheckSum::Compute(std::string_view bytes, int kind) const {
    switch (kind) {
        case kCsLx20:
            return HexPair(TwosComplement(ByteSum(Lx20Range(bytes))));
        case kCsBcc:
            return std::string(1, static_cast<char>(ByteXor(AstmRange(bytes))));
        case kCrc16: {
            const uint16_t crc = Crc16(bytes);
            return {static_cast<char>(crc & 0xFF), static_cast<char>(crc >> 8)};
        }
        default:
            return HexPair(ByteSum(AstmRange(bytes)));
    }
}

std::string CCheckSum::AstmTextForm(std::string_view text) const {
    bool closed = false;
    std::string body(TextFormBody(text, 0, closed));
    // An open frame is closed with an ETX, which the sum then covers.
    if (!closed) body.push_back(kEtx);
    return body + HexPair(ByteSum(body));
}

std::string CCheckSum::Lx20TextForm(std::string_view text) const {
    const size_t open = text.find('[');
    if (open == std::string_view::npos) return std::string(text);
    const size_t close = text.find(']', open);
    if (close == std::string_view::npos || close < 2) return std::string(text);
    const std::string_view body = text.substr(open, close - open + 1);
    return std::string(body) + HexPair(TwosComplement(ByteSum(body)));
}

std::string CCheckSum::BccTextForm(std::string_view text) const {
    bool closed = false;
    // Without an STX the body starts at the second character.
    std::string body(TextFormBody(text, 1, closed));
    if (!closed) body.push_back(kEtx);
    const unsigned check = ByteXor(body);
    // The send box holds notation text, so a zero check is written by its
    // name rather than dropped or cut off as a terminator.
    if (check == 0) return body + CtrlCharNames[0].name;
    return body + static_cast<char>(check);
}

std::string CCheckSum::TextForm(std::string_view text, int kind) const {
    switch (kind) {
        case kCsLx20:
            return Lx20TextForm(text);
        case kCsBcc:
            return BccTextForm(text);
        default:
            return AstmTextForm(text);
    }
}

int CheckSumCaptionId(int kind) {
    switch (kind) {
        case kCsLx20:
            return kStrCheckSumLx20;
        case kCsBcc:
            return kStrCheckSumBcc;
        default:
            return kStrCheckSumAstm;
    }
}

int CheckSumToolTipId(int kind) {
    switch (kind) {
        case kCsLx20:
            return kStrBracketsInChecksum;
        case kCsBcc:
            return kStrStxToEtxInChecksum;
        default:
            return kStrStxToEtxInChecksumAstm;
    }
}

}  // namespace qelvor
