// The traffic store: every record of the session, oldest first, each with its
// type, its time to the millisecond and its bytes. The records live in a
// capture file on disk (CSessionFile); the ones appended since the last tick
// wait in memory until Flush writes them, so memory does not grow with the
// traffic. Without a file (none started, or the disk is full) the store keeps
// the newest records in memory up to kMemoryCap and drops the oldest beyond.
// Every reader goes through this class. User-interface thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "traffic/file_syncer.h"
#include "traffic/msg_record.h"
#include "traffic/session_file.h"

namespace qelvor {

class CRecordStore {
  public:
    using Clock = std::chrono::steady_clock;
    // The memory the records may take while they cannot go to a file.
    static constexpr size_t kMemoryCap = 256u << 20;
    // Records waiting for the tick are written at once beyond this.
    static constexpr size_t kPendingLimit = 8u << 20;
    // How often a failed capture file is tried again.
    static constexpr std::chrono::seconds kRetryPeriod{5};

    // How much the store may hold in memory and how often it tries a failed
    // file again; the defaults are the program's.
    struct Limits {
        size_t memoryCap = kMemoryCap;
        std::chrono::milliseconds retryPeriod = kRetryPeriod;
    };

    CRecordStore() = default;
    explicit CRecordStore(Limits limits) : limits_(limits) {}
    CRecordStore(std::initializer_list<CMsgRecord> records);
    ~CRecordStore();
    CRecordStore(const CRecordStore&) = delete;
    CRecordStore& operator=(const CRecordStore&) = delete;

    // --- the records ---
    void Append(CMsgRecord record);
    template <typename... Args>
    void emplace_back(Args&&... args) {
        Append(CMsgRecord(std::forward<Args>(args)...));
    }
    size_t size() const { return fileCount_ + memory_.size(); }
    bool empty() const { return size() == 0; }
    // The record at index (below size()), read back from the file when it
    // is there.
    CMsgRecord operator[](size_t index) const;
    CMsgRecord back() const { return (*this)[size() - 1]; }
    // The record at index with its type and time but without its bytes:
    // what a walk over many records needs, at the cost of the header alone.
    CMsgRecord Header(size_t index) const;
    // Removes every record; a capture file is emptied, or ended and a new
    // one started when it is kept.
    void Clear();
    // Counts the clears and the drops from the front: a view that catches
    // up now and then tells "the rows moved" from "rows were added".
    uint64_t Generation() const { return generation_; }

    // --- the capture file ---
    // Starts writing a new capture file in folder; false (the records stay
    // in memory) with the reason in the notes.
    // keep: whether it stays when the session ends; also the choice for
    // the files that Clear starts after it.
    bool StartSession(const std::string& folder, bool keep);
    // Shows a capture file read-only: its records, then whatever is
    // appended after (kept in memory). False with the reason in the notes.
    bool OpenSession(const std::string& path);
    // Ends the capture file: a live one is removed unless it is kept.
    void EndSession();
    // Whether the live capture file stays when the session ends.
    void SetKeep(bool keep);
    bool Keep() const { return keep_; }
    // The capture file's path; empty without one.
    std::string SessionPath() const { return HasFile() ? file_->Path() : std::string(); }
    bool ReadOnly() const { return readOnly_; }

    // The tick: writes the records waiting in memory, retries a file that
    // failed, and hands back the texts of the 'I' records the store's
    // owner should add (a full disk, dropped records, writing again).
    std::vector<std::string> Flush();

    class const_iterator {
      public:
        using iterator_category = std::input_iterator_tag;
        using value_type = CMsgRecord;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = CMsgRecord;
        const_iterator(const CRecordStore* store, size_t index) : store_(store), index_(index) {}
        CMsgRecord operator*() const { return (*store_)[index_]; }
        const_iterator& operator++() {
            ++index_;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return index_ == other.index_; }

      private:
        const CRecordStore* store_;
        size_t index_;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

  private:
    bool WritePending();
    void OnWriteFailed();
    void DropOldest();
    void ForgetFile();
    std::string NewSessionPath() const;

    // The file is written only while it is live and has not failed.
    bool Writing() const { return HasFile() && !readOnly_ && !failed_; }
    bool HasFile() const { return file_ != nullptr && file_->IsOpen(); }

    Limits limits_;
    std::unique_ptr<CSessionFile> file_;
    CFileSyncer syncer_;
    std::string folder_;
    bool readOnly_ = false;
    bool keep_ = false;
    bool keepNext_ = false;
    bool failed_ = false;
    Clock::time_point retryAt_{};
    // Records the file holds; the ones in memory follow them.
    size_t fileCount_ = 0;
    std::deque<CMsgRecord> memory_;
    size_t memoryBytes_ = 0;
    uint64_t dropped_ = 0;
    uint64_t generation_ = 0;
    std::vector<std::string> notes_;
};

}  // namespace qelvor
