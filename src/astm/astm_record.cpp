#include "astm/astm_record.h"

#include <cctype>

#include "data/text_split.h"

namespace qelvor::astm {

namespace {

// A delimiter must stand out from the data: no letter, digit, blank or
// control character, so that field text can never be mistaken for one.
bool UsableDelimiter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > 0x20 && byte < 0x7F && std::isalnum(byte) == 0;
}

char DelimiterOfEscape(char letter, const AstmDelimiters& d) {
    switch (letter) {
        case 'F':
            return d.field;
        case 'S':
            return d.component;
        case 'R':
            return d.repeat;
        case 'E':
            return d.escape;
        default:
            return 0;
    }
}

}  // namespace

bool CAstmRecord::ReadDelimiters(std::string_view header, AstmDelimiters& delimiters,
                                 std::string& why) {
    if (header.empty() || header[0] != 'H') {
        why = "not a header record";
        return false;
    }
    if (header.size() < 5) {
        why = "header declares fewer than four delimiters";
        return false;
    }
    const std::string_view four = header.substr(1, 4);
    for (size_t i = 0; i < four.size(); ++i) {
        if (!UsableDelimiter(four[i]) || four.find(four[i], i + 1) != std::string_view::npos) {
            why = "header delimiters \"" + std::string(four) + "\" are not four distinct marks";
            return false;
        }
    }
    if (header.size() > 5 && header[5] != four[0]) {
        why = "header delimiter definition is not followed by the field delimiter";
        return false;
    }
    delimiters = {four[0], four[1], four[2], four[3]};
    return true;
}

CAstmRecord CAstmRecord::Split(std::string_view record, const AstmDelimiters& delimiters) {
    CAstmRecord split;
    split.type_ = record.empty() ? '\0' : record[0];
    if (record.empty()) return split;
    const std::vector<std::string_view> fields = SplitAt(record, delimiters.field);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (split.type_ == 'H' && i == 1) {
            split.fields_.push_back({{std::string(fields[i])}});
            continue;
        }
        Field field;
        for (const std::string_view repeat : SplitAt(fields[i], delimiters.repeat)) {
            Components components;
            for (const std::string_view component : SplitAt(repeat, delimiters.component))
                components.push_back(Unescape(component, delimiters));
            field.push_back(std::move(components));
        }
        split.fields_.push_back(std::move(field));
    }
    return split;
}

CAstmRecord CAstmRecord::SplitInMessage(std::string_view record, AstmDelimiters& delimiters,
                                        std::string& why) {
    why.clear();
    if (!record.empty() && record[0] == 'H') ReadDelimiters(record, delimiters, why);
    return Split(record, delimiters);
}

std::string CAstmRecord::Unescape(std::string_view text, const AstmDelimiters& delimiters) {
    std::string plain;
    plain.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool shortSequence =
            c == delimiters.escape && i + 2 < text.size() && text[i + 2] == delimiters.escape;
        const char replacement = shortSequence ? DelimiterOfEscape(text[i + 1], delimiters) : 0;
        if (replacement == 0) {
            plain += c;
            continue;
        }
        plain += replacement;
        i += 2;
    }
    return plain;
}

const CAstmRecord::Field& CAstmRecord::FieldAt(size_t position) const {
    static const Field kNone;
    return position >= 1 && position <= fields_.size() ? fields_[position - 1] : kNone;
}

std::string CAstmRecord::Text(size_t position, size_t repeat, size_t component) const {
    const Field& field = FieldAt(position);
    if (repeat >= field.size() || component >= field[repeat].size()) return {};
    return field[repeat][component];
}

}  // namespace qelvor::astm
