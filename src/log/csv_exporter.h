// Exports the traffic list, or the rows a filter shows, to a CSV file: date,
// time, +ms, type, the data in the display style and the data in hex; UTF-8,
// fields quoted as RFC 4180 has it, CR LF line ends, a header row; a data
// cell a spreadsheet would run as a formula is written as text. Written in
// steps on the thread that owns the traffic store, so that a large store
// neither stalls the window nor is read beside it; the rows go to a
// temporary file that takes the final name only when all are written, so a
// cancelled or failed export leaves no part of a file. Not thread safe.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/file_writer.h"
#include "traffic/record_timing.h"

namespace qelvor {

class CMsgExchange;

class CCsvExporter {
  public:
    using Clock = std::chrono::steady_clock;
    enum class State { kIdle, kWriting, kDone, kFailed, kCancelled };

    struct Options {
        int showDataFmt = 1;
        GapScope gapScope = GapScope::kAnyRecord;
    };

    explicit CCsvExporter(const CMsgExchange& store) : store_(store) {}
    // An export still under way is cancelled.
    ~CCsvExporter();
    CCsvExporter(const CCsvExporter&) = delete;
    CCsvExporter& operator=(const CCsvExporter&) = delete;

    // Begins an export to path of the record indexes rows (nullptr: every
    // record the store holds now; later records are not exported). 0, or
    // the errno of the failure, with Error() saying what failed.
    int Start(const std::string& path, const std::vector<size_t>* rows, const Options& options);
    // Writes rows until the deadline, and at the end gives the file its
    // name. Fails when the store is cleared meanwhile.
    State Step(Clock::time_point deadline);
    // Stops the export and removes what was written.
    void Cancel();

    State GetState() const { return state_; }
    double Progress() const;
    const std::string& Error() const { return error_; }
    // The temporary file the rows go to until the export is done.
    static std::string TemporaryPath(const std::string& path) { return path + ".part"; }

    // One field as RFC 4180 writes it: quoted, with quotes doubled, when it
    // holds a comma, a quote, a CR or an LF.
    static std::string QuoteField(std::string_view field);
    // The data cell, which holds what the peer or the user sent: text that a
    // spreadsheet would take for a formula (a first "=", "+", "-", "@", tab
    // or CR) gets a leading "'", so that it is shown, never run.
    static std::string TextCell(std::string_view text);
    // The line of the record at index, CR LF included.
    static std::string RecordLine(const CRecordStore& records, size_t index,
                                  const Options& options);
    static const char* HeaderLine();

  private:
    size_t RowCount() const { return allRecords_ ? recordCount_ : rows_.size(); }
    size_t RecordIndex(size_t row) const { return allRecords_ ? row : rows_[row]; }
    bool Flush();
    void Finish();
    void Fail(const std::string& what, int err);
    void Discard();

    // The lines gathered before each write to the file.
    static constexpr size_t kWriteChunk = 65536;
    static constexpr size_t kRowsPerClockCheck = 128;

    const CMsgExchange& store_;
    Options options_;
    State state_ = State::kIdle;
    std::string path_;
    CFileWriter file_;
    std::vector<size_t> rows_;
    bool allRecords_ = true;
    size_t recordCount_ = 0;
    size_t written_ = 0;
    uint64_t generation_ = 0;
    std::string buffer_;
    std::string error_;
};

}  // namespace qelvor
