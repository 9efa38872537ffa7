#include "mainwnd/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qelvor {

CRegularFile::~CRegularFile() {
    if (fd_ >= 0) close(fd_);
}

bool CRegularFile::Open(const std::string& path) {
    // O_NONBLOCK keeps the open itself from waiting for a FIFO's writer.
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) return false;
    struct stat info {};
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    size_ = static_cast<uint64_t>(info.st_size);
    return true;
}

size_t CRegularFile::Read(char* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd_, buffer + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool CRegularFile::Seek(uint64_t offset) {
    return lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

std::string CRegularFile::WhyUnreadable(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return path + ": " + std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return path + " is a directory";
    if (!S_ISREG(info.st_mode)) return path + " is not a regular file";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return path + ": " + std::strerror(errno);
    close(fd);
    return std::string();
}

}  // namespace qelvor
