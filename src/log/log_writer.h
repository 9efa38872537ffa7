// The continuous log: every record of the traffic store as one line appended
// to a log file by one worker thread, with time-stamped backups handed to an
// outside archiver, and a count of the lines it could not write. Start, Post,
// LogRecord and Stop are called from the user-interface thread,
// TakeFailureNotice from any thread; the worker alone touches the disk.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "traffic/record_log.h"

namespace qelvor {

class CComSetting;

class CLogWriter : public IRecordLog {
  public:
    enum : int { kAppendLine = 1, kBackup = 2 };

    CLogWriter();
    ~CLogWriter() override;
    CLogWriter(const CLogWriter&) = delete;
    CLogWriter& operator=(const CLogWriter&) = delete;

    // Stores the log path, reads the archiver path ("Backup"/"zipPath") and
    // starts the worker; after a Stop it makes the writer take posts again.
    void Start(const std::string& logPath, const CComSetting& settings);
    // Queues one item, starting the worker when none runs yet. Never waits
    // for the disk. Dropped after Stop.
    void Post(std::string text, int code);
    // Posts the record's line ("<hh:mm:ss.mmm>T:" and the data in notation).
    void LogRecord(const CMsgRecord& record) override;
    // Writes what is still queued, then ends the worker and joins it.
    // Called at program end.
    void Stop();

    // One notice per run of failed appends: "continuous log: N lines could
    // not be written: reason". It is handed over once, at the first call
    // after the run began (N counts the lines lost so far). Lines lost later
    // in a run already reported bring no second notice while the run goes on,
    // so a notice that is itself logged while the disk stays full cannot
    // bring another; when an append works again, one more tells them all:
    // "continuous log: writing again, N lines were lost in all". A run that
    // ended before any call is told once, whole, with the first text.
    // False when there is nothing to tell.
    bool TakeFailureNotice(std::string& text);

    // The line of a record, without its CR LF.
    static std::string FormatLine(const CMsgRecord& record);

    const std::string& LogPath() const { return logPath_; }
    // Replaces the archiver path read by Start; takes effect at the next backup.
    void SetArchiverPath(std::string path);

  private:
    struct Item {
        std::string text;
        int code = 0;
    };

    // Paths as the worker uses them during one pass, copied under the lock so
    // that Start may run while a worker is busy.
    struct Paths {
        std::string log;
        std::string archiver;
    };

    // Appends that failed one after the other, without a success between.
    struct FailureRun {
        bool active = false;
        bool reported = false;
        uint64_t lines = 0;
        std::string reason;
    };

    // Lines gathered for one append, each ending in CR LF at its offset in
    // ends, so that a write cut short keeps the whole lines before the cut.
    struct LineBatch {
        std::string bytes;
        std::vector<size_t> ends;
    };

    void StartWorkerLocked();
    void WorkerMain();
    void RunBatch(const std::deque<Item>& batch, const Paths& paths);
    void AppendLines(const std::string& path, const LineBatch& lines);
    void EndFailureRunLocked();
    static void BackUp(const Paths& paths);

    std::string logPath_ = "Qelvor.log";
    std::string archiverPath_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Item> queue_;
    bool stop_ = false;  // set by Stop: the worker drains the queue and ends
    std::thread worker_;
    FailureRun run_;
    std::string endedRunNotice_;  // a run that ended before anyone asked
};

// The work of the backup tick (timer 6), without the store: posts the
// backup item.
inline void PostBackup(CLogWriter& writer) {
    writer.Post(std::string(), CLogWriter::kBackup);
}

}  // namespace qelvor
