// Code-page conversions through iconv and the byte-order-mark test. The ANSI
// code page is the character set of the C library's locale; wide text is
// UTF-16 little-endian.
#pragma once

#include <string>
#include <string_view>

namespace qelvor {

inline constexpr int CP_ACP = 0;
inline constexpr int CP_UTF8 = 65001;

// A sequence that does not convert is replaced (by U+FFFD, or '?' where the
// target cannot hold it) and the rest converted. The result is empty only
// for an empty input or a conversion that is not available; then failure,
// when given, says why.

// Bytes in code page to UTF-16 code units.
std::u16string ToWideText(std::string_view bytes, int codePage, std::string* failure = nullptr);
// UTF-16 code units to bytes in code page.
std::string FromWideText(std::u16string_view text, int codePage, std::string* failure = nullptr);
// Through wide text.
std::string ConvertCodePage(std::string_view bytes, int sourceCodePage, int targetCodePage,
                            std::string* failure = nullptr);
// The bytes read as UTF-8 and written in the ANSI code page.
std::string DecodeUtf8ToAnsi(std::string_view bytes);
// Length of the byte-order mark at the start (0, 2, 3 or 4); a shorter input
// is taken as filled up with 0x00 to four bytes.
int DetectTextEncoding(std::string_view firstBytes);

}  // namespace qelvor
