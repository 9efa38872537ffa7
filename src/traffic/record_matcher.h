// Whether a traffic record holds what the user looks for: a piece of text as
// the traffic list shows it, a regular expression over that text, or a byte
// pattern with "??" wildcards; and the next, previous and all matching rows.
// Call on the thread that owns the traffic store. A matcher keeps no state
// while it matches, so copies may be used on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "traffic/record_store.h"

namespace re2 {
class RE2;
}

namespace qelvor {

enum class MatchMode { kText, kRegex, kHex };

class CRecordMatcher {
  public:
    // The rows a find walks: every record of the store, or the records an
    // index (a filter's rows, ascending) names.
    struct Rows {
        const CRecordStore& records;
        const std::vector<size_t>* index = nullptr;
        size_t Count() const { return index ? index->size() : records.size(); }
        CMsgRecord At(size_t row) const { return records[index ? (*index)[row] : row]; }
    };
    static constexpr size_t kNoRow = SIZE_MAX;

    // A matcher for the pattern, with text and regular expressions applied to
    // the record as shown in the style showDataFmt; nullopt when the pattern
    // is empty or does not parse, with error set to a text for the user.
    static std::optional<CRecordMatcher> Create(MatchMode mode, std::string_view pattern,
                                                int showDataFmt, std::string* error);

    bool Matches(const CMsgRecord& record) const;
    bool Matches(char type, std::string_view bytes) const;

    // The first matching row after from, going on at the first row when wrap
    // is set (as editors do: the search goes round, and a lone match is found
    // again from itself); from kNoRow starts at the first row. kNoRow when
    // no row matches.
    size_t FindNext(const Rows& rows, size_t from, bool wrap = true) const;
    // The same backwards: before from, going on at the last row; from kNoRow
    // starts at the last row.
    size_t FindPrevious(const Rows& rows, size_t from, bool wrap = true) const;
    size_t Count(const Rows& rows) const;

    MatchMode Mode() const { return mode_; }

  private:
    // One byte of a hex pattern; a wildcard matches any byte.
    struct PatternByte {
        uint8_t value;
        bool wildcard;
    };

    CRecordMatcher(MatchMode mode, int showDataFmt) : mode_(mode), style_(showDataFmt) {}
    static bool ParseHexPattern(std::string_view pattern, std::vector<PatternByte>& bytes,
                                std::string* error);
    bool CompileRegex(std::string_view pattern, std::string* error);
    // The record's text in the style; a view of the bytes themselves when
    // the style shows them unchanged, else of scratch.
    std::string_view ShownText(char type, std::string_view bytes, std::string& scratch) const;
    bool MatchesHex(std::string_view bytes) const;
    bool HexMatchesAt(std::string_view bytes, size_t pos) const;

    MatchMode mode_;
    int style_;
    std::string text_;
    std::shared_ptr<const re2::RE2> regex_;
    std::vector<PatternByte> hex_;
    // The first pattern byte that is no wildcard, the search's anchor;
    // hex_.size() when the pattern is all wildcards.
    size_t anchor_ = 0;
};

}  // namespace qelvor
