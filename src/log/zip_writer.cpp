#include "log/zip_writer.h"

#include <fcntl.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <vector>

namespace qelvor {

namespace {

// The entry carries the file's modification time, as archivers show it.
zip_fileinfo InfoFromStat(const struct stat& st) {
    zip_fileinfo info{};
    struct tm local {};
    time_t mtime = st.st_mtime;
    if (localtime_r(&mtime, &local) != nullptr) {
        info.tmz_date.tm_sec = static_cast<uInt>(local.tm_sec);
        info.tmz_date.tm_min = static_cast<uInt>(local.tm_min);
        info.tmz_date.tm_hour = static_cast<uInt>(local.tm_hour);
        info.tmz_date.tm_mday = static_cast<uInt>(local.tm_mday);
        info.tmz_date.tm_mon = static_cast<uInt>(local.tm_mon);
        info.tmz_date.tm_year = static_cast<uInt>(local.tm_year + 1900);
    }
    return info;
}

class FdCloser {
  public:
    explicit FdCloser(int fd) : fd_(fd) {}
    ~FdCloser() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;

  private:
    int fd_;
};

}  // namespace

CZipWriter::~CZipWriter() {
    Close();
}

bool CZipWriter::Create(const std::string& archivePath) {
    Close();
    // minizip opens the archive with fopen, which waits for ever for a reader
    // on a named pipe and would write into a device; only a regular file, or
    // none yet, is replaced. errno tells the caller why.
    struct stat st {};
    if (::stat(archivePath.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    // APPEND_STATUS_CREATE truncates an existing file, which is the replacing we want.
    zip_ = zipOpen64(archivePath.c_str(), APPEND_STATUS_CREATE);
    return zip_ != nullptr;
}

bool CZipWriter::AddFile(const std::string& diskPath, const std::string& entryName) {
    if (zip_ == nullptr || entryName.empty()) return false;
    // O_NONBLOCK: opening a named pipe would otherwise wait for a writer
    // forever; it is refused below as not a regular file.
    int fd = ::open(diskPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    FdCloser closer(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;

    zip_fileinfo info = InfoFromStat(st);
    const int zip64 = st.st_size >= 0xffffffffLL ? 1 : 0;
    int rc = zipOpenNewFileInZip3_64(zip_, entryName.c_str(), &info, nullptr, 0, nullptr, 0,
                                     nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS,
                                     DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, zip64);
    if (rc != ZIP_OK) return false;
    bool copied = CopyIntoEntry(fd);
    bool closed = zipCloseFileInZip(zip_) == ZIP_OK;
    return copied && closed;
}

bool CZipWriter::CopyIntoEntry(int fd) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (zipWriteInFileInZip(zip_, buffer.data(), static_cast<unsigned>(n)) != ZIP_OK) {
            return false;
        }
    }
}

bool CZipWriter::Close() {
    if (zip_ == nullptr) return false;
    int rc = zipClose(zip_, nullptr);
    zip_ = nullptr;
    return rc == ZIP_OK;
}

}  // namespace qelvor
