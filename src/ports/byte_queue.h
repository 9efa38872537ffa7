// A bounded first-in first-out queue of bytes, kept in large chunks, that one
// thread fills while another empties it; every call may come from any thread.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

namespace StreamPort {

class CByteQueue {
  public:
    explicit CByteQueue(size_t capacity);
    CByteQueue(const CByteQueue&) = delete;
    CByteQueue& operator=(const CByteQueue&) = delete;

    // Appends at most Room() bytes of the given ones; how many it took.
    size_t Append(const char* bytes, size_t length);
    // Moves at most size bytes from the front into buffer; how many it moved.
    size_t Take(char* buffer, size_t size);
    size_t Size() const;
    // Bytes that may still be appended before the queue is full.
    size_t Room() const;
    void Clear();

  private:
    const size_t capacity_;
    mutable std::mutex lock_;
    // The front chunk is read from frontOffset_ on; only the back one grows.
    std::deque<std::vector<char>> chunks_;
    size_t frontOffset_ = 0;
    size_t size_ = 0;
};

}  // namespace StreamPort
