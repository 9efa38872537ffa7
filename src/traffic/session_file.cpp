#include "traffic/session_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qelvor {

namespace {

static_assert(std::endian::native == std::endian::little,
              "capture files are little-endian and written as the memory holds them");

constexpr char kDataMagic[8] = {'Q', 'E', 'L', 'V', 'O', 'R', 'C', 'P'};
constexpr char kIndexMagic[8] = {'Q', 'E', 'L', 'V', 'O', 'R', 'I', 'X'};
// The index is rebuilt and written in pieces of this many entries.
constexpr size_t kRebuildBatch = 65536;
// A batch buffer larger than this is handed back after its write.
constexpr size_t kKeptBufferBytes = 16u << 20;

template <typename T>
void Put(std::string& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

template <typename T>
T Get(const char* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

bool WriteAll(int fd, const char* data, size_t size, uint64_t offset) {
    while (size > 0) {
        const ssize_t n = pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

uint64_t FileSize(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

// A file no one else sees, for the index of a capture file that may not be
// written beside.
int AnonymousFile() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    std::string name = folder + "/qelvor-index-XXXXXX";
    fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) unlink(name.c_str());
    return fd;
}

}  // namespace

CSessionFile::~CSessionFile() {
    Close();
}

std::string CSessionFile::IndexPathOf(const std::string& dataPath) {
    const size_t suffix = std::strlen(kDataSuffix);
    const bool named = dataPath.size() > suffix &&
                       dataPath.compare(dataPath.size() - suffix, suffix, kDataSuffix) == 0;
    return (named ? dataPath.substr(0, dataPath.size() - suffix) : dataPath) + kIndexSuffix;
}

bool CSessionFile::Fail(const std::string& what, int error) {
    error_ = what + ": " + std::strerror(error);
    errorNumber_ = error;
    return false;
}

bool CSessionFile::Create(const std::string& dataPath, int64_t createdUnixSeconds) {
    Close();
    path_ = dataPath;
    dataFd_ = open(dataPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (dataFd_ < 0) return Fail(dataPath, errno);
    // The lock tells a later start that this capture is still being written.
    flock(dataFd_, LOCK_EX | LOCK_NB);
    created_ = createdUnixSeconds;
    std::string header(kDataMagic, sizeof kDataMagic);
    Put(header, kVersion);
    Put(header, flags_);
    Put(header, created_);
    Put(header, uint64_t{0});
    const std::string indexPath = IndexPathOf(dataPath);
    indexFd_ = open(indexPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (!WriteAll(dataFd_, header.data(), header.size(), 0) || indexFd_ < 0 ||
        !WriteIndexHeader()) {
        const int error = errno;
        Close();
        unlink(dataPath.c_str());
        unlink(indexPath.c_str());
        return Fail(dataPath, error);
    }
    writable_ = true;
    data_.Attach(dataFd_);
    index_.Attach(indexFd_);
    return true;
}

bool CSessionFile::WriteIndexHeader() {
    std::string header(kIndexMagic, sizeof kIndexMagic);
    Put(header, kVersion);
    Put(header, uint32_t{0});
    return WriteAll(indexFd_, header.data(), header.size(), 0) &&
           ftruncate(indexFd_, static_cast<off_t>(kIndexHeaderSize)) == 0;
}

bool CSessionFile::PeekHeader(const std::string& path, uint32_t* flags, int64_t* created) {
    CSessionFile file;
    file.path_ = path;
    file.dataFd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file.dataFd_ < 0) return false;
    file.data_.Attach(file.dataFd_);
    if (!file.ReadDataHeader()) return false;
    *flags = file.flags_;
    *created = file.created_;
    return true;
}

bool CSessionFile::OpenForReading(const std::string& dataPath) {
    Close();
    path_ = dataPath;
    dataFd_ = open(dataPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (dataFd_ < 0) return Fail(dataPath, errno);
    data_.Attach(dataFd_);
    if (!ReadDataHeader()) {
        Close();
        return false;
    }
    // A capture still being written by a running program keeps its index:
    // this reader's repairs go to a file of its own.
    const bool writer = flock(dataFd_, LOCK_SH | LOCK_NB) != 0;
    if (!OpenIndex(!writer)) {
        Close();
        return false;
    }
    const uint64_t start = IndexMatches() ? dataEnd_ : kDataHeaderSize;
    if (start == kDataHeaderSize) {
        count_ = 0;
        dataEnd_ = kDataHeaderSize;
    }
    if (!RebuildIndex(start)) {
        Close();
        return false;
    }
    lostBytes_ = FileSize(dataFd_) - dataEnd_;
    return true;
}

std::string CSessionFile::LostBytesNote() const {
    if (lostBytes_ == 0) return {};
    return "capture file: " + std::to_string(lostBytes_) + " bytes after record " +
           std::to_string(count_) + " are not a whole record and were left out";
}

bool CSessionFile::ReadDataHeader() {
    char header[kDataHeaderSize];
    if (!data_.Read(0, sizeof header, header) ||
        std::memcmp(header, kDataMagic, sizeof kDataMagic) != 0) {
        error_ = path_ + ": not a capture file";
        return false;
    }
    const auto version = Get<uint32_t>(header + 8);
    if (version > kVersion) {
        error_ = path_ + ": written by a newer version of the program (format " +
                 std::to_string(version) + ")";
        return false;
    }
    flags_ = Get<uint32_t>(header + 12);
    created_ = Get<int64_t>(header + 16);
    return true;
}

bool CSessionFile::OpenIndex(bool besideFile) {
    if (besideFile) indexFd_ = open(IndexPathOf(path_).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (indexFd_ < 0) indexFd_ = AnonymousFile();
    if (indexFd_ < 0) return Fail("index of " + path_, errno);
    index_.Attach(indexFd_);
    return true;
}

bool CSessionFile::IndexMatches() {
    char header[kIndexHeaderSize];
    const uint64_t size = FileSize(indexFd_);
    if (size < kIndexHeaderSize || !index_.Read(0, sizeof header, header) ||
        std::memcmp(header, kIndexMagic, sizeof kIndexMagic) != 0)
        return false;
    count_ = static_cast<size_t>((size - kIndexHeaderSize) / 8);
    dataEnd_ = FileSize(dataFd_);
    uint64_t first = 0;
    uint64_t last = 0;
    uint64_t packed = 0;
    uint32_t length = 0;
    if (count_ == 0) {
        dataEnd_ = kDataHeaderSize;
        return true;
    }
    if (!ReadOffset(0, &first) || first != kDataHeaderSize || !ReadOffset(count_ - 1, &last) ||
        !RecordAt(last, &packed, &length))
        return false;
    dataEnd_ = last + kRecordHeaderSize + length;
    return true;
}

bool CSessionFile::RebuildIndex(uint64_t from) {
    const uint64_t fileSize = FileSize(dataFd_);
    dataEnd_ = fileSize;
    if (ftruncate(indexFd_, static_cast<off_t>(kIndexHeaderSize + 8 * uint64_t{count_})) != 0 ||
        (count_ == 0 && !WriteIndexHeader()))
        return Fail("index of " + path_, errno);
    indexBuffer_.clear();
    uint64_t offset = from;
    uint64_t packed = 0;
    uint32_t length = 0;
    size_t pending = 0;
    while (RecordAt(offset, &packed, &length) && CMsgRecord::PlausiblePacked(packed)) {
        Put(indexBuffer_, offset);
        offset += kRecordHeaderSize + length;
        if (++pending < kRebuildBatch) continue;
        if (!WriteAll(indexFd_, indexBuffer_.data(), indexBuffer_.size(),
                      kIndexHeaderSize + 8 * uint64_t{count_}))
            return Fail("index of " + path_, errno);
        count_ += pending;
        pending = 0;
        indexBuffer_.clear();
    }
    if (!WriteAll(indexFd_, indexBuffer_.data(), indexBuffer_.size(),
                  kIndexHeaderSize + 8 * uint64_t{count_}))
        return Fail("index of " + path_, errno);
    count_ += pending;
    indexBuffer_.clear();
    indexBuffer_.shrink_to_fit();
    index_.Forget();
    dataEnd_ = offset;
    return true;
}

bool CSessionFile::ReadOffset(size_t index, uint64_t* offset) {
    char bytes[8];
    if (!index_.Read(kIndexHeaderSize + 8 * uint64_t{index}, sizeof bytes, bytes)) return false;
    *offset = Get<uint64_t>(bytes);
    return true;
}

bool CSessionFile::RecordAt(uint64_t offset, uint64_t* packed, uint32_t* length) {
    char header[kRecordHeaderSize];
    if (offset < kDataHeaderSize || offset > dataEnd_ || dataEnd_ - offset < kRecordHeaderSize ||
        !data_.Read(offset, sizeof header, header))
        return false;
    *packed = Get<uint64_t>(header);
    *length = Get<uint32_t>(header + 8);
    return dataEnd_ - offset - kRecordHeaderSize >= *length;
}

CMsgRecord CSessionFile::Read(size_t index) {
    uint64_t offset = 0;
    uint64_t packed = 0;
    uint32_t length = 0;
    if (index < count_ && ReadOffset(index, &offset) && RecordAt(offset, &packed, &length)) {
        std::string bytes(length, '\0');
        if (data_.Read(offset + kRecordHeaderSize, length, bytes.data()))
            return CMsgRecord::FromPacked(packed, std::move(bytes));
    }
    return CMsgRecord(
        'I', "capture file: record " + std::to_string(index + 1) + " could not be read back",
        SystemTime{});
}

bool CSessionFile::ReadPacked(size_t index, uint64_t* packed) {
    uint64_t offset = 0;
    uint32_t length = 0;
    return index < count_ && ReadOffset(index, &offset) && RecordAt(offset, packed, &length);
}

bool CSessionFile::Append(const std::deque<CMsgRecord>& records, size_t first, size_t last) {
    if (!writable_) return Fail(path_, EBADF);
    buffer_.clear();
    indexBuffer_.clear();
    uint64_t offset = dataEnd_;
    for (size_t i = first; i < last; ++i) {
        const std::string& bytes = records[i].Data();
        const auto length = static_cast<uint32_t>(std::min<size_t>(bytes.size(), kMaxRecordLength));
        Put(indexBuffer_, offset);
        Put(buffer_, records[i].Packed());
        Put(buffer_, length);
        buffer_.append(bytes, 0, length);
        offset += kRecordHeaderSize + length;
    }
    // The records first, then their index: a crash between the two leaves
    // records the next opening finds by walking the file.
    const bool written = WriteAll(dataFd_, buffer_.data(), buffer_.size(), dataEnd_) &&
                         WriteAll(indexFd_, indexBuffer_.data(), indexBuffer_.size(),
                                  kIndexHeaderSize + 8 * uint64_t{count_});
    const int error = errno;
    if (buffer_.capacity() > kKeptBufferBytes) std::string().swap(buffer_);
    if (!written) {
        CutBack();
        return Fail(path_, error);
    }
    dataEnd_ = offset;
    count_ += last - first;
    return true;
}

bool CSessionFile::CutBack() {
    data_.Forget(dataEnd_);
    index_.Forget(kIndexHeaderSize + 8 * uint64_t{count_});
    return ftruncate(dataFd_, static_cast<off_t>(dataEnd_)) == 0 &&
           ftruncate(indexFd_, static_cast<off_t>(kIndexHeaderSize + 8 * uint64_t{count_})) == 0;
}

bool CSessionFile::Truncate() {
    if (!writable_) return Fail(path_, EBADF);
    count_ = 0;
    dataEnd_ = kDataHeaderSize;
    if (!CutBack()) return Fail(path_, errno);
    return true;
}

bool CSessionFile::SetFlags(uint32_t flags) {
    if (!writable_) return Fail(path_, EBADF);
    char bytes[4];
    std::memcpy(bytes, &flags, sizeof bytes);
    if (!WriteAll(dataFd_, bytes, sizeof bytes, kFlagsOffset)) return Fail(path_, errno);
    flags_ = flags;
    return true;
}

void CSessionFile::Close() {
    if (dataFd_ >= 0) close(dataFd_);
    if (indexFd_ >= 0) close(indexFd_);
    dataFd_ = indexFd_ = -1;
    writable_ = false;
    count_ = 0;
    dataEnd_ = kDataHeaderSize;
    lostBytes_ = 0;
    flags_ = 0;
    data_.Attach(-1);
    index_.Attach(-1);
}

}  // namespace qelvor
