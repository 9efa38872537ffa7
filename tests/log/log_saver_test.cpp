#include "log/log_saver.h"

#include <unistd.h>

#include <algorithm>
#include <deque>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "log/log_test_support.h"
#include "log/sample_store.h"
#include "mainwnd/message_box.h"

namespace qelvor {
namespace {

using namespace testing_support;

// Answers questions from a script and keeps every box it was shown.
class RecordingBox : public IMessageBox {
  public:
    struct Shown {
        std::string text;
        std::string caption;
        MsgIcon icon;
        MsgButtons buttons;
    };

    MsgResult ShowMessageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                             MsgButtons buttons) override {
        shown.push_back(Shown{text, caption, icon, buttons});
        if (buttons == MsgButtons::Ok) return MsgResult::Ok;
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return MsgResult::Cancel;
        }
        MsgResult answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<Shown> shown;
    std::deque<MsgResult> answers;
};

class LogSaver : public ::testing::Test {
  protected:
    void SetUp() override {
        SetStringLanguage(UiLanguage::English);
        settings_.SaveDatatoDesktop = 0;
        settings_.SaveEventTimetoFmtFile = 0;
        settings_.ExeDir = exeDir_.Path();
        settings_.DesktopDir = desktop_.Path();
    }

    std::string InExe(const std::string& name) const { return exeDir_.Path() + name; }

    int Save(const std::string& name, LogFormat format, bool asking, std::string& report) {
        return SaveLog(store_, settings_, box_, name, format, asking, report);
    }

    TempFolder exeDir_;
    TempFolder desktop_;
    CComSetting settings_;
    RecordingBox box_;
    MsgRecords store_ = SampleStore();
};

TEST_F(LogSaver, EachFormatIsWrittenAndReported) {
    struct Case {
        LogFormat format;
        const char* name;
        std::string content;
        const char* style;
    };
    const Case cases[] = {
        {LogFormat::Fmt, "MsgLog.log", SampleFmt(), "with Fmt style"},
        {LogFormat::Raw, "MsgLog.raw", SampleRaw(), "with Bin style"},
        {LogFormat::Hex, "MsgLog.hex", SampleHex(), "with Hex style"},
        {LogFormat::FmtBinary, "MsgLog.bin", SampleFmtBinary(), "with binary Fmt style"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box_.shown.clear();
        std::string report = "old";
        EXPECT_EQ(Save(c.name, c.format, true, report), 1);
        EXPECT_EQ(ReadWhole(InExe(c.name)), c.content);
        EXPECT_EQ(report, std::string(c.style) + "Save data file succeeded");
        ASSERT_EQ(box_.shown.size(), 1u) << "no question for a new file, one report";
        EXPECT_EQ(box_.shown[0].text, report);
        EXPECT_EQ(box_.shown[0].caption, "Save Log Data");
        EXPECT_EQ(box_.shown[0].icon, MsgIcon::Information);
    }
    EXPECT_FALSE(Exists(desktop_.Path() + "MsgLog.log"));
}

TEST_F(LogSaver, TxtCarriesTheSaveTimeAndTheRecordsInTextMode) {
    std::string report;
    ASSERT_EQ(Save("MsgLog.txt", LogFormat::Txt, false, report), 1);
    const std::string txt = ReadWhole(InExe("MsgLog.txt"));
    size_t headerEnd = txt.find("\r\n");
    ASSERT_NE(headerEnd, std::string::npos);
    // The header is "save logfile datetime: " and the time of the save as
    // digits with "-" and ":" between them.
    const std::string header = txt.substr(0, headerEnd);
    const std::string prefix = "save logfile datetime: ";
    ASSERT_EQ(header.rfind(prefix, 0), 0u) << header;
    const std::string stamp = header.substr(prefix.size());
    EXPECT_EQ(stamp.find_first_not_of("0123456789-:"), std::string::npos) << header;
    EXPECT_EQ(std::count(stamp.begin(), stamp.end(), '-'), 2) << header;
    EXPECT_EQ(std::count(stamp.begin(), stamp.end(), ':'), 2) << header;
    EXPECT_EQ(txt.substr(headerEnd + 2), SampleTxtBody());
    EXPECT_EQ(report, "with txt styleSave data file succeeded");
    EXPECT_TRUE(box_.shown.empty()) << "no report box without asking";
}

TEST_F(LogSaver, EventTimesAndDesktopFolderFollowTheSettings) {
    settings_.SaveEventTimetoFmtFile = 1;
    settings_.SaveDatatoDesktop = 1;
    std::string report;
    ASSERT_EQ(Save("MsgLog.log", LogFormat::Fmt, false, report), 1);
    EXPECT_EQ(ReadWhole(desktop_.Path() + "MsgLog.log"), SampleFmtWithTime());
    EXPECT_FALSE(Exists(InExe("MsgLog.log")));
    EXPECT_EQ(SaveFolder(settings_), desktop_.Path());
}

TEST_F(LogSaver, ExistingFileAnswersAppendOverwriteOrCancel) {
    const std::string path = InExe("MsgLog.log");
    WriteWhole(path, "earlier\r\n");
    std::string report;

    box_.answers = {MsgResult::No};
    ASSERT_EQ(Save("MsgLog.log", LogFormat::Fmt, true, report), 1);
    EXPECT_EQ(ReadWhole(path), "earlier\r\n" + SampleFmt());
    EXPECT_EQ(report, "with Fmt styleappend log data to file succeeded");
    ASSERT_EQ(box_.shown.size(), 2u);
    EXPECT_EQ(box_.shown[0].caption, "Save Log Data");
    EXPECT_EQ(box_.shown[0].icon, MsgIcon::Question);
    EXPECT_EQ(box_.shown[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(box_.shown[0].text.rfind("File already exists, you want to overwrite it?", 0), 0u);

    box_.answers = {MsgResult::Yes};
    ASSERT_EQ(Save("MsgLog.log", LogFormat::Fmt, true, report), 1);
    EXPECT_EQ(ReadWhole(path), SampleFmt());
    EXPECT_EQ(report, "with Fmt styleSave data file succeeded");

    box_.shown.clear();
    box_.answers = {MsgResult::Cancel};
    report = "kept";
    EXPECT_EQ(Save("MsgLog.log", LogFormat::Fmt, true, report), 0);
    EXPECT_EQ(ReadWhole(path), SampleFmt());
    EXPECT_EQ(report, "kept");
    ASSERT_EQ(box_.shown.size(), 2u);
    EXPECT_EQ(box_.shown[1].text, "You cancel the file save operation");
    EXPECT_EQ(box_.shown[1].icon, MsgIcon::Information);
}

TEST_F(LogSaver, WithoutAskingAnExistingFileIsOverwritten) {
    WriteWhole(InExe("MsgLog.raw"), "earlier contents that are longer");
    std::string report;
    ASSERT_EQ(Save("MsgLog.raw", LogFormat::Raw, false, report), 1);
    EXPECT_EQ(ReadWhole(InExe("MsgLog.raw")), SampleRaw());
    EXPECT_TRUE(box_.shown.empty());
}

TEST_F(LogSaver, EmptyStoreSavesNothingAndSaysNothing) {
    store_.clear();
    std::string report = "kept";
    EXPECT_EQ(Save("MsgLog.log", LogFormat::Fmt, true, report), -1);
    EXPECT_EQ(report, "kept");
    EXPECT_FALSE(Exists(InExe("MsgLog.log")));
    EXPECT_TRUE(box_.shown.empty());

    SaveAsAll(store_, settings_, box_);
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].text, "\n\n\n\n\n");
    EXPECT_EQ(box_.shown[0].caption, "save log data");
    EXPECT_FALSE(Exists(InExe("MsgLogData.log")));

    box_.shown.clear();
    EXPECT_FALSE(SaveToZip(store_, settings_, box_));
    EXPECT_TRUE(box_.shown.empty());
    EXPECT_FALSE(Exists(InExe("MsgLogData.zip")));
}

TEST_F(LogSaver, FolderThatCannotBeWrittenReportsTheErrorCode) {
    settings_.ExeDir = exeDir_.Path() + "missing/";
    std::string report = "kept";
    EXPECT_EQ(Save("MsgLog.log", LogFormat::Fmt, false, report), -1);
    EXPECT_EQ(report, "kept");
    ASSERT_EQ(box_.shown.size(), 1u) << "the error is shown also without asking";
    EXPECT_EQ(box_.shown[0].text, "Unable to save the log data,error code = 2");
    EXPECT_EQ(box_.shown[0].caption, "Save Log Data");
    EXPECT_EQ(box_.shown[0].icon, MsgIcon::None);
}

TEST_F(LogSaver, PathThatIsAFolderIsRefused) {
    ASSERT_EQ(::mkdir(InExe("MsgLog.hex").c_str(), 0755), 0);
    box_.answers = {MsgResult::Yes};
    std::string report;
    EXPECT_EQ(Save("MsgLog.hex", LogFormat::Hex, true, report), -1);
    ASSERT_EQ(box_.shown.size(), 2u);
    EXPECT_EQ(box_.shown[1].text, "Unable to save the log data,error code = 21");
}

TEST_F(LogSaver, FailedWriteIsReportedNotTakenForSuccess) {
    // /dev/full opens fine and refuses every write with ENOSPC: a full disk.
    ASSERT_EQ(::symlink("/dev/full", InExe("MsgLog.log").c_str()), 0);
    std::string report = "kept";
    EXPECT_EQ(Save("MsgLog.log", LogFormat::Fmt, false, report), -1);
    EXPECT_EQ(report, "kept");
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].text, "Unable to save the log data,error code = 28");
}

TEST_F(LogSaver, SaveAsAllWritesFiveFilesAndOneReport) {
    SaveAsAll(store_, settings_, box_);
    EXPECT_EQ(ReadWhole(InExe("MsgLogData.log")), SampleFmt());
    EXPECT_EQ(ReadWhole(InExe("MsgLogData.raw")), SampleRaw());
    EXPECT_EQ(ReadWhole(InExe("MsgLogData.hex")), SampleHex());
    EXPECT_NE(ReadWhole(InExe("MsgLogData.txt")).find(SampleTxtBody()), std::string::npos);
    EXPECT_EQ(ReadWhole(InExe("MsgLogData.bin")), SampleFmtBinary());
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].text,
              "with Fmt styleSave data file succeeded\n"
              "with Bin styleSave data file succeeded\n"
              "with Hex styleSave data file succeeded\n"
              "with txt styleSave data file succeeded\n"
              "with binary Fmt styleSave data file succeeded\n");
    EXPECT_EQ(box_.shown[0].caption, "save log data");
    EXPECT_EQ(box_.shown[0].icon, MsgIcon::Information);
}

TEST_F(LogSaver, ZipHoldsTheFiveLayoutsAndTheFilesAreGone) {
    EXPECT_TRUE(SaveToZip(store_, settings_, box_));
    auto entries = ReadZip(InExe("MsgLogData.zip"));
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0], std::make_pair(std::string("MsgLogData.log"), SampleFmt()));
    EXPECT_EQ(entries[1], std::make_pair(std::string("MsgLogData.raw"), SampleRaw()));
    EXPECT_EQ(entries[2], std::make_pair(std::string("MsgLogData.hex"), SampleHex()));
    EXPECT_EQ(entries[3].first, "MsgLogData.txt");
    EXPECT_NE(entries[3].second.find(SampleTxtBody()), std::string::npos);
    EXPECT_EQ(entries[4], std::make_pair(std::string("MsgLogData.bin"), SampleFmtBinary()));
    for (const char* name : {"MsgLogData.log", "MsgLogData.raw", "MsgLogData.hex", "MsgLogData.txt",
                             "MsgLogData.bin"}) {
        EXPECT_FALSE(Exists(InExe(name))) << name;
    }
    ASSERT_EQ(box_.shown.size(), 1u);
    const auto& shown = box_.shown[0];
    EXPECT_EQ(shown.text,
              "with Fmt styleSave data file succeeded\n"
              "with Bin styleSave data file succeeded\n"
              "with Hex styleSave data file succeeded\n"
              "with txt styleSave data file succeeded\n"
              "with binary Fmt styleSave data file succeeded\n"
              "save log data and zipped into MsgLogData.zip successed!");
    EXPECT_EQ(shown.caption, "save log data");
    EXPECT_EQ(shown.icon, MsgIcon::Information);
}

TEST_F(LogSaver, ZipListsALayoutThatCouldNotBeWritten) {
    ASSERT_EQ(::symlink("/dev/full", InExe("MsgLogData.hex").c_str()), 0);
    EXPECT_FALSE(SaveToZip(store_, settings_, box_));

    auto entries = ReadZip(InExe("MsgLogData.zip"));
    ASSERT_EQ(entries.size(), 4u);
    for (const auto& entry : entries)
        EXPECT_NE(entry.first, "MsgLogData.hex");
    EXPECT_TRUE(Exists(InExe("MsgLogData.hex"))) << "a failed file stays in place";
    EXPECT_FALSE(Exists(InExe("MsgLogData.log")));

    ASSERT_EQ(box_.shown.size(), 2u);
    EXPECT_EQ(box_.shown[0].text, "Unable to save the log data,error code = 28");
    const auto& report = box_.shown[1];
    EXPECT_EQ(report.icon, MsgIcon::Stop);
    EXPECT_NE(report.text.find("with Bin styleSave data file succeeded\n\tcompress log failed\n"),
              std::string::npos)
        << "the failed layout adds an empty report and the failure mark: " << report.text;
    EXPECT_NE(report.text.find("save and compress log data failed:\n"
                               "save and compress file MsgLogData.hex failed!"),
              std::string::npos)
        << report.text;
    EXPECT_EQ(report.text.find("successed"), std::string::npos);
}

TEST_F(LogSaver, ArchiveThatCannotBeCreatedKeepsEveryFile) {
    ASSERT_EQ(::mkdir(InExe("MsgLogData.zip").c_str(), 0755), 0);
    EXPECT_FALSE(SaveToZip(store_, settings_, box_));
    EXPECT_EQ(ReadWhole(InExe("MsgLogData.log")), SampleFmt());
    EXPECT_EQ(ReadWhole(InExe("MsgLogData.bin")), SampleFmtBinary());
    ASSERT_EQ(box_.shown.size(), 1u);
    const std::string& text = box_.shown[0].text;
    EXPECT_EQ(box_.shown[0].icon, MsgIcon::Stop);
    for (const char* name : {"MsgLogData.log", "MsgLogData.raw", "MsgLogData.hex", "MsgLogData.txt",
                             "MsgLogData.bin"}) {
        EXPECT_TRUE(Exists(InExe(name))) << name;
        EXPECT_NE(text.find(std::string("save and compress file ") + name + " failed!\n"),
                  std::string::npos)
            << text;
    }
}

}  // namespace
}  // namespace qelvor
