#include "traffic/record_filter.h"

#include <algorithm>

#include "traffic/msg_exchange.h"

namespace qelvor {

void CRecordFilter::Reset(const Options& options, std::optional<CRecordMatcher> matcher) {
    options_ = options;
    matcher_ = std::move(matcher);
    StartOver();
}

void CRecordFilter::StartOver() {
    generation_ = store_.Generation();
    taken_ = 0;
    rows_.clear();
    matchRows_.clear();
}

bool CRecordFilter::TypeShown(char type) const {
    switch (type) {
        case 'S':
            return options_.showSent;
        case 'R':
        case 'A':  // what the two sides of a tap sent
        case 'B':
            return options_.showReceived;
        default:
            return options_.showInfo;
    }
}

void CRecordFilter::TakeIn(size_t index) {
    const CMsgRecord& record = store_.Record(index);
    if (!TypeShown(record.Type())) return;
    const bool match = matcher_ && matcher_->Matches(record);
    if (options_.onlyMatching && matcher_ && !match) return;
    if (match) matchRows_.push_back(rows_.size());
    rows_.push_back(index);
}

bool CRecordFilter::Step(Clock::time_point deadline) {
    if (store_.Generation() != generation_) StartOver();
    const size_t count = store_.RecordCount();
    while (taken_ < count) {
        const size_t end = std::min(count, taken_ + kRecordsPerClockCheck);
        for (; taken_ < end; ++taken_)
            TakeIn(taken_);
        if (Clock::now() >= deadline) break;
    }
    return taken_ == count;
}

bool CRecordFilter::CaughtUp() const {
    return store_.Generation() == generation_ && taken_ == store_.RecordCount();
}

double CRecordFilter::Progress() const {
    const size_t count = store_.RecordCount();
    if (store_.Generation() != generation_) return count == 0 ? 1.0 : 0.0;
    return count == 0 ? 1.0 : static_cast<double>(taken_) / static_cast<double>(count);
}

size_t CRecordFilter::NextMatch(size_t fromRow, bool wrap) const {
    if (matchRows_.empty()) return kNoRow;
    if (fromRow == kNoRow) return matchRows_.front();
    const auto next = std::upper_bound(matchRows_.begin(), matchRows_.end(), fromRow);
    if (next != matchRows_.end()) return *next;
    return wrap ? matchRows_.front() : kNoRow;
}

size_t CRecordFilter::PreviousMatch(size_t fromRow, bool wrap) const {
    if (matchRows_.empty()) return kNoRow;
    if (fromRow == kNoRow) return matchRows_.back();
    const auto next = std::lower_bound(matchRows_.begin(), matchRows_.end(), fromRow);
    if (next != matchRows_.begin()) return *std::prev(next);
    return wrap ? matchRows_.back() : kNoRow;
}

}  // namespace qelvor
