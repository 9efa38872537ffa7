#include "traffic/file_block_cache.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qelvor {

namespace {

// A read of at least this many bytes bypasses the blocks: a large record
// would only push out the blocks a walk over small ones still needs.
constexpr size_t kDirectRead = 4 * CFileBlockCache::kBlockSize;

bool ReadFully(int fd, uint64_t offset, size_t length, char* out, size_t* got) {
    *got = 0;
    while (*got < length) {
        const ssize_t n = pread(fd, out + *got, length - *got, static_cast<off_t>(offset + *got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0;
        *got += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

CFileBlockCache::CFileBlockCache() : memory_(new char[kBlockSize * kBlockCount]) {}

void CFileBlockCache::Attach(int fd) {
    fd_ = fd;
    Forget();
}

void CFileBlockCache::Forget(uint64_t offset) {
    for (Block& block : blocks_)
        if (block.start != UINT64_MAX && block.start + block.size > offset) block = Block{};
}

bool CFileBlockCache::Read(uint64_t offset, size_t length, char* out) {
    if (fd_ < 0) return false;
    if (length >= kDirectRead) {
        size_t got = 0;
        return ReadFully(fd_, offset, length, out, &got) && got == length;
    }
    while (length > 0) {
        size_t available = 0;
        const char* data = BlockAt(offset, &available);
        if (data == nullptr || available == 0) return false;
        const size_t take = available < length ? available : length;
        std::memcpy(out, data, take);
        out += take;
        offset += take;
        length -= take;
    }
    return true;
}

const char* CFileBlockCache::BlockAt(uint64_t offset, size_t* available) {
    const uint64_t start = offset - offset % kBlockSize;
    size_t slot = kBlockCount;
    for (size_t i = 0; i < kBlockCount; ++i)
        if (blocks_[i].start == start) slot = i;
    // A block read short may have grown since: read it again.
    if (slot == kBlockCount || blocks_[slot].start + blocks_[slot].size <= offset) {
        if (slot == kBlockCount) slot = Evictee();
        size_t got = 0;
        if (!ReadFully(fd_, start, kBlockSize, memory_.get() + slot * kBlockSize, &got)) {
            blocks_[slot] = Block{};
            return nullptr;
        }
        blocks_[slot].start = start;
        blocks_[slot].size = got;
    }
    blocks_[slot].lastUse = ++clock_;
    const size_t within = static_cast<size_t>(offset - start);
    *available = blocks_[slot].size > within ? blocks_[slot].size - within : 0;
    return memory_.get() + slot * kBlockSize + within;
}

size_t CFileBlockCache::Evictee() const {
    size_t oldest = 0;
    for (size_t i = 1; i < kBlockCount; ++i)
        if (blocks_[i].lastUse < blocks_[oldest].lastUse) oldest = i;
    return oldest;
}

}  // namespace qelvor
