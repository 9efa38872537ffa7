#include "traffic/record_matcher.h"

#include <re2/re2.h>

#include <algorithm>

#include "data/ctrl_char_notation.h"
#include "data/display_format.h"

namespace qelvor {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The most room the shown text of one record keeps between two matches.
constexpr size_t kKeptScratchBytes = 1 << 20;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool HasControlByte(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::string At(size_t pos) {
    return " at position " + std::to_string(pos + 1);
}

}  // namespace

std::optional<CRecordMatcher> CRecordMatcher::Create(MatchMode mode, std::string_view pattern,
                                                     int showDataFmt, std::string* error) {
    std::string ignored;
    std::string& why = error ? *error : ignored;
    why.clear();
    if (pattern.empty()) {
        why = "nothing to find: the pattern is empty";
        return std::nullopt;
    }
    CRecordMatcher matcher(mode, showDataFmt);
    switch (mode) {
        case MatchMode::kText:
            matcher.text_ = std::string(pattern);
            return matcher;
        case MatchMode::kRegex:
            if (!matcher.CompileRegex(pattern, &why)) return std::nullopt;
            return matcher;
        case MatchMode::kHex:
            if (!ParseHexPattern(pattern, matcher.hex_, &why)) return std::nullopt;
            matcher.anchor_ =
                static_cast<size_t>(std::find_if(matcher.hex_.begin(), matcher.hex_.end(),
                                                 [](const PatternByte& b) { return !b.wildcard; }) -
                                    matcher.hex_.begin());
            return matcher;
    }
    why = "unknown kind of pattern";
    return std::nullopt;
}

bool CRecordMatcher::CompileRegex(std::string_view pattern, std::string* error) {
    RE2::Options options;
    options.set_log_errors(false);
    auto regex =
        std::make_shared<const RE2>(re2::StringPiece(pattern.data(), pattern.size()), options);
    if (!regex->ok()) {
        *error = "bad regular expression: " + regex->error();
        return false;
    }
    regex_ = std::move(regex);
    return true;
}

// Pairs of hex digits and "??" wildcards; blanks may stand between bytes,
// never inside one.
bool CRecordMatcher::ParseHexPattern(std::string_view pattern, std::vector<PatternByte>& bytes,
                                     std::string* error) {
    size_t pos = 0;
    while (pos < pattern.size()) {
        const char c = pattern[pos];
        if (IsBlank(c)) {
            ++pos;
            continue;
        }
        const char next = pos + 1 < pattern.size() ? pattern[pos + 1] : '\0';
        if (c == '?' && next == '?') {
            bytes.push_back({0, true});
        } else if (HexDigit(c) >= 0 && HexDigit(next) >= 0) {
            bytes.push_back({static_cast<uint8_t>(HexDigit(c) * 16 + HexDigit(next)), false});
        } else if ((c == '?' || HexDigit(c) >= 0) && next != '\0' && next != '?' &&
                   !IsBlank(next) && HexDigit(next) < 0) {
            *error = std::string("hex pattern: '") + next + "' is no hex digit" + At(pos + 1);
            return false;
        } else if (c == '?' || HexDigit(c) >= 0) {
            *error = "hex pattern: a byte is two hex digits or ??" + At(pos);
            return false;
        } else {
            *error = std::string("hex pattern: '") + c + "' is no hex digit" + At(pos);
            return false;
        }
        pos += 2;
    }
    if (bytes.empty()) *error = "nothing to find: the hex pattern holds no byte";
    return !bytes.empty();
}

std::string_view CRecordMatcher::ShownText(char type, std::string_view bytes,
                                           std::string& scratch) const {
    // Raw style shows the bytes as they are, and the notation leaves bytes
    // without a control byte unchanged: no copy is made for those.
    const bool escaped = type == 'I' || (style_ != kStyleRaw && style_ != kStyleHex);
    if (style_ == kStyleRaw && type != 'I') return bytes;
    if (escaped && !HasControlByte(bytes)) return bytes;
    if (escaped)
        EscapeCtrlCharsInto(bytes, scratch);
    else
        scratch = FormatForDisplay(type, bytes, style_);
    return scratch;
}

bool CRecordMatcher::HexMatchesAt(std::string_view bytes, size_t pos) const {
    for (size_t i = 0; i < hex_.size(); ++i) {
        if (!hex_[i].wildcard && static_cast<uint8_t>(bytes[pos + i]) != hex_[i].value)
            return false;
    }
    return true;
}

bool CRecordMatcher::MatchesHex(std::string_view bytes) const {
    if (bytes.size() < hex_.size()) return false;
    const size_t last = bytes.size() - hex_.size();
    if (anchor_ == hex_.size()) return true;
    // Jump from one occurrence of the anchor byte to the next instead of
    // trying every position.
    const char anchor = static_cast<char>(hex_[anchor_].value);
    for (size_t at = bytes.find(anchor, anchor_); at != std::string_view::npos;
         at = bytes.find(anchor, at + 1)) {
        const size_t start = at - anchor_;
        if (start > last) return false;
        if (HexMatchesAt(bytes, start)) return true;
    }
    return false;
}

bool CRecordMatcher::Matches(char type, std::string_view bytes) const {
    if (mode_ == MatchMode::kHex) return MatchesHex(bytes);
    // Kept from one record to the next, so that a search over a large store
    // does not allocate a text per record.
    thread_local std::string scratch;
    const std::string_view text = ShownText(type, bytes, scratch);
    const bool found = mode_ == MatchMode::kText
                           ? text.find(text_) != std::string_view::npos
                           : RE2::PartialMatch(re2::StringPiece(text.data(), text.size()), *regex_);
    // The room a very large record needed is not kept for the rest of the run.
    if (scratch.capacity() > kKeptScratchBytes) std::string().swap(scratch);
    return found;
}

bool CRecordMatcher::Matches(const CMsgRecord& record) const {
    return Matches(record.Type(), record.Data());
}

size_t CRecordMatcher::FindNext(const Rows& rows, size_t from, bool wrap) const {
    const size_t count = rows.Count();
    const size_t start = from == kNoRow || from >= count ? 0 : from + 1;
    for (size_t row = start; row < count; ++row)
        if (Matches(rows.At(row))) return row;
    if (!wrap || from == kNoRow) return kNoRow;
    for (size_t row = 0; row < std::min(start, count); ++row)
        if (Matches(rows.At(row))) return row;
    return kNoRow;
}

size_t CRecordMatcher::FindPrevious(const Rows& rows, size_t from, bool wrap) const {
    const size_t count = rows.Count();
    const size_t end = from == kNoRow || from >= count ? count : from;
    for (size_t row = end; row-- > 0;)
        if (Matches(rows.At(row))) return row;
    if (!wrap || end == count) return kNoRow;
    for (size_t row = count; row-- > end;)
        if (Matches(rows.At(row))) return row;
    return kNoRow;
}

size_t CRecordMatcher::Count(const Rows& rows) const {
    size_t matches = 0;
    for (size_t row = 0; row < rows.Count(); ++row)
        matches += Matches(rows.At(row)) ? 1 : 0;
    return matches;
}

}  // namespace qelvor
