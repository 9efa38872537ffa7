#include "log/log_saver.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <sstream>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "config/app_paths.h"
#include "config/com_setting.h"
#include "config/string_table.h"
#include "log/zip_writer.h"
#include "support/recording_box.h"
#include "support/temp_folder.h"
#include "support/zip_reader.h"

namespace qelvor {
namespace {

using namespace testing_support;
using namespace std::string_literals;
namespace fs = std::filesystem;

SystemTime At(uint16_t h, uint16_t m, uint16_t s, uint16_t ms) {
    return SystemTime{2026, 12, 0, 6, h, m, s, ms};
}

// Records with control bytes, CR LF, 0x00 and bytes above 0x7F; their layouts by hand.
void FillSample(CRecordStore& records) {
    records.Clear();
    records.emplace_back('S', "\x02\x41\x03"s, At(8, 15, 2, 45));
    records.emplace_back('R', "ok\r\n\0\xAB\xFF"s, At(8, 15, 3, 500));
    records.emplace_back('I', "Send data,but error!"s, At(23, 59, 59, 999));
    records.emplace_back('R', ""s, At(0, 0, 0, 0));
    records.emplace_back('R', "\x01\xAB"s, At(12, 0, 0, 7));
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

// The Txt header holds the time of the save: checked here with a fixed time.
TEST(LogFormats, TxtStartsWithTheTimeInTheChosenLanguage) {
    SetStringLanguage(UiLanguage::English);
    const SystemTime now{2026, 3, 0, 7, 9, 5, 3, 250};
    // The Txt date runs straight into the hour, numbers without leading zeros.
    const std::string stamp = "2026-3-79:5:3\r\n";
    CRecordStore sample;
    FillSample(sample);
    EXPECT_EQ(RenderLog(sample, LogFormat::Txt, false, now),
              "save logfile datetime: " + stamp + kTxtBody);
    SetStringLanguage(UiLanguage::Chinese);
    EXPECT_EQ(RenderLog({}, LogFormat::Txt, false, now), LoadStr(21025) + stamp + "\r\n");
}

// A tap's records are both directions: each format keeps its side.
TEST(LogFormats, TapRecordsSayTheirSide) {
    CRecordStore tap;
    tap.Append(CMsgRecord('A', "\x05"));
    tap.Append(CMsgRecord('B', "\x06"));
    const SystemTime now{2026, 3, 0, 7, 9, 5, 3, 250};
    EXPECT_EQ(RenderLog(tap, LogFormat::Hex, false, now), "A: 05 \r\nB: 06 \r\n");
    EXPECT_EQ(RenderLog(tap, LogFormat::Fmt, false, now), "A:<ENQ>\r\nB:<ACK>\r\n");
}

class LogSaver : public ::testing::Test {
  protected:
    void SetUp() override {
        SetStringLanguage(UiLanguage::English);
        settings_.ExeDir = exeDir_.Path();
        settings_.DesktopDir = desktop_.Path();
        settings_.SaveDatatoDesktop = settings_.SaveEventTimetoFmtFile = 0;
        FillSample(store_);
    }
    int Save(LogFormat format, bool asking, std::string& report) {
        return SaveLog(store_, settings_, box_, "MsgLog.log", format, asking, report);
    }

    TempFolder exeDir_, desktop_;
    const std::string path_ = exeDir_.File("MsgLog.log");
    CComSetting settings_;
    RecordingBox box_;
    CRecordStore store_;
};

// A box shown while asking holds the report, so the report is checked by
// the box, and a cancelled save keeps the caller's report.
TEST_F(LogSaver, AsksBeforeTouchingAnExistingFileAndFollowsTheSettings) {
    const std::string question =
        "Save Log Data (question, yes-no-cancel): File already exists, you want to overwrite it?\n"
        "  Yes = overwrite  \n  No  = append to the end of the file \n  Cancle = Cancle save\n";
    const std::string created =
        "Save Log Data (info, ok): with Fmt styleSave data file succeeded: " + path_ + "\n";
    std::string report;
    ASSERT_EQ(Save(LogFormat::Fmt, true, report), 1) << "a new file needs no question";
    EXPECT_EQ(ReadFile(path_) + box_.Take(), kFmt + created);
    box_.answer = MsgResult::No;
    ASSERT_EQ(Save(LogFormat::Fmt, true, report), 1);
    EXPECT_EQ(ReadFile(path_) + box_.Take(),
              kFmt + kFmt + question +
                  "Save Log Data (info, ok): with Fmt styleappend log data to file succeeded: " +
                  path_ + "\n");
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
    // Without a desktop or documents folder an installed program saves into the settings
    // folder, made at the first save; the box names the file.
    ScopedEnv home("HOME", desktop_.File("home"));
    fs::remove_all(desktop_.File("config"));
    std::tie(settings_.ExeDir, settings_.SaveDatatoDesktop) = std::tuple("/usr/bin/", 1);
    settings_.DesktopDir = UserFilesFolder(settings_.ExeDir);
    ASSERT_EQ(Save(LogFormat::Fmt, true, report), 1);
    const std::string file = desktop_.File("config/qelvor/MsgLog.log");
    EXPECT_EQ(ReadFile(file) + box_.Take(),
              kFmtWithTime + "Save Log Data (info, ok): with Fmt styleSave data file succeeded: " +
                  file + "\n");
}

// Each row breaks the save and names the error shown, also without asking
// (0: nothing shown); a pipe without reader fails at once.
TEST_F(LogSaver, FailedSaveReportsTheSystemErrorAndKeepsTheReport) {
    // clang-format off
    const std::pair<std::function<void()>, int> cases[] = {
        {[&] { store_.Clear(); }, 0}, {[&] { settings_.DesktopDir = exeDir_.File("missing/"); }, 2},
        {[&] { ::mkfifo(path_.c_str(), 0644); }, 6}};
    // clang-format on
    for (const auto& [arrange, errorCode] : cases) {
        fs::remove_all(path_);
        FillSample(store_);
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
    // Each file saved alone is named; packed ones are gone, so the archive is named instead.
    std::string savedAll;
    std::istringstream reports(kSucceeded);
    for (const char* name : kAllNames) {
        std::string line;
        std::getline(reports, line);
        savedAll += line + ": " + exeDir_.File(name) + "\n";
    }
    EXPECT_TRUE(SaveToZip(store_, settings_, box_));
    EXPECT_EQ(box_.Take(), "save log data (info, ok): " + savedAll +
                               "\nsave log data (info, ok): " + kSucceeded +
                               "save log data and zipped into MsgLogData.zip successed!\n" +
                               exeDir_.File(kLogZipName) + "\n");
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
    store_.Clear();
    fs::remove(exeDir_.File(kLogZipName));
    SaveAsAll(store_, settings_, box_);
    EXPECT_FALSE(SaveToZip(store_, settings_, box_));
    EXPECT_EQ(box_.Take(), "save log data (info, ok): \n\n\n\n\n\n");
    EXPECT_TRUE(fs::is_empty(exeDir_.Path()));
}

TEST_F(LogSaver, ZipListsWhatCouldNotBeWrittenOrPackedAndKeepsItOrRefusesANonArchive) {
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

    // An archive that cannot be created (a folder, a named pipe) fails at once
    // with its reason: every file stays and is listed.
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
    // "Save to Zip file" refuses a target that is not an archive and says why.
    fs::remove_all(exeDir_.Path());
    fs::create_directory(exeDir_.Path());
    const std::string target = exeDir_.File("notes.zip");
    WriteFile(target, "my notes");
    EXPECT_FALSE(SaveToZipAt(store_, settings_, box_, target));
    EXPECT_EQ(box_.Take(), "save log data (stop, ok): save and compress log data failed:\n" +
                               target + ": not a zip archive; the file is left as it is\n");
    EXPECT_EQ(ReadFile(target), "my notes");
    EXPECT_EQ(Listing(exeDir_.Path()), std::vector<std::string>{"notes.zip"});
}
}  // namespace
}  // namespace qelvor
