// The continuous log: every record of the traffic store as one line appended
// to a log file by a worker thread, with time-stamped backups handed to an
// outside archiver. Post and LogRecord are called from the user-interface
// thread; the worker alone touches the disk.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

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

    // Stores the log path and reads the archiver path ("Backup"/"zipPath");
    // after a Stop it makes the writer take posts again.
    void Start(const std::string& logPath, const CComSetting& settings);
    // Queues one item and makes sure a worker runs. Dropped after Stop.
    void Post(std::string text, int code);
    // Posts the record's line ("<hh:mm:ss.mmm>T:" and the data in notation).
    void LogRecord(const CMsgRecord& record) override;
    // Writes what is still queued, then ends the worker. Called at program end.
    void Stop();

    // The line of a record, without its CR LF.
    static std::string FormatLine(const CMsgRecord& record);

    const std::string& LogPath() const { return logPath_; }
    const std::string& ArchiverPath() const { return archiverPath_; }
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

    void WorkerMain();
    void RunBatch(const std::deque<Item>& batch, const Paths& paths);
    static void BackUp(const Paths& paths);

    std::string logPath_ = "Qelvor.log";
    std::string archiverPath_;
    std::mutex lock_;
    std::deque<Item> queue_;
    bool stop_ = false;        // set by Stop: later posts are dropped
    bool workerBusy_ = false;  // a worker runs and will look at the queue again
    std::thread worker_;
};

// The work of the backup tick (timer 6), without the store: posts the
// backup item.
inline void PostBackup(CLogWriter& writer) {
    writer.Post(std::string(), CLogWriter::kBackup);
}

}  // namespace qelvor
