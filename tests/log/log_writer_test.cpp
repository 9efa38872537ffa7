#include "log/log_writer.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "log/log_test_support.h"
#include "log/sample_store.h"
#include "traffic/msg_record.h"

namespace qelvor {
namespace {

using namespace testing_support;
using namespace std::chrono_literals;

// Waits up to ten seconds for the condition; the log works on its own thread.
bool WaitFor(const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// "MsgLog" yyyymmdd "_" hhmmss ".log".
bool IsBackupName(const std::string& name) {
    if (name.size() != 25 || name.rfind("MsgLog", 0) != 0 || name.substr(21) != ".log") {
        return false;
    }
    const std::string stamp = name.substr(6, 15);
    return stamp[8] == '_' &&
           stamp.substr(0, 8).find_first_not_of("0123456789") == std::string::npos &&
           stamp.substr(9).find_first_not_of("0123456789") == std::string::npos;
}

std::vector<std::string> BackupsIn(const std::string& folder) {
    std::vector<std::string> backups;
    for (const std::string& name : FilesIn(folder)) {
        if (IsBackupName(name)) {
            backups.push_back(name);
        }
    }
    return backups;
}

std::string NumberedLines(int from, int to) {
    std::string text;
    for (int i = from; i < to; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    return text;
}

// The local time as it appears in a backup name.
std::string StampNow() {
    SystemTime t = SystemTime::Now();
    char text[32];
    std::snprintf(text, sizeof text, "%d%02d%02d_%02d%02d%02d", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return text;
}

// Zombie children of this process, from /proc.
int ZombieChildren() {
    int zombies = 0;
    const std::string self = std::to_string(::getpid());
    for (const std::string& pid : FilesIn("/proc")) {
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string stat = ReadWhole("/proc/" + pid + "/stat");
        size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) != 2) continue;
        if (state == 'Z' && std::to_string(ppid) == self) ++zombies;
    }
    return zombies;
}

class LogWriter : public ::testing::Test {
  protected:
    void SetUp() override {
        SetStringLanguage(UiLanguage::English);
        folder_ = dir_.Path() + "LogData/";
        ASSERT_EQ(::mkdir(folder_.c_str(), 0755), 0);
        logPath_ = folder_ + "Qelvor.log";
        writer_.Start(logPath_, settings_);
        writer_.SetArchiverPath("");
    }

    void PostLines(int from, int to) {
        for (int i = from; i < to; ++i)
            writer_.Post("line " + std::to_string(i), 1);
    }

    TempFolder dir_;
    std::string folder_;
    std::string logPath_;
    CComSetting settings_;
    CLogWriter writer_;
};

TEST_F(LogWriter, RecordLineCarriesTimeTypeAndNotation) {
    using namespace std::string_literals;
    CMsgRecord ack('R', "\x06"s, At(8, 15, 2, 45));
    CMsgRecord crlf('S', "a\r\nb\0\xE9"s, At(23, 5, 9, 7));
    EXPECT_EQ(CLogWriter::FormatLine(ack), "<08:15:02.045>R:<ACK>");
    EXPECT_EQ(CLogWriter::FormatLine(crlf), "<23:05:09.007>S:a<CR><LF>b<NUL>\xE9");

    writer_.LogRecord(ack);
    writer_.LogRecord(crlf);
    writer_.Stop();
    EXPECT_EQ(ReadWhole(logPath_),
              "<08:15:02.045>R:<ACK>\r\n<23:05:09.007>S:a<CR><LF>b<NUL>\xE9\r\n");
}

TEST_F(LogWriter, StopWritesEveryQueuedLine) {
    PostLines(0, 20000);
    writer_.Stop();
    EXPECT_EQ(ReadWhole(logPath_), NumberedLines(0, 20000));
    writer_.Post("after stop", 1);
    EXPECT_EQ(ReadWhole(logPath_), NumberedLines(0, 20000)) << "posts after Stop are dropped";
}

TEST_F(LogWriter, LinePostedAsTheWorkerEndsIsWrittenWithoutAnotherPost) {
    // Each line is posted just as the worker runs out of work; every one
    // must reach the file on its own.
    for (int i = 0; i < 300; ++i) {
        writer_.Post("line " + std::to_string(i), 1);
        const std::string expected = NumberedLines(0, i + 1);
        ASSERT_TRUE(WaitFor([&] { return ReadWhole(logPath_) == expected; })) << "line " << i;
    }
}

TEST_F(LogWriter, BackupSplitsTheLinesInPostOrder) {
    const std::string before = StampNow();
    PostLines(0, 5000);
    PostBackup(writer_);
    PostLines(5000, 8000);
    writer_.Stop();
    const std::string after = StampNow();

    std::vector<std::string> backups = BackupsIn(folder_);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(ReadWhole(folder_ + backups[0]), NumberedLines(0, 5000));
    EXPECT_EQ(ReadWhole(logPath_), NumberedLines(5000, 8000));
    const std::string stamp = backups[0].substr(6, 15);
    EXPECT_LE(before, stamp);
    EXPECT_LE(stamp, after);
    EXPECT_EQ(FilesIn(folder_).size(), 2u) << "no archive without an archiver";
}

TEST_F(LogWriter, BackupWithoutLogFileDoesNothing) {
    PostBackup(writer_);
    writer_.Post("first", 1);
    writer_.Stop();
    EXPECT_TRUE(BackupsIn(folder_).empty());
    EXPECT_EQ(ReadWhole(logPath_), "first\r\n");
}

TEST_F(LogWriter, SecondBackupInTheSameSecondReplacesTheFirst) {
    writer_.Post("A", 1);
    PostBackup(writer_);
    writer_.Post("B", 1);
    PostBackup(writer_);
    writer_.Stop();
    std::vector<std::string> backups = BackupsIn(folder_);
    EXPECT_FALSE(Exists(logPath_));
    if (backups.size() == 2) {
        // The two backups fell into different seconds.
        EXPECT_EQ(ReadWhole(folder_ + backups[0]), "A\r\n");
        EXPECT_EQ(ReadWhole(folder_ + backups[1]), "B\r\n");
    } else {
        ASSERT_EQ(backups.size(), 1u);
        EXPECT_EQ(ReadWhole(folder_ + backups[0]), "B\r\n");
    }
}

TEST_F(LogWriter, BackupAndLineInOneItemAppendFirst) {
    writer_.Post("A", 1);
    writer_.Post("B", CLogWriter::kAppendLine | CLogWriter::kBackup);
    writer_.Post("C", 1);
    writer_.Stop();
    std::vector<std::string> backups = BackupsIn(folder_);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(ReadWhole(folder_ + backups[0]), "A\r\nB\r\n");
    EXPECT_EQ(ReadWhole(logPath_), "C\r\n");
}

TEST_F(LogWriter, ArchiverGetsItsArgumentsAndLeavesNoZombie) {
    const std::string record = dir_.Path() + "args.txt";
    const std::string script = dir_.Path() + "archiver.sh";
    WriteWhole(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record + ".tmp'\nmv '" + record +
                           ".tmp' '" + record + "'\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    writer_.SetArchiverPath(script);
    EXPECT_EQ(writer_.ArchiverPath(), script);

    writer_.Post("packed", 1);
    PostBackup(writer_);
    ASSERT_TRUE(WaitFor([&] { return Exists(record); })) << "the archiver never ran";

    std::vector<std::string> backups = BackupsIn(folder_);
    ASSERT_EQ(backups.size(), 1u);
    const std::string backup = folder_ + backups[0];
    EXPECT_EQ(ReadWhole(record), "u\n-tzip\n" + backup + ".zip\n" + backup + "\n");
    EXPECT_EQ(ReadWhole(backup), "packed\r\n") << "the backup itself stays";
    EXPECT_TRUE(WaitFor([] { return ZombieChildren() == 0; })) << "the archiver was not reaped";
}

TEST_F(LogWriter, MissingArchiverLeavesThePlainBackup) {
    writer_.SetArchiverPath(dir_.Path() + "no-such-archiver");
    writer_.Post("kept", 1);
    PostBackup(writer_);
    writer_.Post("next", 1);
    writer_.Stop();
    std::vector<std::string> backups = BackupsIn(folder_);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(ReadWhole(folder_ + backups[0]), "kept\r\n");
    EXPECT_EQ(ReadWhole(logPath_), "next\r\n");
}

TEST_F(LogWriter, UnstartedLogWritesToTheCurrentFolderAndNeverBacksUp) {
    // Without Start the log is "Qelvor.log" in the current folder; a path
    // without a folder part gives a backup no place, so backups do nothing.
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(folder_.c_str()), 0);
    {
        CLogWriter unstarted;
        EXPECT_EQ(unstarted.LogPath(), "Qelvor.log");
        unstarted.Post("x", 1);
        PostBackup(unstarted);
        unstarted.Post("y", 1);
        unstarted.Stop();
    }
    ASSERT_EQ(::chdir(previous), 0);
    EXPECT_EQ(ReadWhole(logPath_), "x\r\ny\r\n");
    EXPECT_TRUE(BackupsIn(folder_).empty());
}

TEST_F(LogWriter, UnwritableLogLosesLinesQuietly) {
    CLogWriter writer;
    writer.Start(dir_.Path() + "missing/Qelvor.log", settings_);
    writer.Post("lost", 1);
    PostBackup(writer);
    writer.Stop();
    EXPECT_FALSE(Exists(dir_.Path() + "missing"));
}

TEST_F(LogWriter, LinesFromBurstsStayInOrderWhileTheFileIsRead) {
    // The file is closed between passes, so a reader may look at it at any
    // time; whatever it sees is a prefix of the lines posted so far.
    std::thread reader([&] {
        for (int i = 0; i < 200; ++i) {
            std::string seen = ReadWhole(logPath_);
            EXPECT_EQ(NumberedLines(0, 10000).rfind(seen, 0), 0u);
        }
    });
    for (int burst = 0; burst < 10; ++burst)
        PostLines(burst * 1000, burst * 1000 + 1000);
    reader.join();
    writer_.Stop();
    EXPECT_EQ(ReadWhole(logPath_), NumberedLines(0, 10000));
}

}  // namespace
}  // namespace qelvor
