// A zip archive being written: create it (replacing any file of that name),
// add files from disk under entry names with deflate, close it. One thread
// at a time; each object writes one archive.
#pragma once

#include <string>

namespace qelvor {

class CZipWriter {
  public:
    CZipWriter() = default;
    ~CZipWriter();
    CZipWriter(const CZipWriter&) = delete;
    CZipWriter& operator=(const CZipWriter&) = delete;

    // Creates the archive file; an existing file of that name is replaced.
    // False, with errno set, when it cannot be created or the path names
    // anything but a regular file (the archive then stays closed); a named
    // pipe is never opened.
    bool Create(const std::string& archivePath);
    // Adds the file at diskPath as the entry entryName, deflated. False when
    // no archive is open or the file cannot be read.
    bool AddFile(const std::string& diskPath, const std::string& entryName);
    // Writes the central directory and closes the file. False when nothing
    // was open or the directory could not be written.
    bool Close();

    bool IsOpen() const { return zip_ != nullptr; }

  private:
    bool CopyIntoEntry(int fd);

    void* zip_ = nullptr;
};

}  // namespace qelvor
