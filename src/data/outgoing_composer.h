// Turns one line of user text (send box, data-list line, response-file line)
// into the exact bytes to send, by the sending settings. The "<FN8>" frame
// counter is the caller's state, shared by every sender.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qelvor {

class CComSetting;

// Preamble + line + Postamble, unescaped, converted, replaced, framed (text
// mode); or the hexadecimal line with an optional checksum (HexSendData).
// An empty result means there is nothing to send; so does hexadecimal text
// holding anything but digits and separators, checksum or not. When the
// code-page conversion emptied the bytes, emptiedBy (if given) says why.
std::string ComposeOutgoing(std::string_view line, const CComSetting& settings,
                            int8_t& frameCounter, std::string* emptiedBy = nullptr);
// 0 when UsedCheckSum is off, 2 when no "<CheckSum>" was found, 1 when the
// check was inserted. Replaces the first "<FN8>" by the next frame digit.
int ApplyFrameFields(std::string& bytes, const CComSetting& settings, int8_t& frameCounter);
// 1 when the first byte equal to Replace_Old was replaced by Replace_New.
int ReplaceChar(std::string& bytes, const CComSetting& settings);
// Converts by SenDataEncodeCov (1 to UTF-8, 2 to UTF-16LE); the new length.
// Bytes that do not convert are replaced; the data becomes empty only when
// the conversion is not available, and then failure (if given) says why.
int ConvertSendEncoding(std::string& bytes, const CComSetting& settings,
                        std::string* failure = nullptr);

}  // namespace qelvor
