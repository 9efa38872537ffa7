// The window's one crossing between the engine's strings, which hold bytes in
// the locale's character set, and Qt's strings. Every byte counts, NUL bytes
// included: a received record may hold them. Any thread.
#pragma once

#include <string>
#include <string_view>

#include <QString>

namespace qelvor {

// The bytes of text, as many as its size says, read in the locale's
// character set.
QString LocalText(std::string_view bytes);

// text in the locale's character set, one byte string of its full length.
std::string LocalBytes(const QString& text);

}  // namespace qelvor
