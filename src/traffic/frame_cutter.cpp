#include "traffic/frame_cutter.h"

#include <algorithm>
#include <utility>

namespace qelvor {

namespace {

// Finds, for each split string, its next occurrence at or after a start
// position that only moves forward. A string's last answer stays valid while
// it does not fall behind the start, so each string searches every byte of
// the block about once, however often the list's priority order restarts at
// its first string. Without this a first-listed string that never occurs
// would rescan the rest of the block for every frame.
class NextOccurrenceCache {
  public:
    NextOccurrenceCache(const std::vector<std::string>& splits, std::string_view bytes,
                        size_t unmatchedPrefix)
        : splits_(splits),
          bytes_(bytes),
          unmatchedPrefix_(unmatchedPrefix),
          entries_(splits.size()) {}

    size_t Find(size_t index, size_t start) {
        const std::string& split = splits_[index];
        // An empty split string would match everywhere; it never ends a frame.
        if (split.empty()) return std::string_view::npos;
        Entry& entry = entries_[index];
        if (!entry.searched ||
            (entry.position != std::string_view::npos && entry.position < start)) {
            entry.position = bytes_.find(split, std::max(start, Origin(split.size())));
            entry.searched = true;
        }
        return entry.position;
    }

  private:
    struct Entry {
        size_t position = std::string_view::npos;
        bool searched = false;
    };

    // The earliest position at which an occurrence can begin: none lies
    // wholly inside the bytes already searched by earlier blocks.
    size_t Origin(size_t length) const {
        return unmatchedPrefix_ >= length ? unmatchedPrefix_ - length + 1 : 0;
    }

    const std::vector<std::string>& splits_;
    std::string_view bytes_;
    size_t unmatchedPrefix_;
    std::vector<Entry> entries_;
};

}  // namespace

void CFrameCutter::SetSplits(std::vector<std::string> splits) {
    splits_ = std::move(splits);
    // The new split strings may occur in bytes that the old ones left.
    unmatchedPrefix_ = 0;
    splitsChanged_ = true;
}

void CFrameCutter::Feed(std::string_view bytes, const FrameFn& onFrame) {
    // Worked on in a local string: the callbacks may reach back here, and
    // nothing they do may move the bytes under the search.
    std::string pending = std::exchange(pending_, std::string());
    pending.append(bytes);
    const std::vector<std::string> splits = splits_;
    splitsChanged_ = false;
    size_t start = Cut(pending, splits, onFrame);
    while (pending.size() - start >= kChunk) {
        onFrame(pending.substr(start, kChunk), nullptr);
        start += kChunk;
    }
    pending.erase(0, start);
    pending_ = std::move(pending);
    // A list changed meanwhile brings strings the search of this block never
    // looked for: the next block searches every byte again.
    unmatchedPrefix_ = splitsChanged_ ? 0 : pending_.size();
}

size_t CFrameCutter::Cut(const std::string& pending, const std::vector<std::string>& splits,
                         const FrameFn& onFrame) {
    NextOccurrenceCache cache(splits, pending, unmatchedPrefix_);
    size_t start = 0;
    for (;;) {
        size_t index = 0;
        size_t position = std::string_view::npos;
        for (; index < splits.size(); ++index) {
            position = cache.Find(index, start);
            if (position != std::string_view::npos) break;
        }
        if (position == std::string_view::npos) return start;
        const size_t end = position + splits[index].size();
        onFrame(pending.substr(start, end - start), &splits[index]);
        start = end;
    }
}

std::string CFrameCutter::TakePending() {
    unmatchedPrefix_ = 0;
    return std::exchange(pending_, std::string());
}

}  // namespace qelvor
