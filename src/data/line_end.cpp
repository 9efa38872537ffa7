#include "data/line_end.h"

namespace qelvor {

LineEnd LineEndOf(int value) {
    return value >= 0 && value <= 3 ? static_cast<LineEnd>(value) : LineEnd::None;
}

std::string WithLineEnd(const std::string& text, LineEnd end, bool hexText) {
    switch (end) {
        case LineEnd::None:
            return text;
        case LineEnd::Cr:
            return text + (hexText ? " 0D" : "<CR>");
        case LineEnd::Lf:
            return text + (hexText ? " 0A" : "<LF>");
        case LineEnd::CrLf:
            return text + (hexText ? " 0D 0A" : "<CR><LF>");
    }
    return text;
}

}  // namespace qelvor
