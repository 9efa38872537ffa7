// The continuous log: line order across backups, Stop, failure notices, the archiver.
#include "log/log_writer.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

#include "config/com_setting.h"
#include "fifo_step.h"
#include "support/temp_folder.h"
#include "traffic/msg_record.h"

namespace qelvor {
namespace {

using namespace testing_support;
namespace fs = std::filesystem;
using namespace std::string_literals;

// Waits up to ten seconds for the condition; the log works on its own thread.
bool WaitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return condition();
}

std::string NumberedLines(int from, int to) {
    std::string text;
    for (int i = from; i < to; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    return text;
}

// The local time as a backup's name holds it.
std::string StampNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d_%H%M%S", localtime_r(&now, &local));
    return text;
}

class LogWriter : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(::mkdir(folder_.c_str(), 0755), 0);
        writer_.Start(logPath_, settings_);
        writer_.SetArchiverPath("");
    }
    void PostLines(int from, int to) {
        for (int i = from; i < to; ++i)
            writer_.Post("line " + std::to_string(i), CLogWriter::kAppendLine);
    }

    TempFolder dir_;
    const std::string folder_ = dir_.File("LogData/");
    const std::string logPath_ = folder_ + "Qelvor.log";
    CComSetting settings_;
    CLogWriter writer_;
};

TEST_F(LogWriter, RecordLineCarriesTimeTypeAndNotation) {
    writer_.LogRecord(CMsgRecord('R', "\x06"s, SystemTime{2026, 12, 0, 6, 8, 15, 2, 45}));
    writer_.LogRecord(CMsgRecord('S', "a\r\nb\0\xE9"s, SystemTime{2026, 12, 0, 6, 23, 5, 9, 7}));
    writer_.Stop();
    EXPECT_EQ(ReadFile(logPath_),
              "<08:15:02.045>R:<ACK>\r\n<23:05:09.007>S:a<CR><LF>b<NUL>\xE9\r\n");
}

TEST_F(LogWriter, LinesStayInOrderWhileReadAndStopWritesThoseStillQueued) {
    // The file is closed between passes, so a reader may look at it at any
    // time; whatever it sees is a prefix of the lines posted.
    const std::string all = NumberedLines(0, 20000);
    std::thread reader([&] {
        for (int i = 0; i < 100; ++i)
            EXPECT_EQ(all.rfind(ReadFile(logPath_), 0), 0u);
    });
    PostLines(0, 20000);
    writer_.Stop();
    reader.join();
    EXPECT_EQ(ReadFile(logPath_), all);
    writer_.Post("after stop", CLogWriter::kAppendLine);
    writer_.Stop();
    EXPECT_EQ(ReadFile(logPath_), all) << "posts after Stop are dropped";
}

// Each step posts to a log path, stops, and looks for the notice; a run is
// appends failing one after the other (here: the log folder is missing).
// A named pipe at the log path is refused without waiting for a reader.
TEST_F(LogWriter, EachRunOfFailedAppendsIsReportedOnce) {
    const std::string lost = dir_.File("gone/Qelvor.log"), fifo = dir_.File("fifo.log");
    const std::string reason = ": No such file or directory";
    const auto run = [&](const std::string& path, int lines) {
        writer_.Start(path, settings_);
        PostLines(0, lines);
        writer_.Stop();
    };
    std::string notice;
    run(lost, 3);
    run(logPath_, 1);  // the run ends unasked: told whole, once
    ASSERT_TRUE(writer_.TakeFailureNotice(notice));
    EXPECT_EQ(notice, "continuous log: 3 lines could not be written" + reason);
    EXPECT_FALSE(writer_.TakeFailureNotice(notice));
    run(lost, 2);  // asked while it goes on: the lines so far
    ASSERT_TRUE(writer_.TakeFailureNotice(notice));
    EXPECT_EQ(notice, "continuous log: 2 lines could not be written" + reason);
    run(lost, 4);  // the same run, and the notice itself failing, bring no more
    writer_.Start(lost, settings_);
    writer_.Post(notice, CLogWriter::kAppendLine);
    writer_.Stop();
    EXPECT_FALSE(writer_.TakeFailureNotice(notice));
    run(logPath_, 1);
    EXPECT_FALSE(writer_.TakeFailureNotice(notice));
    EXPECT_EQ(ReadFile(logPath_), NumberedLines(0, 1) + NumberedLines(0, 1));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_TRUE(FinishesWithoutAReader(fifo, [&] { run(fifo, 3); }));
    ASSERT_TRUE(writer_.TakeFailureNotice(notice));
    EXPECT_EQ(notice, "continuous log: 3 lines could not be written: No such device or address");
}

// The backup takes the lines posted before it, named with the time it was
// made; the archiver is started on it with its arguments and reaped.
TEST_F(LogWriter, BackupSplitsTheLinesInPostOrderAndIsHandedToTheArchiver) {
    PostBackup(writer_);
    writer_.Stop();
    EXPECT_TRUE(fs::is_empty(folder_)) << "a backup without a log file does nothing";

    const std::string record = dir_.File("args.txt"), script = dir_.File("archiver.sh");
    // It tells its process group, its arguments, what its standard streams
    // are and which signals it has blocked.
    WriteFile(script,
              "#!/bin/sh\ns=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n"
              "g=$(cut -d' ' -f5 /proc/$$/stat)\nb=$(grep SigBlk /proc/$$/status | cut -f2)\n"
              "printf '%s\\n' $g \"$@\" \"$s\" $b > '" +
                  record + ".tmp'\nmv '" + record + ".tmp' '" + record + "'\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    // Blocked here as qelvor-cli blocks its stop signals; the worker inherits it.
    sigset_t stop, old;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &stop, &old), 0);
    writer_.Start(logPath_, settings_);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    writer_.SetArchiverPath(script);
    const std::string before = StampNow();
    PostLines(0, 5000);
    PostBackup(writer_);
    PostLines(5000, 8000);
    writer_.Stop();
    const std::string after = StampNow();
    ASSERT_TRUE(WaitFor([&] { return fs::exists(record); })) << "the archiver never ran";

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u);  // the backup, "MsgLog" yyyymmdd_hhmmss ".log", and the log
    const std::string stamp = names[0].substr(6, 15), backup = folder_ + names[0];
    EXPECT_EQ(names[0], "MsgLog" + stamp + ".log");
    EXPECT_TRUE(before <= stamp && stamp <= after)
        << stamp << " not in " << before << ".." << after;
    EXPECT_EQ(ReadFile(backup), NumberedLines(0, 5000)) << "the backup itself stays";
    EXPECT_EQ(ReadFile(logPath_), NumberedLines(5000, 8000));
    const std::string seen = ReadFile(record);
    const size_t eol = seen.find('\n');
    EXPECT_EQ(seen.substr(eol + 1), "u\n-tzip\n" + backup + ".zip\n" + backup +
                                        "\n/dev/null\n/dev/null\n/dev/null\n0000000000000000\n")
        << "streams on /dev/null, no signal blocked";
    EXPECT_NE(seen.substr(0, eol), std::to_string(::getpgrp())) << "a Ctrl+C would reach it";
    // An ended child not yet reaped shows to waitid without being reaped by it.
    siginfo_t info{};
    EXPECT_TRUE(WaitFor([&] {
        info = {};
        return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0;
    })) << "the archiver was not reaped";
}

}  // namespace
}  // namespace qelvor
