// The line end appended to typed text before it is sent: none, CR, LF or
// CR LF, written in the text's own form (notation, or hexadecimal pairs when
// the set sends hexadecimal text). Pure; any thread.
#pragma once

#include <string>

namespace qelvor {

enum class LineEnd : int { None = 0, Cr = 1, Lf = 2, CrLf = 3 };

// The line end a setting's number stands for; anything else is None.
LineEnd LineEndOf(int value);
// text with the line end, unchanged for None.
std::string WithLineEnd(const std::string& text, LineEnd end, bool hexText);

}  // namespace qelvor
