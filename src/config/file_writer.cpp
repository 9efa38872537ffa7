#include "config/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace qelvor {

static_assert(CFileWriter::kNotRegularFile == EINVAL);

namespace {

// Flags every open here shares. O_NONBLOCK keeps a named pipe or a device in
// the file's place from holding the caller up in open; it changes nothing for
// a regular file and is cleared once the file is known to be one.
constexpr int kOpenFlags = O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// The file a whole-file write replaces, and the permission bits it had.
struct ReplaceTarget {
    std::string path;
    mode_t mode = 0;
    bool exists = false;
};

// Opens path for writing as a write in place would, without creating or
// emptying it, so that a folder, a named pipe, a device or a file the user may
// not write is refused with the error it always gave. A missing file is no
// error: the folder is tried when the temporary file is made in it. A link is
// followed, so that the file it names is replaced and the link stays.
int InspectTarget(const std::string& path, ReplaceTarget& target) {
    target = ReplaceTarget{path, 0, false};
    const int fd = ::open(path.c_str(), kOpenFlags);
    if (fd < 0) return errno == ENOENT ? 0 : errno;
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!regular) return CFileWriter::kNotRegularFile;
    target.exists = true;
    target.mode = info.st_mode & 0777;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        target.path = real;
        std::free(real);
    }
    return 0;
}

// A name for the new content beside path: hidden, and unique among the
// writers of this process and of others (the pid) so that two saves of one
// file never share it.
std::string TemporaryBeside(const std::string& path) {
    static std::atomic<unsigned> serial{0};
    const size_t slash = path.rfind('/');
    const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    // Short enough that the suffix never makes the name too long.
    const std::string name = path.substr(nameAt, NAME_MAX - 40);
    return path.substr(0, nameAt) + "." + name + "." + std::to_string(::getpid()) + "-" +
           std::to_string(serial++) + ".tmp";
}

}  // namespace

CFileWriter::~CFileWriter() {
    if (fd_ >= 0) ::close(fd_);
}

int CFileWriter::Create(const std::string& path, Mode mode) {
    if (fd_ >= 0) Close();
    return Open(path, O_CREAT | (mode == Mode::Append ? O_APPEND : O_TRUNC));
}

int CFileWriter::Open(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), kOpenFlags | flags, 0644);
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
    startSize_ = static_cast<uint64_t>(info.st_size);
    written_ = 0;
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
        written_ += static_cast<uint64_t>(n);
    }
    return 0;
}

int CFileWriter::CutBack(uint64_t keep) {
    if (fd_ < 0) return EBADF;
    if (keep > written_) keep = written_;
    const auto size = static_cast<off_t>(startSize_ + keep);
    while (::ftruncate(fd_, size) != 0) {
        if (errno != EINTR) return errno;
    }
    written_ = keep;
    return 0;
}

int CFileWriter::Sync() {
    if (fd_ < 0) return EBADF;
    return ::fsync(fd_) == 0 ? 0 : errno;
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
    if (mode == Mode::Truncate) return ReplaceFile(path, bytes);
    CFileWriter file;
    int err = file.Create(path, Mode::Append);
    if (err != 0) return err;
    err = file.Write(bytes);
    if (err != 0) file.CutBack(0);
    const int closed = file.Close();
    return err != 0 ? err : closed;
}

int CFileWriter::ReplaceFile(const std::string& path, std::string_view bytes) {
    ReplaceTarget target;
    int err = InspectTarget(path, target);
    if (err != 0) return err;
    CFileWriter file;
    std::string temporary;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryBeside(target.path);
        err = file.Open(temporary, O_CREAT | O_EXCL);
        if (err != EEXIST) break;
    }
    if (err != 0) return err;
    if (target.exists && ::fchmod(file.fd_, target.mode) != 0) err = errno;
    if (err == 0) err = file.Write(bytes);
    // On the disk before the rename, so that a crash right after it never
    // leaves an empty file where the old one was.
    if (err == 0) err = file.Sync();
    const int closed = file.Close();
    if (err == 0) err = closed;
    if (err == 0 && ::rename(temporary.c_str(), target.path.c_str()) != 0) err = errno;
    if (err != 0) ::unlink(temporary.c_str());
    return err;
}

}  // namespace qelvor
