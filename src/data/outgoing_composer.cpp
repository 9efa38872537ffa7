#include "data/outgoing_composer.h"

#include "config/com_setting.h"
#include "data/check_sum.h"
#include "data/ctrl_char_notation.h"
#include "data/text_encoding.h"

namespace qelvor {

namespace {

constexpr std::string_view kFrameNumberField = "<FN8>";
constexpr std::string_view kCheckSumField = "<CheckSum>";

// The next frame digit: 1..7, 0, 1 ... A counter that holds anything outside
// 0..7 is brought back into that range rather than giving a non-digit.
char NextFrameDigit(int8_t& frameCounter) {
    const int next = ((frameCounter + 1) % 8 + 8) % 8;
    frameCounter = static_cast<int8_t>(next);
    return static_cast<char>('0' + next);
}

std::string ComposeText(std::string_view line, const CComSetting& settings, int8_t& frameCounter,
                        std::string* emptiedBy) {
    std::string text;
    text.reserve(settings.Preamble.size() + line.size() + settings.Postamble.size());
    text.append(settings.Preamble).append(line).append(settings.Postamble);
    std::string bytes = UnescapeCtrlChars(text);
    if (settings.SenDataEncodeCov > 0 && !bytes.empty()) {
        std::string failure;
        if (ConvertSendEncoding(bytes, settings, &failure) == 0 && emptiedBy != nullptr) {
            *emptiedBy = failure;
        }
    }
    ReplaceChar(bytes, settings);
    ApplyFrameFields(bytes, settings, frameCounter);
    return bytes;
}

// Hexadecimal text with a check at the end. Text that is not hexadecimal
// gives nothing to send: a check over no bytes would go out in its place.
std::string ComposeHexWithCheck(std::string_view hexText, const CComSetting& settings,
                                int8_t& frameCounter) {
    std::string bytes;
    if (!HexTextToBytes(hexText, bytes)) return {};
    bytes.append(kCheckSumField);
    ApplyFrameFields(bytes, settings, frameCounter);
    return bytes;
}

std::string ComposeHex(std::string_view line, const CComSetting& settings, int8_t& frameCounter) {
    // A placeholder inside the line ends the hexadecimal text; what follows it
    // is dropped, and Preamble and Postamble play no part.
    const size_t field = line.find(kCheckSumField);
    if (field != std::string_view::npos && field > 0) {
        return ComposeHexWithCheck(line.substr(0, field), settings, frameCounter);
    }
    if (settings.UsedCheckSum != 0 && settings.Postamble == kCheckSumField) {
        return ComposeHexWithCheck(line, settings, frameCounter);
    }
    return HexTextToBytes(line);
}

}  // namespace

std::string ComposeOutgoing(std::string_view line, const CComSetting& settings,
                            int8_t& frameCounter, std::string* emptiedBy) {
    if (settings.HexSendData != 0) return ComposeHex(line, settings, frameCounter);
    return ComposeText(line, settings, frameCounter, emptiedBy);
}

int ApplyFrameFields(std::string& bytes, const CComSetting& settings, int8_t& frameCounter) {
    if (settings.UsedCheckSum == 0) return 0;
    const size_t frameField = bytes.find(kFrameNumberField);
    if (frameField != std::string::npos) {
        bytes.replace(frameField, kFrameNumberField.size(), 1, NextFrameDigit(frameCounter));
    }
    const size_t checkField = bytes.find(kCheckSumField);
    if (checkField == std::string::npos) return 2;
    const std::string check =
        CCheckSum().Compute(std::string_view(bytes).substr(0, checkField), settings.CheckSum);
    bytes.replace(checkField, kCheckSumField.size(), check);
    return 1;
}

int ReplaceChar(std::string& bytes, const CComSetting& settings) {
    if (settings.Replace_Old == 0 && settings.Replace_New == 0) return 0;
    const size_t at = bytes.find(static_cast<char>(settings.Replace_Old));
    if (at == std::string::npos) return 0;
    bytes[at] = static_cast<char>(settings.Replace_New);
    return 1;
}

int ConvertSendEncoding(std::string& bytes, const CComSetting& settings, std::string* failure) {
    if (settings.SenDataEncodeCov == 1) {
        bytes = ConvertCodePage(bytes, CP_ACP, CP_UTF8, failure);
    } else if (settings.SenDataEncodeCov == 2) {
        // UTF-16 code units, little-endian, without a byte-order mark.
        const std::u16string wide = ToWideText(bytes, CP_ACP, failure);
        bytes.assign(wide.size() * 2, '\0');
        for (size_t i = 0; i < wide.size(); ++i) {
            bytes[2 * i] = static_cast<char>(wide[i] & 0xFF);
            bytes[2 * i + 1] = static_cast<char>(wide[i] >> 8);
        }
    }
    return static_cast<int>(bytes.size());
}

}  // namespace qelvor
