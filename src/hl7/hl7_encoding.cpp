#include "hl7/hl7_encoding.h"

#include <cstdio>

namespace qelvor::hl7 {

namespace {

// A delimiter must never be mistaken for text or for the end of a segment.
bool UsableDelimiter(char c) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool digit = c >= '0' && c <= '9';
    return !letter && !digit && c != '\r' && c != '\n';
}

// A character as a reader of the error text wants to see it.
std::string Spell(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7F) return std::string(1, c);
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", byte);
    return hex;
}

bool CheckDelimiters(std::string_view all, std::string& why) {
    for (size_t i = 0; i < all.size(); ++i) {
        if (!UsableDelimiter(all[i])) {
            why = "the delimiter " + Spell(all[i]) + " is a letter, a digit or a line end";
            return false;
        }
        if (all.find(all[i], i + 1) != std::string_view::npos) {
            why = "MSH-2 repeats the character " + Spell(all[i]);
            return false;
        }
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The bytes of "Xhhhh..." (the sequence without its escape characters);
// false when the hex digits are missing, odd in number or not hex.
bool DecodeHex(std::string_view sequence, std::string& out) {
    const std::string_view hex = sequence.substr(1);
    if (hex.empty() || hex.size() % 2 != 0) return false;
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]);
        const int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    out += bytes;
    return true;
}

// Appends what one sequence stands for; false when it is not one this
// reader decodes, so that the caller keeps it as sent.
bool DecodeSequence(std::string_view sequence, const Hl7Encoding& e, std::string& out) {
    if (sequence.size() == 1) {
        switch (sequence[0]) {
            case 'F':
                out += e.field;
                return true;
            case 'S':
                out += e.component;
                return true;
            case 'T':
                out += e.subcomponent;
                return true;
            case 'R':
                out += e.repetition;
                return true;
            case 'E':
                out += e.escape;
                return true;
            case 'H':  // highlighting on and off: nothing to show in plain text
            case 'N':
                return true;
            default:
                return false;
        }
    }
    // A line break is shown as LF, the line end of the text views on Linux.
    if (sequence == ".br") {
        out += '\n';
        return true;
    }
    if (sequence[0] == 'X') return DecodeHex(sequence, out);
    return false;
}

}  // namespace

bool Hl7Encoding::Read(std::string_view message, Hl7Encoding& encoding, std::string& why) {
    if (message.substr(0, 3) != "MSH") {
        why = "no MSH segment at the start";
        return false;
    }
    if (message.size() < 4 || message[3] == '\r' || message[3] == '\n') {
        why = "the MSH segment ends before its field separator";
        return false;
    }
    const char field = message[3];
    const std::string_view rest = message.substr(4);
    const std::string_view characters =
        rest.substr(0, rest.find_first_of(std::string{field, '\r', '\n'}));
    if (characters.size() < 4) {
        why = "MSH-2 holds " + std::to_string(characters.size()) +
              " encoding characters; four are needed";
        return false;
    }
    if (characters.size() > 5) {
        why = "MSH-2 holds more than five encoding characters";
        return false;
    }
    const std::string all = std::string(1, field) + std::string(characters);
    if (!CheckDelimiters(all, why)) return false;
    encoding = {field, characters[0], characters[1], characters[2], characters[3]};
    return true;
}

std::string Hl7Encoding::Characters() const {
    return {component, repetition, escape, subcomponent};
}

std::string Unescape(std::string_view text, const Hl7Encoding& encoding) {
    std::string plain;
    plain.reserve(text.size());
    size_t from = 0;
    for (size_t open = text.find(encoding.escape); open != std::string_view::npos;
         open = text.find(encoding.escape, from)) {
        const size_t close = text.find(encoding.escape, open + 1);
        if (close == std::string_view::npos) break;  // never closed: kept as sent
        plain.append(text.substr(from, open - from));
        const std::string_view sequence = text.substr(open + 1, close - open - 1);
        if (sequence.empty() || !DecodeSequence(sequence, encoding, plain))
            plain.append(text.substr(open, close - open + 1));
        from = close + 1;
    }
    plain.append(text.substr(from));
    return plain;
}

std::string Escape(std::string_view text, const Hl7Encoding& encoding) {
    std::string escaped;
    escaped.reserve(text.size());
    const auto sequence = [&](std::string_view code) {
        escaped += encoding.escape;
        escaped += code;
        escaped += encoding.escape;
    };
    for (const char c : text) {
        if (c == encoding.field)
            sequence("F");
        else if (c == encoding.component)
            sequence("S");
        else if (c == encoding.subcomponent)
            sequence("T");
        else if (c == encoding.repetition)
            sequence("R");
        else if (c == encoding.escape)
            sequence("E");
        // A line end would end the segment; it travels as its hex byte.
        else if (c == '\r')
            sequence("X0D");
        else if (c == '\n')
            sequence("X0A");
        else
            escaped += c;
    }
    return escaped;
}

}  // namespace qelvor::hl7
