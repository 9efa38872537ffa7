#include "log/log_writer.h"

#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "support/full_disk.h"
#include "support/temp_folder.h"
#include "traffic/msg_record.h"

namespace qelvor {
namespace {

using namespace testing_support;
using namespace std::string_literals;
namespace fs = std::filesystem;

// Lines "line 042" and up, CR LF ended: ten bytes each below 1000.
std::string NumberedLines(int from, int to) {
    std::string text;
    for (int i = from; i < to; ++i)
        text += StrPrintf("line %03d\r\n", i);
    return text;
}

void PostLines(CLogWriter& writer, int from, int to) {
    for (int i = from; i < to; ++i)
        writer.Post(StrPrintf("line %03d", i), CLogWriter::kAppendLine);
}

// The local time as a backup's name holds it, from the clock the backup reads
// (time() takes a coarser clock that may still show the second before).
std::string StampNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
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

    TempFolder dir_;
    const std::string folder_ = dir_.File("LogData/");
    const std::string logPath_ = folder_ + "Qelvor.log";
    // The failure notice waiting, or "(none)".
    std::string Notice() {
        std::string notice;
        return writer_.TakeFailureNotice(notice) ? notice : "(none)";
    }
    CComSetting settings_;
    CLogWriter writer_;
};

// A record's line: time, type, notation; a reader at any time sees a prefix of the lines.
TEST_F(LogWriter, RecordLinesStayInOrderWhileReadAndStopWritesThoseStillQueued) {
    writer_.LogRecord(CMsgRecord('R', "\x06"s, SystemTime{2026, 12, 0, 6, 8, 15, 2, 45}));
    writer_.LogRecord(CMsgRecord('S', "a\r\nb\0\xE9"s, SystemTime{2026, 12, 0, 6, 23, 5, 9, 7}));
    const std::string all = "<08:15:02.045>R:<ACK>\r\n<23:05:09.007>S:a<CR><LF>b<NUL>\xE9\r\n" +
                            NumberedLines(0, 20000);
    std::thread reader([&] {
        for (int i = 0; i < 100; ++i)
            EXPECT_EQ(all.rfind(ReadFile(logPath_), 0), 0u);
    });
    PostLines(writer_, 0, 20000);
    writer_.Stop();
    reader.join();
    EXPECT_EQ(ReadFile(logPath_), all);
    writer_.Post("after stop", CLogWriter::kAppendLine);
    writer_.Stop();
    EXPECT_EQ(ReadFile(logPath_), all) << "posts after Stop are dropped";
}

// A run of failed appends (a file where the log folder belongs) is told once;
// a named pipe at the log path is refused without waiting for a reader.
TEST_F(LogWriter, EachRunOfFailedAppendsIsReportedOnce) {
    const std::string lost = dir_.File("blocked/Qelvor.log"), fifo = dir_.File("fifo.log");
    WriteFile(dir_.File("blocked"), "not a folder");
    const std::string reason = ": Not a directory";
    const auto run = [&](const std::string& path, int lines) {
        writer_.Start(path, settings_);
        PostLines(writer_, 0, lines);
        writer_.Stop();
    };
    run(lost, 3);
    run(logPath_, 1);  // the run ends unasked: told whole, once
    EXPECT_EQ(Notice(), "continuous log: 3 lines could not be written" + reason);
    EXPECT_EQ(Notice(), "(none)");
    run(lost, 2);  // asked while it goes on: the lines so far
    EXPECT_EQ(Notice(), "continuous log: 2 lines could not be written" + reason);
    // The same run going on brings no more: MainEngine.ContinuousLogThatCannotWrite...
    run(logPath_, 1);
    EXPECT_EQ(Notice(), "continuous log: writing again, 2 lines were lost in all");
    EXPECT_EQ(ReadFile(logPath_), NumberedLines(0, 1) + NumberedLines(0, 1));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_TRUE(FinishesWithoutAReader(fifo, [&] { run(fifo, 3); }));
    EXPECT_EQ(Notice(), "continuous log: 3 lines could not be written: No such device or address");
}

// The backup takes the lines posted before it, named by its time; the archiver gets it.
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
    PostLines(writer_, 0, 5000);
    PostBackup(writer_);
    PostLines(writer_, 5000, 8000);
    writer_.Stop();
    const std::string after = StampNow();
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(record); }, 10000)) << "the archiver never ran";

    const std::vector<std::string> names = Listing(folder_);
    ASSERT_EQ(names.size(), 2u);  // the backup, "MsgLog" yyyymmdd_hhmmss ".log", and the log
    const std::string stamp = names[0].substr(6, 15), backup = folder_ + names[0];
    EXPECT_EQ(names[0], "MsgLog" + stamp + ".log");
    EXPECT_TRUE(before <= stamp && stamp <= after)
        << stamp << " not in " << before << ".." << after;
    EXPECT_EQ(std::make_tuple(ReadFile(backup), ReadFile(logPath_)),  // the backup itself stays
              std::make_tuple(NumberedLines(0, 5000), NumberedLines(5000, 8000)));
    const std::string seen = ReadFile(record);
    const size_t eol = seen.find('\n');
    EXPECT_EQ(seen.substr(eol + 1), "u\n-tzip\n" + backup + ".zip\n" + backup +
                                        "\n/dev/null\n/dev/null\n/dev/null\n0000000000000000\n")
        << "streams on /dev/null, no signal blocked";
    EXPECT_NE(seen.substr(0, eol), std::to_string(::getpgrp())) << "a Ctrl+C would reach it";
    // An ended child not yet reaped shows to waitid without being reaped by it.
    siginfo_t info{};
    EXPECT_TRUE(WaitUntil(
        [&] {
            info = {};
            return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0;
        },
        10000))
        << "the archiver was not reaped";
}

// Room for 50 lines and half of the 51st: lines are lost whole, counted in
// one notice, and the total is told (into the file too) once writing resumes.
TEST(LogIntegrity, AFullDiskLosesWholeLinesOnlyAndTheirCountIsToldWhenWritingResumes) {
    TempFolder dir;
    const std::string log = dir.File("Qelvor.log");
    const std::string told = InFullDiskChild(505, [&] {
        CComSetting settings;
        CLogWriter writer;
        const auto run = [&](int from, int to) {
            std::string notice = "-";
            writer.Start(log, settings);
            PostLines(writer, from, to);
            writer.Stop();
            writer.TakeFailureNotice(notice);
            return notice;
        };
        const std::string first = run(0, 80), during = run(80, 120);
        LiftFileLimit();
        const std::string resumed = run(120, 130);
        writer.Start(log, settings);
        writer.LogRecord(CMsgRecord('I', resumed, SystemTime{2026, 12, 1, 7, 3, 4, 5, 6}));
        writer.Stop();
        return first + "\n" + during + "\n" + resumed + "\n";
    });
    const std::string kept = NumberedLines(0, 50) + NumberedLines(120, 130);
    const std::string file = ReadFile(log);
    ASSERT_EQ(file.substr(0, kept.size()), kept);
    const int lost = 130 - static_cast<int>(kept.size() / 10);
    const std::string resumed =
        "continuous log: writing again, " + std::to_string(lost) + " lines were lost in all";
    EXPECT_EQ(std::make_tuple(lost, file.substr(kept.size())),
              std::make_tuple(70, "<03:04:05.006>I:" + resumed + "\r\n"));
    EXPECT_EQ(told, "continuous log: 30 lines could not be written: File too large\n-\n" + resumed +
                        "\n");
}

// A log folder removed while logging is made again for the next lines.
TEST_F(LogWriter, AMissingLogFolderIsMadeAgain) {
    PostLines(writer_, 0, 1);
    writer_.Stop();
    fs::remove_all(folder_);
    writer_.Start(logPath_, settings_);
    PostLines(writer_, 1, 2);
    writer_.Stop();
    EXPECT_EQ(std::make_tuple(ReadFile(logPath_), Notice()),
              std::make_tuple(NumberedLines(1, 2), "(none)"s));
}

}  // namespace
}  // namespace qelvor
