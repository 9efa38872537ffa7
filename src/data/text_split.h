// Cutting a record's text at one delimiter, as the ASTM and HL7 readers cut
// fields, repeats and components. Plain functions: any thread.
#pragma once

#include <string_view>
#include <vector>

namespace qelvor {

// The pieces of text between the delimiters, in order, views into text. An
// empty text is one empty piece; a delimiter at either end makes an empty
// piece there.
std::vector<std::string_view> SplitAt(std::string_view text, char delimiter);

}  // namespace qelvor
