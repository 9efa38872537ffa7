// The rows the traffic list shows while a filter is on: the indexes of the
// records of the chosen types ('S', 'R', 'I'), optionally only those that
// match the find pattern, and which of those rows match it. Built in steps on
// the thread that owns the traffic store, never beside it: the store grows
// without a lock, and a step that ends at a deadline keeps the window
// responsive however large the store is. Not thread safe.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "traffic/record_matcher.h"

namespace qelvor {

class CMsgExchange;

class CRecordFilter {
  public:
    using Clock = std::chrono::steady_clock;

    struct Options {
        bool showSent = true;
        bool showReceived = true;
        bool showInfo = true;
        // Only rows that the find pattern matches; without a pattern, all.
        bool onlyMatching = false;
    };

    explicit CRecordFilter(const CMsgExchange& store) : store_(store) {}

    // Starts over with the options and the find pattern (none: no row is a
    // match). Rows() is empty until the next Step.
    void Reset(const Options& options, std::optional<CRecordMatcher> matcher);
    // Takes in records, those appended since the last step included, until
    // all are in or the deadline has passed; true when all are in. A store
    // cleared since the last step makes the filter start over.
    bool Step(Clock::time_point deadline);
    bool CaughtUp() const;
    // The part of the store taken in, 0..1 (1 for an empty store).
    double Progress() const;

    // The record indexes shown, ascending. After the store was cleared and
    // before the next Step they may name records that are gone.
    const std::vector<size_t>& Rows() const { return rows_; }
    // The rows (positions in Rows()) whose record the find pattern matches.
    const std::vector<size_t>& MatchRows() const { return matchRows_; }
    size_t MatchCount() const { return matchRows_.size(); }
    // The first match row after fromRow, or before it, going round when wrap
    // is set (a lone match is found again from itself); fromRow kNoRow
    // starts at the first (last) row. kNoRow when none matches.
    size_t NextMatch(size_t fromRow, bool wrap = true) const;
    size_t PreviousMatch(size_t fromRow, bool wrap = true) const;

    static constexpr size_t kNoRow = CRecordMatcher::kNoRow;

  private:
    bool TypeShown(char type) const;
    void TakeIn(size_t index);
    void StartOver();

    // How many records are taken in between two looks at the clock.
    static constexpr size_t kRecordsPerClockCheck = 256;

    const CMsgExchange& store_;
    Options options_;
    std::optional<CRecordMatcher> matcher_;
    uint64_t generation_ = 0;
    size_t taken_ = 0;
    std::vector<size_t> rows_;
    std::vector<size_t> matchRows_;
};

}  // namespace qelvor
