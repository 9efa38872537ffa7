#include "data/text_split.h"

namespace qelvor {

std::vector<std::string_view> SplitAt(std::string_view text, char delimiter) {
    std::vector<std::string_view> pieces;
    size_t from = 0;
    for (size_t at = text.find(delimiter); at != std::string_view::npos;
         at = text.find(delimiter, from)) {
        pieces.push_back(text.substr(from, at - from));
        from = at + 1;
    }
    pieces.push_back(text.substr(from));
    return pieces;
}

}  // namespace qelvor
