#include "data/display_format.h"

#include <algorithm>

#include "data/ctrl_char_notation.h"

namespace qelvor {

namespace {

// The list shows the pairs of this many leading bytes only.
constexpr size_t kHexStyleMaxBytes = 100;
constexpr size_t kDumpBytesPerLine = 16;
constexpr size_t kDumpHexWidth = kDumpBytesPerLine * 3;

std::string HexStyle(std::string_view bytes) {
    const size_t count = std::min(bytes.size(), kHexStyleMaxBytes);
    std::string text;
    text.reserve(count * 3);
    for (size_t i = 0; i < count; ++i) {
        const auto& pair = HexPairTable[static_cast<unsigned char>(bytes[i])];
        text.append(pair.data(), pair.size());
        text.push_back(' ');
    }
    return text;
}

char DumpCharacter(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x21 && b <= 0x7E) ? c : '.';
}

}  // namespace

std::string FormatForDisplay(char recordType, std::string_view bytes, int showDataFmt) {
    // Information texts read the same in every style.
    if (recordType == 'I') return EscapeCtrlChars(bytes);
    switch (showDataFmt) {
        case kStyleRaw:
            return std::string(bytes);
        case kStyleHex:
            return HexStyle(bytes);
        default:
            return EscapeCtrlChars(bytes);
    }
}

std::string FormatHexDump(std::string_view bytes) {
    const size_t lines = (bytes.size() + kDumpBytesPerLine - 1) / kDumpBytesPerLine;
    std::string dump;
    dump.reserve(lines * (kDumpHexWidth + kDumpBytesPerLine + 2));
    for (size_t start = 0; start < bytes.size(); start += kDumpBytesPerLine) {
        const std::string_view line = bytes.substr(start, kDumpBytesPerLine);
        for (char c : line) {
            const auto& pair = HexPairTable[static_cast<unsigned char>(c)];
            dump.append(pair.data(), pair.size());
            dump.push_back(' ');
        }
        // A short last line is filled up so that its characters stay aligned.
        dump.append(kDumpHexWidth - line.size() * 3, ' ');
        for (char c : line)
            dump.push_back(DumpCharacter(c));
        dump.append("\r\n");
    }
    return dump;
}

}  // namespace qelvor
