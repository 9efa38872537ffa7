// One standard stream of qelvor-cli, written in one piece per poll tick: the
// runner appends every line of a tick and flushes once, so a flood of records
// costs one write() a tick instead of one a record. Owning thread only.
#pragma once

#include <string>
#include <string_view>

namespace qelvor {

class CTickOutput {
  public:
    explicit CTickOutput(int fd) : fd_(fd) {}
    CTickOutput(const CTickOutput&) = delete;
    CTickOutput& operator=(const CTickOutput&) = delete;

    void Append(std::string_view text);
    // Writes what was appended since the last flush; waits while the reader
    // is slow. After the reader has gone (EPIPE) or the stream failed, the
    // text is dropped and ReaderGone() stays true.
    void Flush();
    bool ReaderGone() const { return gone_; }
    bool Empty() const { return pending_.empty(); }

  private:
    bool WaitWritable();

    int fd_;
    std::string pending_;
    bool gone_ = false;
};

}  // namespace qelvor
