// Feeds arbitrary text to the hexadecimal reader and checks the result
// against the rules it must keep: invalid text gives nothing, and valid text
// gives at most one byte per digit pair or lone digit.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "data/ctrl_char_notation.h"

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';' || c == '.';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string bytes;
    const bool valid = qelvor::HexTextToBytes(text, bytes);
    size_t digits = 0;
    bool allKnown = true;
    for (char c : text) {
        if (IsHexDigit(c)) {
            ++digits;
        } else if (!IsSeparator(c)) {
            allKnown = false;
        }
    }
    if (valid != allKnown) std::abort();
    if (!valid && !bytes.empty()) std::abort();
    if (valid && (bytes.size() > digits || 2 * bytes.size() < digits)) std::abort();
    if (qelvor::HexTextToBytes(text) != bytes) std::abort();
    return 0;
}
