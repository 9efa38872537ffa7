// Cuts a received byte stream into frames: each frame ends with the first of
// the split strings (in the list's order of priority) found after the last
// frame, the split string staying part of it. Bytes no split string ends
// wait for the next block, and are handed on in whole chunks once they reach
// kChunk, so what waits stays bounded. One thread at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qelvor {

class CFrameCutter {
  public:
    // The bytes that wait are handed on in chunks of this size.
    static constexpr size_t kChunk = 8192;
    // A frame and the split string that ended it (valid during the call;
    // null for a chunk no split string ended).
    using FrameFn = std::function<void(std::string frame, const std::string* split)>;

    // The split strings, in priority order; an empty one never ends a frame.
    // May be called from within a Feed's callback: the block being cut keeps
    // the list it began with.
    void SetSplits(std::vector<std::string> splits);
    const std::vector<std::string>& Splits() const { return splits_; }

    // Appends a block and calls onFrame for each frame it completes, in
    // order. While onFrame runs, Pending() is empty.
    void Feed(std::string_view bytes, const FrameFn& onFrame);
    // The bytes waiting for a split string, emptied.
    std::string TakePending();
    const std::string& Pending() const { return pending_; }

  private:
    size_t Cut(const std::string& pending, const std::vector<std::string>& splits,
               const FrameFn& onFrame);

    std::vector<std::string> splits_;
    std::string pending_;
    // The first unmatchedPrefix_ pending bytes hold no whole split string of
    // the current list: the next block's search need not look there again.
    size_t unmatchedPrefix_ = 0;
    bool splitsChanged_ = false;
};

}  // namespace qelvor
