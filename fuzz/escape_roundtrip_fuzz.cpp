// Escapes arbitrary bytes and reads the text back: for bytes holding no '<'
// the round trip must give the same bytes, and the escaped text must hold no
// control byte at all.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "data/ctrl_char_notation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    // A '<' could join following text into a name; turn it into '{' so that
    // every input is tried rather than thrown away.
    for (char& c : bytes) {
        if (c == '<') c = '{';
    }
    const std::string text = qelvor::EscapeCtrlChars(bytes);
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) std::abort();
    }
    if (qelvor::UnescapeCtrlChars(text) != bytes) std::abort();
    return 0;
}
