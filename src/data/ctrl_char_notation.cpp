#include "data/ctrl_char_notation.h"

#include <bit>
#include <cstddef>
#include <cstring>

namespace qelvor {

namespace {

constexpr std::array<CtrlCharName, 32> kNames = {{
    {"<NUL>", 5}, {"<SOH>", 5}, {"<STX>", 5}, {"<ETX>", 5}, {"<EOT>", 5}, {"<ENQ>", 5},
    {"<ACK>", 5}, {"<BEL>", 5}, {"<BS>", 4},  {"<HT>", 4},  {"<LF>", 4},  {"<VT>", 4},
    {"<FF>", 4},  {"<CR>", 4},  {"<SO>", 4},  {"<SI>", 4},  {"<DLE>", 5}, {"<DC1>", 5},
    {"<DC2>", 5}, {"<DC3>", 5}, {"<DC4>", 5}, {"<NAK>", 5}, {"<SYN>", 5}, {"<ETB>", 5},
    {"<CAN>", 5}, {"<EM>", 4},  {"<SUB>", 5}, {"<ESC>", 5}, {"<FS>", 4},  {"<GS>", 4},
    {"<RS>", 4},  {"<UP>", 4},
}};

constexpr std::array<std::array<char, 2>, 256> MakeHexPairTable() {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::array<std::array<char, 2>, 256> table{};
    for (int n = 0; n < 256; ++n) {
        table[static_cast<size_t>(n)] = {kDigits[n >> 4], kDigits[n & 0x0F]};
    }
    return table;
}

// The names padded to eight characters, so that escape can store one with a
// single fixed-size copy and then advance by the name's real length.
constexpr std::array<std::array<char, 8>, 32> MakePaddedNames() {
    std::array<std::array<char, 8>, 32> padded{};
    for (size_t i = 0; i < kNames.size(); ++i) {
        for (int j = 0; j < kNames[i].length; ++j) {
            padded[i][static_cast<size_t>(j)] = kNames[i].name[j];
        }
    }
    return padded;
}

constexpr std::array<std::array<char, 8>, 32> kPaddedNames = MakePaddedNames();

// Each name reduced to one integer: the two or three letters between the
// brackets and the name's length. Lookup then compares integers, not text.
constexpr uint32_t PackName(const char* inner, int innerLength, int nameLength) {
    uint32_t key = static_cast<uint32_t>(nameLength) << 24;
    for (int i = 0; i < innerLength; ++i) {
        key |= static_cast<uint32_t>(static_cast<unsigned char>(inner[i])) << (8 * i);
    }
    return key;
}

// An open-addressing table of the 32 packed names in 64 slots, so that the
// reader finds a name with one or two probes. A key is never 0 (it holds the
// length), so 0 marks an empty slot.
struct NameSlot {
    uint32_t key = 0;
    uint8_t value = 0;
};

constexpr size_t kNameSlots = 64;

constexpr size_t NameHash(uint32_t key) {
    return (key * 0x9E3779B1u) >> 26;
}

constexpr std::array<NameSlot, kNameSlots> MakeNameTable() {
    std::array<NameSlot, kNameSlots> table{};
    for (size_t i = 0; i < kNames.size(); ++i) {
        const uint32_t key = PackName(kNames[i].name + 1, kNames[i].length - 2, kNames[i].length);
        size_t slot = NameHash(key);
        while (table[slot].key != 0)
            slot = (slot + 1) % kNameSlots;
        table[slot] = {key, static_cast<uint8_t>(i)};
    }
    return table;
}

constexpr std::array<NameSlot, kNameSlots> kNameTable = MakeNameTable();

bool LookUpName(uint32_t key, uint8_t& value) {
    for (size_t slot = NameHash(key); kNameTable[slot].key != 0; slot = (slot + 1) % kNameSlots) {
        if (kNameTable[slot].key == key) {
            value = kNameTable[slot].value;
            return true;
        }
    }
    return false;
}

// Looks for a name at begin, which holds a '<'. Every name ends in '>' and
// holds none inside, so the place of the first '>' fixes which length can
// match: at most one name begins at a position.
bool MatchName(const char* begin, const char* end, uint8_t& value, int& nameLength) {
    const std::ptrdiff_t remaining = end - begin;
    for (int length = 4; length <= 5; ++length) {
        if (remaining < length || begin[length - 1] != '>') continue;
        if (!LookUpName(PackName(begin + 1, length - 2, length), value)) return false;
        nameLength = length;
        return true;
    }
    return false;
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

// Flags, in the top bit of each lane, the bytes of word below 0x20; the
// lowest flagged lane is always exact (borrows only run upwards).
inline uint64_t ControlLanes(uint64_t word) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    return (word - kOnes * 0x20) & ~word & (kOnes * 0x80);
}

// Escape writes through a raw pointer into a buffer sized ahead; one step
// writes at most 16 bytes (a word and a padded name), so this much room is
// kept free before each step.
constexpr size_t kEscapeStepRoom = 16;

// One step of escape: copies ordinary bytes up to and including the next
// control byte's name, eight input bytes at a time where it can.
void EscapeStep(const char*& in, const char* end, char*& out) {
    if constexpr (std::endian::native == std::endian::little) {
        if (end - in >= 8) {
            uint64_t word;
            std::memcpy(&word, in, sizeof word);
            std::memcpy(out, &word, sizeof word);
            const uint64_t flags = ControlLanes(word);
            if (flags == 0) {
                in += 8;
                out += 8;
                return;
            }
            const int ordinary = std::countr_zero(flags) >> 3;
            in += ordinary;
            out += ordinary;
        }
    }
    const auto byte = static_cast<unsigned char>(*in++);
    if (byte >= 0x20) {
        *out++ = static_cast<char>(byte);
        return;
    }
    std::memcpy(out, kPaddedNames[byte].data(), 8);
    out += kNames[byte].length;
}

// Copies the text up to the next '<' (or its end), eight bytes at a time
// where it can; a word is stored whole and the output advanced only past the
// bytes before the '<'.
void CopyToBracket(const char*& in, const char* end, char*& out) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    if constexpr (std::endian::native == std::endian::little) {
        while (end - in >= 8) {
            uint64_t word;
            std::memcpy(&word, in, sizeof word);
            std::memcpy(out, &word, sizeof word);
            const uint64_t diff = word ^ (kOnes * '<');
            const uint64_t flags = (diff - kOnes) & ~diff & (kOnes * 0x80);
            if (flags != 0) {
                const int before = std::countr_zero(flags) >> 3;
                in += before;
                out += before;
                return;
            }
            in += 8;
            out += 8;
        }
    }
    while (in != end && *in != '<')
        *out++ = *in++;
}

}  // namespace

const std::array<CtrlCharName, 32> CtrlCharNames = kNames;
const std::array<std::array<char, 2>, 256> HexPairTable = MakeHexPairTable();

std::string EscapeCtrlChars(std::string_view bytes) {
    std::string text;
    EscapeCtrlCharsInto(bytes, text);
    return text;
}

void EscapeCtrlCharsInto(std::string_view bytes, std::string& text) {
    text.resize(bytes.size() * 3 + kEscapeStepRoom);
    const char* in = bytes.data();
    const char* end = in + bytes.size();
    char* out = text.data();
    while (in != end) {
        // Mostly control bytes need more than three characters a byte.
        if (text.size() - static_cast<size_t>(out - text.data()) < kEscapeStepRoom) {
            const size_t used = static_cast<size_t>(out - text.data());
            text.resize(text.size() * 2);
            out = text.data() + used;
        }
        EscapeStep(in, end, out);
    }
    text.resize(static_cast<size_t>(out - text.data()));
}

bool FindCtrlCharName(std::string_view text, size_t pos, uint8_t& value, int& nameLength) {
    if (pos >= text.size() || text[pos] != '<') return false;
    uint8_t found = 0;
    int length = 0;
    if (!MatchName(text.data() + pos, text.data() + text.size(), found, length)) return false;
    value = found;
    nameLength = length;
    return true;
}

std::string UnescapeCtrlChars(std::string_view text) {
    // Names only shrink, so the bytes never outgrow the text, and the write
    // position never passes the read position.
    std::string bytes(text.size(), '\0');
    const char* in = text.data();
    const char* end = in + text.size();
    char* out = bytes.data();
    while (in != end) {
        CopyToBracket(in, end, out);
        if (in == end) break;
        uint8_t value = 0;
        int length = 0;
        if (MatchName(in, end, value, length)) {
            *out++ = static_cast<char>(value);
            in += length;
        } else {
            *out++ = *in++;
        }
    }
    bytes.resize(static_cast<size_t>(out - bytes.data()));
    return bytes;
}

bool HexTextToBytes(std::string_view text, std::string& bytes) {
    // Each byte takes at least two characters, except a last lone nibble.
    bytes.resize(text.size() / 2 + 1);
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = in + text.size();
    char* out = bytes.data();
    while (in != end) {
        const uint8_t high = kHexClass[*in];
        // The common case, a whole pair, is taken in one step.
        if (high < kHexSeparator && end - in >= 2 && kHexClass[in[1]] < kHexSeparator) {
            *out++ = static_cast<char>(high * 16 + kHexClass[in[1]]);
            in += 2;
        } else if (high < kHexSeparator) {
            // A lone digit before a separator or at the end is a byte.
            *out++ = static_cast<char>(high);
            ++in;
        } else if (high == kHexSeparator) {
            ++in;
        } else {
            bytes.clear();
            return false;
        }
    }
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

std::string BytesToHexPairs(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    for (char c : bytes) {
        if (!text.empty()) text.push_back(' ');
        const auto& pair = HexPairTable[static_cast<unsigned char>(c)];
        text.append(pair.data(), pair.size());
    }
    return text;
}

}  // namespace qelvor
