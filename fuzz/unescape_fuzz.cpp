// Feeds arbitrary text to the notation reader; every byte that is not part of
// a recognised name must come out unchanged, so the result is never longer
// than the input and escaping it again yields no unexpected names.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "data/ctrl_char_notation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string bytes = qelvor::UnescapeCtrlChars(text);
    if (bytes.size() > text.size()) std::abort();
    // Each name shortens the text by 3 or 4 characters to one byte, and only
    // a '<' can start one: with no '<' the text passes through unchanged.
    if (text.find('<') == std::string_view::npos && bytes != text) std::abort();
    return 0;
}
