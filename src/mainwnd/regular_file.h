// Opening of the files the user names for loading and sending: only regular
// files are read, so that a FIFO or a device named by mistake can never block
// the engine's thread. Any thread.
#pragma once

#include <cstdint>
#include <string>

namespace qelvor {

class CRegularFile {
  public:
    CRegularFile() = default;
    ~CRegularFile();
    CRegularFile(const CRegularFile&) = delete;
    CRegularFile& operator=(const CRegularFile&) = delete;

    // Opens path for reading; false when it cannot be opened or is no
    // regular file.
    bool Open(const std::string& path);
    uint64_t Size() const { return size_; }
    // Reads up to size bytes at the current offset into buffer; the count
    // read, fewer only at the end of the file or on an error.
    size_t Read(char* buffer, size_t size);
    bool Seek(uint64_t offset);

    // Why path cannot be read as a regular file, naming it ("/x: No such
    // file or directory", "/x is a directory"); empty when it can.
    static std::string WhyUnreadable(const std::string& path);

  private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

}  // namespace qelvor
