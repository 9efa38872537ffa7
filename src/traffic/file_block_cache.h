// A few blocks of a file read with pread and kept for the next reads, so that
// walking the records of a session file costs one system call per block, not
// one per record, and the memory it takes stays the same at any file size.
// One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qelvor {

class CFileBlockCache {
  public:
    static constexpr size_t kBlockSize = 64 * 1024;
    static constexpr size_t kBlockCount = 16;

    CFileBlockCache();
    // The file to read; forgets the blocks of the one before.
    void Attach(int fd);
    // Forgets every block from offset on (the file was cut or rewritten there).
    void Forget(uint64_t offset = 0);
    // Copies length bytes at offset into out; false when the file holds
    // fewer (a short read) or cannot be read.
    bool Read(uint64_t offset, size_t length, char* out);

  private:
    struct Block {
        uint64_t start = UINT64_MAX;
        size_t size = 0;
        uint64_t lastUse = 0;
    };
    // The block that holds offset, read when missing; null on a read error.
    const char* BlockAt(uint64_t offset, size_t* available);
    size_t Evictee() const;

    int fd_ = -1;
    uint64_t clock_ = 0;
    Block blocks_[kBlockCount];
    std::unique_ptr<char[]> memory_;
};

}  // namespace qelvor
