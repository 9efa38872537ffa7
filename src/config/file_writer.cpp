#include "config/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qelvor {

static_assert(CFileWriter::kNotRegularFile == EINVAL);

CFileWriter::~CFileWriter() {
    if (fd_ >= 0) ::close(fd_);
}

int CFileWriter::Create(const std::string& path, Mode mode) {
    if (fd_ >= 0) Close();
    // O_NONBLOCK keeps a named pipe or a device in the file's place from
    // holding the caller up in open; it changes nothing for a regular file
    // and is cleared once the file is known to be one.
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK |
                      (mode == Mode::Append ? O_APPEND : O_TRUNC);
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return errno;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return kNotRegularFile;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    fd_ = fd;
    return 0;
}

int CFileWriter::Write(std::string_view bytes) {
    if (fd_ < 0) return EBADF;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return ENOSPC;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

int CFileWriter::Close() {
    if (fd_ < 0) return EBADF;
    const int fd = fd_;
    fd_ = -1;
    // The descriptor is gone after close even when it reports an error, so
    // it is never closed twice; EINTR is not retried for the same reason.
    return ::close(fd) == 0 ? 0 : errno;
}

int CFileWriter::WriteFile(const std::string& path, std::string_view bytes, Mode mode) {
    CFileWriter file;
    int err = file.Create(path, mode);
    if (err != 0) return err;
    err = file.Write(bytes);
    const int closed = file.Close();
    return err != 0 ? err : closed;
}

}  // namespace qelvor
