#include "ports/byte_queue.h"

#include <algorithm>
#include <cstring>

namespace StreamPort {

namespace {

// Large enough that a flood costs one allocation per 256 KiB, small enough
// that a trickle of bytes does not hold much memory.
constexpr size_t kChunkSize = 256 * 1024;

}  // namespace

CByteQueue::CByteQueue(size_t capacity) : capacity_(capacity) {}

size_t CByteQueue::Append(const char* bytes, size_t length) {
    std::lock_guard<std::mutex> guard(lock_);
    const size_t taken = std::min(length, capacity_ - size_);
    size_t done = 0;
    while (done < taken) {
        if (chunks_.empty() || chunks_.back().size() == kChunkSize) {
            chunks_.emplace_back();
            chunks_.back().reserve(kChunkSize);
        }
        std::vector<char>& back = chunks_.back();
        const size_t piece = std::min(taken - done, kChunkSize - back.size());
        back.insert(back.end(), bytes + done, bytes + done + piece);
        done += piece;
    }
    size_ += taken;
    return taken;
}

size_t CByteQueue::Take(char* buffer, size_t size) {
    std::lock_guard<std::mutex> guard(lock_);
    size_t done = 0;
    while (done < size && !chunks_.empty()) {
        const std::vector<char>& front = chunks_.front();
        const size_t piece = std::min(size - done, front.size() - frontOffset_);
        std::memcpy(buffer + done, front.data() + frontOffset_, piece);
        done += piece;
        frontOffset_ += piece;
        if (frontOffset_ == front.size()) {
            chunks_.pop_front();
            frontOffset_ = 0;
        }
    }
    size_ -= done;
    return done;
}

size_t CByteQueue::Size() const {
    std::lock_guard<std::mutex> guard(lock_);
    return size_;
}

size_t CByteQueue::Room() const {
    std::lock_guard<std::mutex> guard(lock_);
    return capacity_ - size_;
}

void CByteQueue::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    chunks_.clear();
    frontOffset_ = 0;
    size_ = 0;
}

}  // namespace StreamPort
