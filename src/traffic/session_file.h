// A capture file on disk: the records of a session appended one after the
// other (the type and time word, the length, the bytes) in NAME.qcap, and the
// offset of each record in a fixed-size index beside it, NAME.qidx. Appends
// go out in batches with write(); what was written survives the end of the
// process however it ends. Opening a file left by a crash repairs the index
// and finds every whole record; bytes of a record cut short are counted, not
// read. Every read checks its bounds: a damaged file never crashes a reader.
// One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "traffic/file_block_cache.h"
#include "traffic/msg_record.h"

namespace qelvor {

class CSessionFile {
  public:
    static constexpr const char* kDataSuffix = ".qcap";
    static constexpr const char* kIndexSuffix = ".qidx";
    static constexpr uint32_t kVersion = 1;
    static constexpr uint64_t kDataHeaderSize = 32;
    static constexpr uint64_t kIndexHeaderSize = 16;
    static constexpr uint64_t kRecordHeaderSize = 12;
    static constexpr uint32_t kMaxRecordLength = 1u << 30;
    // The header's flags: the program that wrote the file ended normally;
    // the user chose to keep it.
    static constexpr uint32_t kFlagClosed = 1;
    static constexpr uint32_t kFlagKept = 2;
    // Where the flags stand in the capture file's header.
    static constexpr uint64_t kFlagsOffset = 12;

    CSessionFile() = default;
    ~CSessionFile();
    CSessionFile(const CSessionFile&) = delete;
    CSessionFile& operator=(const CSessionFile&) = delete;

    // The index file that belongs to a capture file.
    static std::string IndexPathOf(const std::string& dataPath);

    // The header's flags and creation time, read without opening the
    // records; false when path is no capture file.
    static bool PeekHeader(const std::string& path, uint32_t* flags, int64_t* created);

    // Creates an empty capture file and its index at dataPath and holds a
    // lock on it while open. False with the reason in Error().
    bool Create(const std::string& dataPath, int64_t createdUnixSeconds);
    // Opens a capture file for reading; the index is rebuilt where it does
    // not match the records (beside the file when it may be written, else
    // in a temporary file). False when it is not a capture file at all.
    bool OpenForReading(const std::string& dataPath);
    void Close();
    bool IsOpen() const { return dataFd_ >= 0; }

    // Writes records [first, last) of records after the ones the file
    // holds. On a failure (a full disk) the file is cut back to the records
    // it held before and the reason is in Error().
    bool Append(const std::deque<CMsgRecord>& records, size_t first, size_t last);
    // Removes every record.
    bool Truncate();
    // Sets the header's flags (closed, kept).
    bool SetFlags(uint32_t flags);

    size_t Count() const { return count_; }
    // The record at index; a record the file cannot give back whole comes
    // as an 'I' record that says so.
    CMsgRecord Read(size_t index);
    // The type and time of the record at index without its bytes; false
    // when the file cannot give them.
    bool ReadPacked(size_t index, uint64_t* packed);

    const std::string& Path() const { return path_; }
    uint32_t Flags() const { return flags_; }
    int64_t Created() const { return created_; }
    // The bytes after the last whole record when the file was opened, and
    // the text that tells them (empty when none were).
    uint64_t LostBytes() const { return lostBytes_; }
    std::string LostBytesNote() const;
    const std::string& Error() const { return error_; }
    // The errno of the last failure.
    int ErrorNumber() const { return errorNumber_; }
    // The descriptors a syncing thread may duplicate.
    int DataFd() const { return dataFd_; }
    int IndexFd() const { return indexFd_; }

  private:
    bool Fail(const std::string& what, int error);
    bool ReadDataHeader();
    bool OpenIndex(bool writable);
    bool IndexMatches();
    bool RebuildIndex(uint64_t from);
    bool ReadOffset(size_t index, uint64_t* offset);
    // The length of the record whose header is at offset, when it is a
    // whole, plausible record within the file.
    bool RecordAt(uint64_t offset, uint64_t* packed, uint32_t* length);
    bool WriteIndexHeader();
    bool CutBack();

    std::string path_;
    std::string error_;
    int errorNumber_ = 0;
    int dataFd_ = -1;
    int indexFd_ = -1;
    bool writable_ = false;
    uint32_t flags_ = 0;
    int64_t created_ = 0;
    size_t count_ = 0;
    uint64_t dataEnd_ = kDataHeaderSize;
    uint64_t lostBytes_ = 0;
    std::string buffer_;
    std::string indexBuffer_;
    CFileBlockCache data_;
    CFileBlockCache index_;
};

}  // namespace qelvor
