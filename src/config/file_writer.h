// Writes one file with every step checked: an open that can never block, only
// a regular file accepted, every byte written or an error, a checked close; a
// failed write is undone, never left as a torn tail. Any thread; each object
// writes one file at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qelvor {

class CFileWriter {
  public:
    enum class Mode { Truncate, Append };

    // The error of a path that names anything but a regular file (a named
    // pipe with a reader, a device): the file is opened but never written.
    static constexpr int kNotRegularFile = 22;  // EINVAL

    CFileWriter() = default;
    // Closes a file still open; its close error is lost, so callers that
    // care call Close themselves.
    ~CFileWriter();
    CFileWriter(const CFileWriter&) = delete;
    CFileWriter& operator=(const CFileWriter&) = delete;

    // Opens path for writing, created with mode 0644 (less the umask) when
    // missing, emptied (Truncate) or written at its end (Append). 0, or the
    // errno of the failure; a named pipe without a reader fails at once with
    // ENXIO.
    int Create(const std::string& path, Mode mode);
    // Writes all bytes, going on after partial writes and interruptions.
    // 0, or the errno of the write that failed; a write that moves nothing
    // counts as ENOSPC, so a short file is never taken for success.
    int Write(std::string_view bytes);
    // Bytes Write has put into the file since Create, a failed Write's
    // partial bytes included.
    uint64_t Written() const { return written_; }
    // Cuts the file back to its size at Create plus the first keep bytes
    // written since, undoing the rest (the part of a write a full disk cut
    // short). 0, or the errno of the truncation.
    int CutBack(uint64_t keep);
    // Waits until the written bytes are on the disk; 0, or the errno.
    int Sync();
    // Closes the file; 0, or the errno of the close (EBADF when none is open).
    int Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Writes the whole file in one call: 0, or the errno of the first step
    // that failed; the file is closed in every case and a failure leaves it
    // as it was. Truncate writes a temporary file beside path and renames it
    // over path only once it is complete and on the disk, so a failed save
    // keeps the old file (and its permissions); Append cuts a write that
    // failed part way back to the old end. What Create refuses, both refuse
    // with the same error and without touching path.
    static int WriteFile(const std::string& path, std::string_view bytes, Mode mode);

  private:
    // Opens path with the flags added to the shared ones; a regular file only.
    int Open(const std::string& path, int flags);
    static int ReplaceFile(const std::string& path, std::string_view bytes);

    int fd_ = -1;
    uint64_t startSize_ = 0;  // the file's size when Create opened it
    uint64_t written_ = 0;
};

}  // namespace qelvor
