#include "log/zip_writer.h"

#include <fcntl.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace qelvor {

namespace {

// From this size on an entry gets the zip64 fields: deflate may add a little
// to incompressible data, so the margin keeps the packed size below 4 GiB
// too. Smaller entries stay in the plain format every reader knows.
constexpr off_t kZip64From = 0xffffffffLL - (0xffffffffLL >> 10);

constexpr const char* kNotZip = "not a zip archive; the file is left as it is";

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

PackedFile IdentityOf(const struct stat& st) {
    PackedFile file;
    file.device = st.st_dev;
    file.inode = st.st_ino;
    file.size = st.st_size;
    file.modified = st.st_mtim;
    return file;
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

// True when the file starts like a zip archive: a local file header, or the
// end record alone of an archive without entries. An empty file holds
// nothing to lose and may be replaced too.
bool LooksLikeZip(int fd) {
    unsigned char head[4] = {};
    const ssize_t n = ::read(fd, head, sizeof head);
    if (n == 0) return true;
    if (n != 4 || head[0] != 'P' || head[1] != 'K') return false;
    return (head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6);
}

// 0 when an archive may take the place of what is at path: nothing, an empty
// file or a zip archive. Else the reason, as an errno value.
int CheckTarget(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    // A named pipe would wait for ever for a reader, and a device is never
    // written into; only a regular file, or none yet, is replaced.
    if (!S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno;
    FdCloser closer(fd);
    return LooksLikeZip(fd) ? 0 : EEXIST;
}

// minizip writes through a stream on a duplicate of the temporary file's
// descriptor: the file was made exclusively, never opened again by name, and
// the original descriptor outlives the stream for fsync.
voidpf OpenDuplicate(voidpf, const void* fdPointer, int) {
    const int fd = ::fcntl(*static_cast<const int*>(fdPointer), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    std::FILE* stream = ::fdopen(fd, "wb");
    if (stream == nullptr) ::close(fd);
    return stream;
}

bool SyncFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

void PutLittleEndian(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xff);
}

}  // namespace

bool PackedFile::UnchangedAt(const std::string& diskPath) const {
    struct stat st {};
    if (::lstat(diskPath.c_str(), &st) != 0) return false;
    if (S_ISLNK(st.st_mode) && ::stat(diskPath.c_str(), &st) != 0) return false;
    return st.st_dev == device && st.st_ino == inode && st.st_size == size &&
           st.st_mtim.tv_sec == modified.tv_sec && st.st_mtim.tv_nsec == modified.tv_nsec;
}

CZipWriter::~CZipWriter() {
    Abandon();
}

bool CZipWriter::Create(const std::string& archivePath) {
    Abandon();
    error_.clear();
    const int refused = CheckTarget(archivePath);
    if (refused != 0) {
        error_ = refused == EEXIST ? kNotZip : std::strerror(refused);
        errno = refused;
        return false;
    }
    entries_ = 0;
    if (!OpenTemporary(archivePath)) return Fail(errno);
    zlib_filefunc64_def files{};
    fill_fopen64_filefunc(&files);
    files.zopen64_file = OpenDuplicate;
    zip_ = zipOpen2_64(&fd_, APPEND_STATUS_CREATE, nullptr, &files);
    if (zip_ == nullptr) return Fail(errno != 0 ? errno : ENOMEM);
    targetPath_ = archivePath;
    return true;
}

// The temporary is hidden (".NAME.XXXXXX") in the target's folder, so the
// rename stays on one file system; it is made with the mode a new file gets.
bool CZipWriter::OpenTemporary(const std::string& archivePath) {
    const size_t slash = archivePath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : archivePath.substr(0, slash + 1);
    const std::string base = archivePath.substr(folder.size());
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = folder + "." + base + ".";
        for (int i = 0; i < 6; ++i)
            name += kLetters[pick(random)];
        fd_ = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            tempPath_ = name;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool CZipWriter::AddFile(const std::string& diskPath, const std::string& entryName,
                         PackedFile* packed) {
    if (zip_ == nullptr || entryName.empty()) return false;
    // O_NONBLOCK: opening a named pipe would otherwise wait for a writer
    // forever; it is refused below as not a regular file.
    int fd = ::open(diskPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    FdCloser closer(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;

    zip_fileinfo info = InfoFromStat(st);
    const int zip64 = st.st_size >= kZip64From ? 1 : 0;
    int rc = zipOpenNewFileInZip3_64(zip_, entryName.c_str(), &info, nullptr, 0, nullptr, 0,
                                     nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS,
                                     DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, zip64);
    if (rc != ZIP_OK) return false;
    ++entries_;  // in the directory from here on, whatever happens below
    off_t copied = 0;
    bool read = CopyIntoEntry(fd, st.st_size, copied);
    bool closed = zipCloseFileInZip(zip_) == ZIP_OK;
    if (packed != nullptr) {
        *packed = IdentityOf(st);
        // A file that shrank while read is not what its identity says.
        if (copied != st.st_size) packed->size = -1;
    }
    return read && closed;
}

// Copies the size the file had when it was opened: bytes appended while
// packing are left for the next run, and the entry matches the identity.
bool CZipWriter::CopyIntoEntry(int fd, off_t size, off_t& copied) {
    buffer_.resize(64 * 1024);  // kept from file to file: a folder of small files is common
    while (copied < size) {
        const auto want =
            static_cast<size_t>(std::min<off_t>(size - copied, static_cast<off_t>(buffer_.size())));
        ssize_t n = ::read(fd, buffer_.data(), want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (zipWriteInFileInZip(zip_, buffer_.data(), static_cast<unsigned>(n)) != ZIP_OK) {
            return false;
        }
        copied += n;
    }
    return true;
}

bool CZipWriter::Close() {
    if (zip_ == nullptr) {
        error_ = "no archive is open";
        return false;
    }
    errno = 0;
    const int rc = zipClose(zip_, nullptr);
    zip_ = nullptr;
    if (rc != ZIP_OK) return Fail(errno != 0 ? errno : EIO);
    if (entries_ >= 0xffff && !AddZip64EndRecords()) return Fail(errno != 0 ? errno : EIO);
    // The bytes reach the disk before the name does, so that a crash leaves
    // either the earlier archive or the whole new one.
    if (::fsync(fd_) != 0) return Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail(errno);
    if (::rename(tempPath_.c_str(), targetPath_.c_str()) != 0) return Fail(errno);
    tempPath_.clear();
    if (!SyncFolderOf(targetPath_)) return Fail(errno);
    return true;
}

// minizip (1.1, as Debian 12 ships it) puts 0xFFFF, "see the zip64 record",
// in the end record's entry counts from 65,535 entries on, but writes that
// record only for an archive past 4 GiB; readers then find no more than the
// first 65,535 entries, or none. The zip64 end record and its locator go in
// before the end record, which moves behind them unchanged.
bool CZipWriter::AddZip64EndRecords() {
    constexpr off_t kEndSize = 22;
    constexpr off_t kLocatorSize = 20;
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    std::string tail(kLocatorSize + kEndSize, '\0');
    errno = EIO;
    if (size < static_cast<off_t>(tail.size()) ||
        ::pread(fd_, tail.data(), tail.size(), size - static_cast<off_t>(tail.size())) !=
            static_cast<ssize_t>(tail.size())) {
        return false;
    }
    const std::string end = tail.substr(kLocatorSize);
    if (end.compare(0, 4, "PK\x05\x06") != 0) return false;
    if (tail.compare(0, 4, "PK\x06\x07") == 0) return true;  // written for a big archive
    const off_t recordAt = size - kEndSize;
    std::string records = "PK\x06\x06";
    PutLittleEndian(records, 44, 8);  // the size of the rest of this record
    PutLittleEndian(records, 45, 2);  // made by and needed: version 4.5, zip64
    PutLittleEndian(records, 45, 2);
    PutLittleEndian(records, 0, 8);  // this disk, the directory's disk
    PutLittleEndian(records, entries_, 8);
    PutLittleEndian(records, entries_, 8);
    records += end.substr(12, 4) + std::string(4, '\0');  // the directory's size
    records += end.substr(16, 4) + std::string(4, '\0');  // and where it starts
    records += "PK\x06\x07";
    PutLittleEndian(records, 0, 4);
    PutLittleEndian(records, static_cast<uint64_t>(recordAt), 8);
    PutLittleEndian(records, 1, 4);  // disks in all
    records += end;
    return ::pwrite(fd_, records.data(), records.size(), recordAt) ==
           static_cast<ssize_t>(records.size());
}

void CZipWriter::Abandon() {
    if (zip_ != nullptr) zipClose(zip_, nullptr);
    zip_ = nullptr;
    RemoveTemporary();
}

bool CZipWriter::Fail(int err) {
    error_ = std::strerror(err);
    Abandon();
    errno = err;
    return false;
}

void CZipWriter::RemoveTemporary() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    tempPath_.clear();
}

}  // namespace qelvor
