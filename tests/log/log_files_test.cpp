// The five log layouts and the save commands that write them (zip archive
// read back), the CSV export and the continuous log.
#include "log/log_saver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <ctime>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "log/csv_exporter.h"
#include "log/log_writer.h"
#include "log/zip_writer.h"
#include "support/recording_box.h"
#include "support/temp_folder.h"
#include "support/zip_reader.h"
#include "traffic/msg_exchange.h"
#include "traffic/msg_record.h"

namespace qelvor {
namespace {

using namespace testing_support;
using namespace std::string_literals;
namespace fs = std::filesystem;

// Runs a step that must never wait on a named pipe, with a time limit: a
// step stuck opening the pipe is let go by opening the pipe's reading end
// (kept open until the step ends, so nothing it writes meets SIGPIPE), so
// such a fault fails the test instead of hanging it.
bool FinishesWithoutAReader(const std::string& fifo, const std::function<void()>& step) {
    auto done = std::async(std::launch::async, step);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    done.wait();
    if (reader >= 0) ::close(reader);
    return false;
}

SystemTime At(uint16_t h, uint16_t m, uint16_t s, uint16_t ms) {
    return SystemTime{2026, 12, 0, 6, h, m, s, ms};
}

// Sent, received and information records with control bytes, CR LF, 0x00 and
// bytes above 0x7F, and their layouts written out by hand.
MsgRecords SampleStore() {
    MsgRecords records;
    records.emplace_back('S', "\x02\x41\x03"s, At(8, 15, 2, 45));
    records.emplace_back('R', "ok\r\n\0\xAB\xFF"s, At(8, 15, 3, 500));
    records.emplace_back('I', "Send data,but error!"s, At(23, 59, 59, 999));
    records.emplace_back('R', ""s, At(0, 0, 0, 0));
    records.emplace_back('R', "\x01\xAB"s, At(12, 0, 0, 7));
    return records;
}
const std::string kFmt =
    "S:<STX>A<ETX>\r\nR:ok<CR><LF><NUL>\xAB\xFF\r\nI:Send data,but error!\r\nR:\r\nR:<SOH>\xAB\r\n";
const std::string kFmtWithTime =
    "[08:15:02.045]S:<STX>A<ETX>\r\n[08:15:03.500]R:ok<CR><LF><NUL>\xAB\xFF\r\n"
    "[23:59:59.999]I:Send data,but error!\r\n[00:00:00.000]R:\r\n[12:00:00.007]R:<SOH>\xAB\r\n";
const std::string kRaw = "ok\r\n\0\xAB\xFF\x01\xAB"s;  // received bytes only
const std::string kHex = "6F 6B 0D 0A 00 AB FF \r\n\r\n01 AB \r\n";
// The Txt records after the header line: text mode turns each LF into CR LF.
const std::string kTxtBody =
    "S:\x02\x41\x03R:ok\r\r\n\0\xAB\xFFI:Send data,but error!R:R:\x01\xAB\r\n"s;
const std::string kFmtBinary = "<STX>A<ETX>ok<CR><LF><NUL>\xAB\xFFSend data,but error!<SOH>\xAB";
const char* const kAllNames[] = {"MsgLogData.log", "MsgLogData.raw", "MsgLogData.hex",
                                 "MsgLogData.txt", "MsgLogData.bin"};

// The saved layouts are compared as files below; the Txt header holds the
// time of the save, so it is checked here with a fixed time.
TEST(LogFormats, TxtStartsWithTheTimeInTheChosenLanguage) {
    SetStringLanguage(UiLanguage::English);
    const SystemTime now{2026, 3, 0, 7, 9, 5, 3, 250};
    // The Txt date runs straight into the hour, numbers without leading zeros.
    const std::string stamp = "2026-3-79:5:3\r\n";
    EXPECT_EQ(RenderLog(SampleStore(), LogFormat::Txt, false, now),
              "save logfile datetime: " + stamp + kTxtBody);
    SetStringLanguage(UiLanguage::Chinese);
    EXPECT_EQ(RenderLog({}, LogFormat::Txt, false, now), LoadStr(21025) + stamp + "\r\n");
}

class LogSaver : public ::testing::Test {
  protected:
    void SetUp() override {
        SetStringLanguage(UiLanguage::English);
        settings_.ExeDir = exeDir_.Path();
        settings_.DesktopDir = desktop_.Path();
        settings_.SaveDatatoDesktop = settings_.SaveEventTimetoFmtFile = 0;
    }
    int Save(LogFormat format, bool asking, std::string& report) {
        return SaveLog(store_, settings_, box_, "MsgLog.log", format, asking, report);
    }

    TempFolder exeDir_, desktop_;
    const std::string path_ = exeDir_.File("MsgLog.log");
    CComSetting settings_;
    RecordingBox box_;
    MsgRecords store_ = SampleStore();
};

// A box shown while asking holds the report, so the report is checked by
// the box, and a cancelled save keeps the caller's report.
TEST_F(LogSaver, AsksBeforeTouchingAnExistingFileAndFollowsTheSettings) {
    const std::string question =
        "Save Log Data (question, yes-no-cancel): File already exists, you want to overwrite it?\n"
        "  Yes = overwrite  \n  No  = append to the end of the file \n  Cancle = Cancle save\n";
    const std::string created =
        "Save Log Data (info, ok): with Fmt styleSave data file succeeded\n";
    std::string report;
    ASSERT_EQ(Save(LogFormat::Fmt, true, report), 1) << "a new file needs no question";
    EXPECT_EQ(ReadFile(path_) + box_.Take(), kFmt + created);
    box_.answer = MsgResult::No;
    ASSERT_EQ(Save(LogFormat::Fmt, true, report), 1);
    EXPECT_EQ(ReadFile(path_) + box_.Take(),
              kFmt + kFmt + question +
                  "Save Log Data (info, ok): with Fmt styleappend log data to file succeeded\n");
    box_.answer = MsgResult::Cancel;
    report = "kept";
    EXPECT_EQ(Save(LogFormat::Fmt, true, report), 0);
    EXPECT_EQ(report + box_.Take(),
              "kept" + question + "Save Log Data (info, ok): You cancel the file save operation\n");
    box_.answer = MsgResult::Yes;
    ASSERT_EQ(Save(LogFormat::Fmt, true, report), 1);
    EXPECT_EQ(ReadFile(path_) + box_.Take(), kFmt + question + created);
    ASSERT_EQ(Save(LogFormat::Raw, false, report), 1);
    EXPECT_EQ(ReadFile(path_) + box_.Take(), kRaw) << "without asking: replaced, nothing shown";
    settings_.SaveEventTimetoFmtFile = settings_.SaveDatatoDesktop = 1;
    ASSERT_EQ(Save(LogFormat::Fmt, false, report), 1);
    EXPECT_EQ(ReadFile(desktop_.File("MsgLog.log")), kFmtWithTime);

    // A program folder this user cannot write (here: not there at all)
    // sends the files to the settings folder.
    settings_.SaveDatatoDesktop = 0;
    settings_.ExeDir = exeDir_.File("installed/");
    ScopedEnv config("XDG_CONFIG_HOME", desktop_.File("config"));
    ASSERT_EQ(Save(LogFormat::Raw, false, report), 1);
    EXPECT_EQ(ReadFile(desktop_.File("config/qelvor/MsgLog.log")), kRaw);
}

// Each row breaks the save and names the error shown, also without asking
// (0: nothing shown); a pipe without reader fails at once.
TEST_F(LogSaver, FailedSaveReportsTheSystemErrorAndKeepsTheReport) {
    // clang-format off
    const std::pair<std::function<void()>, int> cases[] = {
        {[&] { store_.clear(); }, 0}, {[&] { settings_.DesktopDir = exeDir_.File("missing/"); }, 2},
        {[&] { ::mkfifo(path_.c_str(), 0644); }, 6}};
    // clang-format on
    for (const auto& [arrange, errorCode] : cases) {
        fs::remove_all(path_);
        store_ = SampleStore();
        settings_.DesktopDir = exeDir_.Path();
        settings_.SaveDatatoDesktop = 1;
        arrange();
        std::string report = "kept";
        EXPECT_EQ(Save(LogFormat::Fmt, false, report), -1) << errorCode;
        EXPECT_EQ(report, "kept");
        const std::string shown =
            "Save Log Data (none, ok): Unable to save the log data,error code = ";
        EXPECT_EQ(box_.Take(), errorCode ? shown + std::to_string(errorCode) + "\n" : "");
    }
    EXPECT_FALSE(fs::exists(exeDir_.File("missing")));
}

const std::string kSucceeded =
    "with Fmt styleSave data file succeeded\nwith Bin styleSave data file succeeded\n"
    "with Hex styleSave data file succeeded\nwith txt styleSave data file succeeded\n"
    "with binary Fmt styleSave data file succeeded\n";

TEST_F(LogSaver, SaveAllAndZipWriteTheFiveLayouts) {
    SaveAsAll(store_, settings_, box_);
    EXPECT_EQ(ReadFile(exeDir_.File("MsgLogData.hex")), kHex);
    EXPECT_TRUE(SaveToZip(store_, settings_, box_));
    EXPECT_EQ(box_.Take(), "save log data (info, ok): " + kSucceeded +
                               "\nsave log data (info, ok): " + kSucceeded +
                               "save log data and zipped into MsgLogData.zip successed!\n");
    ZipEntries entries = ReadZip(exeDir_.File(kLogZipName));
    ASSERT_EQ(entries.size(), 5u);
    entries[3].second.erase(0, entries[3].second.find("\r\n") + 2);  // the time of the save
    // clang-format off
    EXPECT_EQ(entries, (ZipEntries{{kAllNames[0], kFmt}, {kAllNames[1], kRaw}, {kAllNames[2], kHex},
                                   {kAllNames[3], kTxtBody}, {kAllNames[4], kFmtBinary}}));
    // clang-format on
    for (const char* name : kAllNames)
        EXPECT_FALSE(fs::exists(exeDir_.File(name))) << name << " is left beside the zip";

    // The empty store: five empty results, no zip report and no files.
    store_.clear();
    fs::remove(exeDir_.File(kLogZipName));
    SaveAsAll(store_, settings_, box_);
    EXPECT_FALSE(SaveToZip(store_, settings_, box_));
    EXPECT_EQ(box_.Take(), "save log data (info, ok): \n\n\n\n\n\n");
    EXPECT_TRUE(fs::is_empty(exeDir_.Path()));
}

TEST_F(LogSaver, ZipListsWhatCouldNotBeWrittenOrPackedAndKeepsIt) {
    ASSERT_EQ(::symlink("/dev/full", exeDir_.File("MsgLogData.hex").c_str()), 0);
    EXPECT_FALSE(SaveToZip(store_, settings_, box_));
    ZipEntries entries = ReadZip(exeDir_.File(kLogZipName));
    ASSERT_EQ(entries.size(), 4u);
    for (const auto& entry : entries)
        EXPECT_NE(entry.first, "MsgLogData.hex");
    EXPECT_FALSE(fs::exists(exeDir_.File("MsgLogData.log")));
    const std::string unsaved =
        "Save Log Data (none, ok): Unable to save the log data,error code = 22\n"
        "save log data (stop, ok): ";
    std::string listed = kSucceeded;  // the layout that failed is told as not compressed
    listed.replace(listed.find("with Hex"), 39, "\tcompress log failed");
    EXPECT_EQ(box_.Take(), unsaved + listed +
                               "save and compress log data failed:\nsave and compress file "
                               "MsgLogData.hex failed!\n\n");

    // An archive that cannot be created, a folder or a named pipe, fails at
    // once with its reason: every file stays and is listed.
    const std::string archive = exeDir_.File(kLogZipName);
    for (const auto& [make, error] : {std::pair{&::mkdir, EISDIR}, std::pair{&::mkfifo, EINVAL}}) {
        fs::remove_all(archive);
        ASSERT_EQ(make(archive.c_str(), 0755), 0);
        ASSERT_TRUE(FinishesWithoutAReader(archive, [&, error = error] {
            CZipWriter zip;
            EXPECT_FALSE(zip.Create(archive));
            EXPECT_EQ(errno, error);
            EXPECT_FALSE(SaveToZip(store_, settings_, box_));
        })) << error;
        const std::string shown = box_.Take();
        EXPECT_EQ(shown.rfind(unsaved, 0), 0u) << shown;
        for (const char* name : kAllNames) {
            EXPECT_TRUE(fs::exists(exeDir_.File(name))) << name;
            EXPECT_NE(shown.find("save and compress file "s + name + " failed!\n"),
                      std::string::npos);
        }
    }
}

// The CSV export of a real traffic store to files in a temporary folder: the
// file read back whole, filtered rows, and exports that are cancelled or fail
// leaving no file behind.
using State = CCsvExporter::State;

class CsvExportTest : public testing::Test {
  protected:
    void SetUp() override {
        Add('S', "\r", 4, 5);
        Add('R', std::string("\x02") + "a,\"b\"\xC3\xA9\xFF\x03\r\n", 4, 10);
        Add('I', "x\ny", 4, 17);
    }
    void Add(char type, const std::string& data, uint16_t second, uint16_t ms) {
        exchange_.AppendRecord(CMsgRecord(type, data, {2024, 5, 0, 7, 9, 3, second, ms}));
    }
    State RunToEnd(CCsvExporter& exporter) {
        State state = exporter.GetState();
        for (int i = 0; i < 1000 && state == State::kWriting; ++i)
            state = exporter.Step(CCsvExporter::Clock::now());
        return state;
    }

    CComSetting settings_;
    CMsgExchange exchange_{settings_};
    testing_support::TempFolder folder_;
    std::string path_ = folder_.File("traffic.csv");
    std::string part_ = CCsvExporter::TemporaryPath(path_);
};

TEST_F(CsvExportTest, WritesTheRecordsAndLeavesNoFileWhenCancelledOrFailed) {
    // Records hold text in the locale's character set, as the program sets
    // it at start: UTF-8 text stays, a byte that is no UTF-8 becomes U+FFFD.
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    CCsvExporter exporter(exchange_);
    ASSERT_EQ(exporter.Start(path_, nullptr, {.showDataFmt = 0}), 0);
    EXPECT_EQ(RunToEnd(exporter), State::kDone) << exporter.Error();
    EXPECT_EQ(ReadFile(path_),
              "date,time,+ms,type,data,hex\r\n2024-05-07,09:03:04.005,,S,\"'\r\",0D\r\n"
              "2024-05-07,09:03:04.010,5,R,\"\x02"
              "a,\"\"b\"\"\xC3\xA9\xEF\xBF\xBD\x03\r\n\","
              "02 61 2C 22 62 22 C3 A9 FF 03 0D 0A\r\n"
              "2024-05-07,09:03:04.017,7,I,x<LF>y,78 0A 79\r\n");
    EXPECT_FALSE(fs::exists(part_));
    std::setlocale(LC_CTYPE, locale.c_str());
    // The rows of a filter, with the gaps to the previous record of the type.
    Add('S', "\x06", 5, 0);
    const std::vector<size_t> rows{0, 3};
    ASSERT_EQ(exporter.Start(path_, &rows, {.showDataFmt = 2, .gapScope = GapScope::kSameType}), 0);
    EXPECT_EQ(RunToEnd(exporter), State::kDone);
    EXPECT_EQ(ReadFile(path_),
              "date,time,+ms,type,data,hex\r\n2024-05-07,09:03:04.005,,S,0D ,0D\r\n"
              "2024-05-07,09:03:05.000,995,S,06 ,06\r\n");
    // Exports that are cancelled or fail leave no file behind.
    fs::remove(path_);
    for (int i = 0; i < 3000; ++i)
        exchange_.AddRecord('R', std::string(100, 'x'));
    for (bool clear : {false, true}) {
        CCsvExporter stopped(exchange_);
        ASSERT_EQ(stopped.Start(path_, nullptr, {}), 0);
        EXPECT_EQ(stopped.Step(CCsvExporter::Clock::now()), State::kWriting);
        EXPECT_GT(stopped.Progress(), 0.0);
        EXPECT_TRUE(fs::exists(part_));
        clear ? exchange_.ClearAll() : stopped.Cancel();
        EXPECT_EQ(RunToEnd(stopped), clear ? State::kFailed : State::kCancelled);
        EXPECT_FALSE(fs::exists(path_) || fs::exists(part_));
    }
    EXPECT_NE(exporter.Start(folder_.File("no/such/folder.csv"), nullptr, {}), 0);
    EXPECT_NE(exporter.Error().find("no/such/folder.csv.part"), std::string::npos);
}

// The continuous log: line order across backups, Stop, failure notices, the archiver.

std::string NumberedLines(int from, int to) {
    std::string text;
    for (int i = from; i < to; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    return text;
}

// The local time as a backup's name holds it.
// Read from the clock the backup reads: time() takes a coarser clock that
// may still show the second before.
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

// A record's line carries its time, type and notation. The file is closed
// between passes, so a reader may look at it at any time; whatever it sees is
// a prefix of the lines posted.
TEST_F(LogWriter, RecordLinesStayInOrderWhileReadAndStopWritesThoseStillQueued) {
    writer_.LogRecord(CMsgRecord('R', "\x06"s, SystemTime{2026, 12, 0, 6, 8, 15, 2, 45}));
    writer_.LogRecord(CMsgRecord('S', "a\r\nb\0\xE9"s, SystemTime{2026, 12, 0, 6, 23, 5, 9, 7}));
    const std::string all = "<08:15:02.045>R:<ACK>\r\n<23:05:09.007>S:a<CR><LF>b<NUL>\xE9\r\n" +
                            NumberedLines(0, 20000);
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
// appends failing one after the other (here: a file stands where the log
// folder belongs). A named pipe at the log path is refused without waiting
// for a reader.
TEST_F(LogWriter, EachRunOfFailedAppendsIsReportedOnce) {
    const std::string lost = dir_.File("blocked/Qelvor.log"), fifo = dir_.File("fifo.log");
    WriteFile(dir_.File("blocked"), "not a folder");
    const std::string reason = ": Not a directory";
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
    // The same run going on brings no more: MainEngine.ContinuousLogThatCannotWrite...
    run(logPath_, 1);
    ASSERT_TRUE(writer_.TakeFailureNotice(notice));
    EXPECT_EQ(notice, "continuous log: writing again, 2 lines were lost in all");
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
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(record); }, 10000)) << "the archiver never ran";

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
    EXPECT_TRUE(WaitUntil(
        [&] {
            info = {};
            return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0;
        },
        10000))
        << "the archiver was not reaped";
}

}  // namespace
}  // namespace qelvor
