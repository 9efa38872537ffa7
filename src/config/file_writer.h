// Writes one file from start to end with every step checked: an open that can
// never block, only a regular file accepted, every byte written or an error,
// a checked close. Any thread; each object writes one file at a time.
#pragma once

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

    // Opens path for writing, created with mode 0644 when missing, emptied
    // (Truncate) or written at its end (Append). 0, or the errno of the
    // failure; a named pipe without a reader fails at once with ENXIO.
    int Create(const std::string& path, Mode mode);
    // Writes all bytes, going on after partial writes and interruptions.
    // 0, or the errno of the write that failed; a write that moves nothing
    // counts as ENOSPC, so a short file is never taken for success.
    int Write(std::string_view bytes);
    // Closes the file; 0, or the errno of the close (EBADF when none is open).
    int Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Create, Write and Close in one call: 0, or the errno of the first step
    // that failed (the file is closed in every case).
    static int WriteFile(const std::string& path, std::string_view bytes, Mode mode);

  private:
    int fd_ = -1;
};

}  // namespace qelvor
