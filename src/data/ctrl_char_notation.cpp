#include "data/ctrl_char_notation.h"

#include <bit>
#include <cstring>

namespace qelvor {

const std::array<CtrlCharName, 32> CtrlCharNames = {{
    {"<NUL>", 5}, {"<SOH>", 5}, {"<STX>", 5}, {"<ETX>", 5}, {"<EOT>", 5}, {"<ENQ>", 5},
    {"<ACK>", 5}, {"<BEL>", 5}, {"<BS>", 4},  {"<HT>", 4},  {"<LF>", 4},  {"<VT>", 4},
    {"<FF>", 4},  {"<CR>", 4},  {"<SO>", 4},  {"<SI>", 4},  {"<DLE>", 5}, {"<DC1>", 5},
    {"<DC2>", 5}, {"<DC3>", 5}, {"<DC4>", 5}, {"<NAK>", 5}, {"<SYN>", 5}, {"<ETB>", 5},
    {"<CAN>", 5}, {"<EM>", 4},  {"<SUB>", 5}, {"<ESC>", 5}, {"<FS>", 4},  {"<GS>", 4},
    {"<RS>", 4},  {"<UP>", 4},
}};

namespace {

constexpr std::array<std::array<char, 2>, 256> MakeHexPairTable() {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::array<std::array<char, 2>, 256> table{};
    for (int n = 0; n < 256; ++n) {
        table[static_cast<size_t>(n)] = {kDigits[n >> 4], kDigits[n & 0x0F]};
    }
    return table;
}

// Each name reduced to one integer: the two or three letters between the
// brackets and the name's length. Lookup then compares integers, not text.
uint32_t PackName(const char* inner, int innerLength, int nameLength) {
    uint32_t key = static_cast<uint32_t>(nameLength) << 24;
    for (int i = 0; i < innerLength; ++i) {
        key |= static_cast<uint32_t>(static_cast<unsigned char>(inner[i])) << (8 * i);
    }
    return key;
}

std::array<uint32_t, 32> MakeNameKeys() {
    std::array<uint32_t, 32> keys{};
    for (size_t i = 0; i < keys.size(); ++i) {
        const CtrlCharName& entry = CtrlCharNames[i];
        keys[i] = PackName(entry.name + 1, entry.length - 2, entry.length);
    }
    return keys;
}

const std::array<uint32_t, 32>& NameKeys() {
    static const std::array<uint32_t, 32> keys = MakeNameKeys();
    return keys;
}

// Character classes of hexadecimal text: 0..15 digit values, then these two.
constexpr uint8_t kHexSeparator = 16;
constexpr uint8_t kHexInvalid = 17;

constexpr std::array<uint8_t, 256> MakeHexClassTable() {
    std::array<uint8_t, 256> table{};
    for (auto& entry : table)
        entry = kHexInvalid;
    for (int c = '0'; c <= '9'; ++c)
        table[static_cast<size_t>(c)] = static_cast<uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) {
        table[static_cast<size_t>(c)] = static_cast<uint8_t>(c - 'A' + 10);
        table[static_cast<size_t>(c + 'a' - 'A')] = static_cast<uint8_t>(c - 'A' + 10);
    }
    for (char c : {' ', '\t', '\r', '\n', ',', ';', '.'}) {
        table[static_cast<unsigned char>(c)] = kHexSeparator;
    }
    return table;
}

constexpr std::array<uint8_t, 256> kHexClass = MakeHexClassTable();

// Length of the leading run of bytes that need no name (0x20 and above).
// Tests eight bytes at a time: a byte below 0x20 sets the top bit of its lane
// in (x - 0x20..) & ~x & 0x80..; the lowest flagged lane is always exact.
size_t OrdinaryRunLength(const char* begin, const char* end) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    const char* p = begin;
    if constexpr (std::endian::native == std::endian::little) {
        while (end - p >= 8) {
            uint64_t word;
            std::memcpy(&word, p, sizeof word);
            uint64_t flags = (word - kOnes * 0x20) & ~word & (kOnes * 0x80);
            if (flags != 0) {
                return static_cast<size_t>(p - begin) + (std::countr_zero(flags) >> 3);
            }
            p += 8;
        }
    }
    while (p != end && static_cast<unsigned char>(*p) >= 0x20)
        ++p;
    return static_cast<size_t>(p - begin);
}

}  // namespace

const std::array<std::array<char, 2>, 256> HexPairTable = MakeHexPairTable();

std::string EscapeCtrlChars(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p != end) {
        size_t run = OrdinaryRunLength(p, end);
        text.append(p, run);
        p += run;
        if (p == end) break;
        const CtrlCharName& entry = CtrlCharNames[static_cast<unsigned char>(*p)];
        text.append(entry.name, static_cast<size_t>(entry.length));
        ++p;
    }
    return text;
}

bool FindCtrlCharName(std::string_view text, size_t pos, uint8_t& value, int& nameLength) {
    if (pos >= text.size() || text[pos] != '<') return false;
    const size_t remaining = text.size() - pos;
    // Every name ends in '>' and holds none inside, so the place of the first
    // '>' fixes which length can match; at most one name begins at pos.
    for (int length = 4; length <= 5; ++length) {
        const size_t last = static_cast<size_t>(length) - 1;
        if (remaining <= last || text[pos + last] != '>') continue;
        const uint32_t key = PackName(text.data() + pos + 1, length - 2, length);
        const auto& keys = NameKeys();
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == key) {
                value = static_cast<uint8_t>(i);
                nameLength = length;
                return true;
            }
        }
        return false;
    }
    return false;
}

std::string UnescapeCtrlChars(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const void* found = std::memchr(text.data() + pos, '<', text.size() - pos);
        const size_t bracket =
            found ? static_cast<size_t>(static_cast<const char*>(found) - text.data())
                  : text.size();
        bytes.append(text.data() + pos, bracket - pos);
        pos = bracket;
        if (pos == text.size()) break;
        uint8_t value = 0;
        int length = 0;
        if (FindCtrlCharName(text, pos, value, length)) {
            bytes.push_back(static_cast<char>(value));
            pos += static_cast<size_t>(length);
        } else {
            bytes.push_back('<');
            ++pos;
        }
    }
    return bytes;
}

bool HexTextToBytes(std::string_view text, std::string& bytes) {
    // Each byte takes at least two characters, except a last lone nibble.
    bytes.resize(text.size() / 2 + 1);
    char* out = bytes.data();
    int pending = -1;
    for (char c : text) {
        const uint8_t cls = kHexClass[static_cast<unsigned char>(c)];
        if (cls < kHexSeparator) {
            if (pending < 0) {
                pending = cls;
            } else {
                *out++ = static_cast<char>(pending * 16 + cls);
                pending = -1;
            }
        } else if (cls == kHexSeparator) {
            if (pending >= 0) *out++ = static_cast<char>(pending);
            pending = -1;
        } else {
            bytes.clear();
            return false;
        }
    }
    if (pending >= 0) *out++ = static_cast<char>(pending);
    bytes.resize(static_cast<size_t>(out - bytes.data()));
    return true;
}

std::string HexTextToBytes(std::string_view text) {
    std::string bytes;
    HexTextToBytes(text, bytes);
    return bytes;
}

int CtrlCharByName(std::string_view name) {
    for (size_t i = 0; i < CtrlCharNames.size(); ++i) {
        const CtrlCharName& entry = CtrlCharNames[i];
        if (name == std::string_view(entry.name, static_cast<size_t>(entry.length))) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace qelvor
