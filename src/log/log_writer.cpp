#include "log/log_writer.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "data/ctrl_char_notation.h"
#include "traffic/msg_record.h"
#include "traffic/system_time.h"

extern char** environ;

namespace qelvor {

namespace {

// Appends the bytes to the file with one open and one close, so that between
// passes the file is closed and may be moved or read by others. A file that
// cannot be opened loses the lines silently: the log must never stop traffic.
void AppendToFile(const std::string& path, std::string_view bytes) {
    if (bytes.empty()) return;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    ::close(fd);
}

// The archiver runs on its own; a detached thread waits for it so that it
// leaves no zombie behind, without ever holding up the log.
void SpawnArchiver(const std::string& archiver, const std::string& archive,
                   const std::string& backup) {
    std::string verb = "u";
    std::string type = "-tzip";
    std::vector<char*> argv = {const_cast<char*>(archiver.c_str()),
                               verb.data(),
                               type.data(),
                               const_cast<char*>(archive.c_str()),
                               const_cast<char*>(backup.c_str()),
                               nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, archiver.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return;
    }
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

// The decimal digits of value, with leading zeros up to width, as "%0*d".
void AppendPadded(std::string& out, unsigned value, int width) {
    char digits[8];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n < width)
        digits[n++] = '0';
    while (n > 0)
        out += digits[--n];
}

}  // namespace

CLogWriter::CLogWriter() = default;

CLogWriter::~CLogWriter() {
    Stop();
}

void CLogWriter::Start(const std::string& logPath, const CComSetting& settings) {
    std::string archiver = settings.ReadProfileString("Backup", "zipPath", "");
    std::lock_guard<std::mutex> guard(lock_);
    logPath_ = logPath;
    archiverPath_ = std::move(archiver);
    stop_ = false;
}

void CLogWriter::SetArchiverPath(std::string path) {
    std::lock_guard<std::mutex> guard(lock_);
    archiverPath_ = std::move(path);
}

void CLogWriter::Post(std::string text, int code) {
    std::thread finished;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (stop_) return;
        queue_.push_back(Item{std::move(text), code});
        if (workerBusy_) return;
        // The worker clears workerBusy_ under this lock only after finding
        // the queue empty, so no item can be left behind without a worker.
        workerBusy_ = true;
        finished = std::move(worker_);
        worker_ = std::thread(&CLogWriter::WorkerMain, this);
    }
    if (finished.joinable()) finished.join();
}

void CLogWriter::LogRecord(const CMsgRecord& record) {
    Post(FormatLine(record), kAppendLine);
}

void CLogWriter::Stop() {
    std::thread worker;
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
        worker = std::move(worker_);
    }
    // The worker drains the whole queue before it ends, so the last lines
    // before the program ends reach the file.
    if (worker.joinable()) worker.join();
}

std::string CLogWriter::FormatLine(const CMsgRecord& record) {
    // Written by hand rather than with snprintf: this runs on the
    // user-interface thread for every record of a burst.
    SystemTime t = record.Time();
    std::string line;
    line.reserve(16 + record.Data().size() + record.Data().size() / 4);
    line += '<';
    AppendPadded(line, t.wHour, 2);
    line += ':';
    AppendPadded(line, t.wMinute, 2);
    line += ':';
    AppendPadded(line, t.wSecond, 2);
    line += '.';
    AppendPadded(line, t.wMilliseconds, 3);
    line += '>';
    line += record.Type();
    line += ':';
    line += EscapeCtrlChars(record.Data());
    return line;
}

void CLogWriter::WorkerMain() {
    for (;;) {
        std::deque<Item> batch;
        Paths paths;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (queue_.empty()) {
                workerBusy_ = false;
                return;
            }
            batch.swap(queue_);
            paths = Paths{logPath_, archiverPath_};
        }
        RunBatch(batch, paths);
    }
}

void CLogWriter::RunBatch(const std::deque<Item>& batch, const Paths& paths) {
    // Lines are gathered and appended together; a backup first writes the
    // lines posted before it, so lines and backups keep their post order.
    std::string lines;
    for (const Item& item : batch) {
        if ((item.code & kAppendLine) != 0) {
            lines += item.text;
            lines += "\r\n";
        }
        if ((item.code & kBackup) != 0) {
            AppendToFile(paths.log, lines);
            lines.clear();
            BackUp(paths);
        }
    }
    AppendToFile(paths.log, lines);
}

void CLogWriter::BackUp(const Paths& paths) {
    size_t slash = paths.log.rfind('/');
    if (slash == std::string::npos || slash == 0) return;
    SystemTime now = SystemTime::Now();
    std::string backup =
        StrPrintf("%sMsgLog%d%02d%02d_%02d%02d%02d.log", paths.log.substr(0, slash + 1).c_str(),
                  now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    // A second backup within the same second replaces the first.
    if (::unlink(backup.c_str()) != 0 && errno != ENOENT) return;
    if (::rename(paths.log.c_str(), backup.c_str()) != 0) return;
    if (!paths.archiver.empty()) SpawnArchiver(paths.archiver, backup + ".zip", backup);
}

}  // namespace qelvor
