#include "log/log_writer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "config/app_paths.h"
#include "config/com_setting.h"
#include "config/file_writer.h"
#include "config/string_table.h"
#include "data/ctrl_char_notation.h"
#include "traffic/msg_record.h"
#include "traffic/system_time.h"

extern char** environ;

namespace qelvor {

namespace {

std::string FailureText(uint64_t lines, const std::string& reason) {
    return "continuous log: " + std::to_string(lines) + " lines could not be written: " + reason;
}

std::string ResumedText(uint64_t lines) {
    return "continuous log: writing again, " + std::to_string(lines) + " lines were lost in all";
}

// Appends the lines with one open and one close, so that between passes the
// file is closed and may be moved or read by others. A write that a full disk
// cuts short is cut back to the end of the last whole line it wrote: the file
// never keeps a torn line for the next one to be glued to. Returns how many
// lines are in the file; err is 0 or the errno of the step that failed.
// Anything but a regular file is refused, so a named pipe at the log path
// cannot hold the worker (and Stop) up.
size_t AppendWholeLines(const std::string& path, std::string_view bytes,
                        const std::vector<size_t>& ends, int& err) {
    CFileWriter file;
    err = file.Create(path, CFileWriter::Mode::Append);
    // A log folder that is not there (never made, or removed while logging)
    // is made again; when it cannot be, its own reason is the one told.
    if (err == ENOENT) {
        err = CreateFolder(FolderOf(path));
        if (err == 0) err = file.Create(path, CFileWriter::Mode::Append);
    }
    if (err != 0) return 0;
    err = file.Write(bytes);
    size_t kept = ends.size();
    if (err != 0) {
        const auto whole = std::upper_bound(ends.begin(), ends.end(), file.Written());
        kept = static_cast<size_t>(whole - ends.begin());
        file.CutBack(kept == 0 ? 0 : ends[kept - 1]);
    }
    const int closed = file.Close();
    if (err != 0) return kept;
    err = closed;
    return closed == 0 ? kept : 0;
}

// The archiver gets /dev/null for its standard streams, so that it neither
// reads a line meant for the peer nor writes between the program's output
// lines, and a process group of its own, so that a Ctrl+C in the terminal
// does not reach it. False when the start could not be prepared.
bool PrepareArchiverStart(posix_spawn_file_actions_t& actions, posix_spawnattr_t& attr) {
    bool ok = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
              posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
              posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) == 0;
    // qelvor-cli blocks its stop signals and ignores SIGPIPE in every thread;
    // the archiver starts with neither, as from a shell.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaddset(&defaults, signal);
    const short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    return ok && posix_spawnattr_setflags(&attr, flags) == 0 &&
           posix_spawnattr_setpgroup(&attr, 0) == 0 &&
           posix_spawnattr_setsigmask(&attr, &none) == 0 &&
           posix_spawnattr_setsigdefault(&attr, &defaults) == 0;
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
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&actions) != 0) return;
    if (posix_spawnattr_init(&attr) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return;
    }
    pid_t pid = 0;
    const bool started =
        PrepareArchiverStart(actions, attr) &&
        ::posix_spawnp(&pid, archiver.c_str(), &actions, &attr, argv.data(), environ) == 0;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (!started) return;
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
    StartWorkerLocked();
}

void CLogWriter::SetArchiverPath(std::string path) {
    std::lock_guard<std::mutex> guard(lock_);
    archiverPath_ = std::move(path);
}

void CLogWriter::StartWorkerLocked() {
    if (!worker_.joinable()) worker_ = std::thread(&CLogWriter::WorkerMain, this);
}

void CLogWriter::Post(std::string text, int code) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (stop_) return;
        queue_.push_back(Item{std::move(text), code});
        StartWorkerLocked();
    }
    wake_.notify_one();
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
    wake_.notify_one();
    if (worker.joinable()) worker.join();
}

bool CLogWriter::TakeFailureNotice(std::string& text) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!endedRunNotice_.empty()) {
        text = std::move(endedRunNotice_);
        endedRunNotice_.clear();
        return true;
    }
    if (!run_.active || run_.reported) return false;
    run_.reported = true;
    text = FailureText(run_.lines, run_.reason);
    return true;
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
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        wake_.wait(guard, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopped, and everything is written
        std::deque<Item> batch;
        batch.swap(queue_);
        const Paths paths{logPath_, archiverPath_};
        guard.unlock();
        RunBatch(batch, paths);
        guard.lock();
    }
}

void CLogWriter::RunBatch(const std::deque<Item>& batch, const Paths& paths) {
    // Lines are gathered and appended together; a backup first writes the
    // lines posted before it, so lines and backups keep their post order.
    LineBatch lines;
    for (const Item& item : batch) {
        if ((item.code & kAppendLine) != 0) {
            lines.bytes += item.text;
            lines.bytes += "\r\n";
            lines.ends.push_back(lines.bytes.size());
        }
        if ((item.code & kBackup) != 0) {
            AppendLines(paths.log, lines);
            lines = LineBatch{};
            BackUp(paths);
        }
    }
    AppendLines(paths.log, lines);
}

void CLogWriter::AppendLines(const std::string& path, const LineBatch& lines) {
    if (lines.ends.empty()) return;
    int err = 0;
    const size_t kept = AppendWholeLines(path, lines.bytes, lines.ends, err);
    std::lock_guard<std::mutex> guard(lock_);
    if (err == 0) {
        EndFailureRunLocked();
        return;
    }
    if (!run_.active) run_ = FailureRun{true, false, 0, std::string()};
    run_.lines += lines.ends.size() - kept;
    run_.reason = std::strerror(err);
}

void CLogWriter::EndFailureRunLocked() {
    if (!run_.active) return;
    // A run nobody asked about yet is told now, whole; one already told gets
    // its total, which the first notice could not know.
    endedRunNotice_ =
        run_.reported ? ResumedText(run_.lines) : FailureText(run_.lines, run_.reason);
    run_ = FailureRun{};
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
