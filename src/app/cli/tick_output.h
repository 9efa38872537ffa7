// One standard stream of qelvor-cli, written once a poll tick and never
// waiting for its reader: the runner appends the lines of a tick, Flush
// writes what the stream takes now and keeps the rest, up to a cap. A reader
// that falls further behind (a pipe nobody reads, a stopped terminal) loses
// the oldest lines not yet begun, counted, never the polling thread's time.
// Owning thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/cli/stream_writer.h"

namespace qelvor {

class CTickOutput {
  public:
    // The most bytes kept for a reader that falls behind.
    static constexpr size_t kCap = 4 * 1024 * 1024;

    explicit CTickOutput(int fd, size_t cap = kCap) : writer_(fd), cap_(cap) {}
    CTickOutput(const CTickOutput&) = delete;
    CTickOutput& operator=(const CTickOutput&) = delete;

    // Appends line and a line end.
    void AppendLine(std::string_view line);
    // Writes what the stream takes now, without waiting. After the reader
    // has gone (EPIPE) or the stream failed, the text is dropped uncounted
    // and ReaderGone() stays true.
    void Flush();
    // At the end: writes the rest while the reader keeps taking it, waiting
    // at most stall at a time and not at all once stopFd is readable; what is
    // left then counts as dropped.
    void Drain(int stopFd, std::chrono::milliseconds stall);
    bool ReaderGone() const { return gone_; }
    bool Empty() const { return head_ == text_.size(); }
    // The lines dropped in a run of drops, once the run has ended (everything
    // kept since was written); 0 before and after.
    uint64_t TakeDroppedLines();

  private:
    void MakeRoom(size_t size);
    size_t Held() const { return text_.size() - head_; }

    CStreamWriter writer_;
    size_t cap_;
    std::string text_;
    size_t head_ = 0;  // the bytes of text_ already written
    uint64_t dropped_ = 0;
    bool gone_ = false;
};

}  // namespace qelvor
