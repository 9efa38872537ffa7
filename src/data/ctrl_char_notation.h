// The control-character notation: bytes 0x00 to 0x1F written as bracketed
// names ("<STX>", "<CR>"), every other byte as itself; and hexadecimal text.
// Pure functions over counted byte strings (0x00 may stand anywhere).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qelvor {

struct CtrlCharName {
    const char* name;
    int length;
};

// Indexed by byte value 0x00..0x1F; 0x1F is "<UP>".
extern const std::array<CtrlCharName, 32> CtrlCharNames;
// Entry n is the two upper-case hexadecimal digits of n ("00" .. "FF").
extern const std::array<std::array<char, 2>, 256> HexPairTable;

// Bytes to notation text.
std::string EscapeCtrlChars(std::string_view bytes);
// The same into text, whose room is reused: no allocation when a search
// escapes record after record.
void EscapeCtrlCharsInto(std::string_view bytes, std::string& text);
// Notation text to bytes; text that is no name is copied unchanged.
std::string UnescapeCtrlChars(std::string_view text);
// Looks for a name beginning exactly at pos; on success sets the byte value
// and the name's length.
bool FindCtrlCharName(std::string_view text, size_t pos, uint8_t& value, int& nameLength);
// Hexadecimal text to bytes; an empty result when the text holds any
// character that is neither a hexadecimal digit nor a separator.
std::string HexTextToBytes(std::string_view text);
// The same, telling an invalid text (false, bytes empty) from one that holds
// no digits (true, bytes empty).
bool HexTextToBytes(std::string_view text, std::string& bytes);
// Bytes to hexadecimal pairs with one blank between them ("02 41 03"), the
// form logs and exports give bytes in.
std::string BytesToHexPairs(std::string_view bytes);
// The byte whose whole name equals name exactly; -1 when none does.
int CtrlCharByName(std::string_view name);

}  // namespace qelvor
