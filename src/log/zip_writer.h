// A zip archive being written: built under a temporary name beside the
// target, files from disk added under entry names with deflate, and put in
// the target's place only by a good close. One thread at a time; each object
// writes one archive.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace qelvor {

// What a packed file was when its bytes went into the archive, read from the
// descriptor they were read from: a file is the same afterwards only when all
// of it is unchanged. A file that shrank while read never matches (size -1).
struct PackedFile {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};

    // True when diskPath is still this file, unchanged. A symbolic link is
    // judged by the file it leads to.
    bool UnchangedAt(const std::string& diskPath) const;
};

class CZipWriter {
  public:
    CZipWriter() = default;
    // An archive not closed by then is abandoned (its temporary removed).
    ~CZipWriter();
    CZipWriter(const CZipWriter&) = delete;
    CZipWriter& operator=(const CZipWriter&) = delete;

    // Starts an archive that will replace archivePath at Close. False, with
    // errno and Error() set, when the path names anything but a regular file
    // (a named pipe is never opened), names a non-empty file that is not a zip
    // archive (left as it is; errno EEXIST), or the temporary file beside it
    // cannot be made.
    bool Create(const std::string& archivePath);
    // Adds the file at diskPath as the entry entryName, deflated: the bytes
    // it holds when opened, no more. packed, when given, gets the file's
    // identity for a later UnchangedAt. False when no archive is open or the
    // file cannot be read.
    bool AddFile(const std::string& diskPath, const std::string& entryName,
                 PackedFile* packed = nullptr);
    // Writes the central directory, flushes the archive to disk and renames
    // it over the target. False, with Error() set, when nothing was open or
    // any step failed; the temporary file is then removed and an earlier
    // archive of the target's name stays as it was.
    bool Close();
    // Drops the archive being written and removes its temporary file.
    void Abandon();

    bool IsOpen() const { return zip_ != nullptr; }
    // The temporary file being written, empty when none is open.
    const std::string& TempPath() const { return tempPath_; }
    // Why Create or Close failed, in words for the user.
    const std::string& Error() const { return error_; }

  private:
    bool OpenTemporary(const std::string& archivePath);
    bool CopyIntoEntry(int fd, off_t size, off_t& copied);
    bool AddZip64EndRecords();
    bool Fail(int err);
    void RemoveTemporary();

    void* zip_ = nullptr;
    int fd_ = -1;  // the temporary file, kept for fsync once minizip closes its stream
    std::string targetPath_;
    std::string tempPath_;
    std::string error_;
    uint64_t entries_ = 0;
    std::vector<char> buffer_;
};

}  // namespace qelvor
