// The engine's window-wide parts: the start-up order, clearing the traffic
// store and the backup tick with a real continuous log.
#include <linux/sockios.h>
#include <sys/ioctl.h>

#include <filesystem>
#include <string>

#include "astm/astm_frame.h"
#include "data/check_sum.h"
#include "log/log_formats.h"
#include "log/log_saver.h"
#include "log/log_writer.h"
#include "mainwnd/engine_fixture.h"
#include "support/zip_reader.h"

namespace qelvor::test {
namespace {

using MainEngine = EngineTest;

TEST_F(MainEngine, StartupLoadsTheNamedDataFileOnTimerSevenAfterOpening) {
    const std::string path = dir.File("start data.txt");
    WriteFile(path, "x\ny");
    settings.ShowDataListWnd = 1;
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = FreeTcpPort();
    settings.BackupLogTimeCount = 15;
    Engine().Startup({path, false});
    ASSERT_TRUE(PollWhileConnecting());
    EXPECT_EQ(Pane(0), StrPrintf("TCP-Client(127.0.0.1:%d) connect failed", settings.IPPort));
    EXPECT_EQ(view.Period(kTimerLoadData), 50);
    EXPECT_EQ(view.Period(kTimerBackup), 15 * 60000);
    EXPECT_FALSE(Button(kIdReSend).visible);
    EXPECT_EQ(State().title, StrPrintf("Qelvor TCP-Client(127.0.0.1:%d)", settings.IPPort));
    EXPECT_EQ(Engine().DataList().Count(), 0);
    Engine().OnTimer(kTimerLoadData);
    EXPECT_FALSE(view.Running(kTimerLoadData));
    EXPECT_EQ(Engine().DataList().Lines(), (Lines{"x", "y"}));
}

TEST_F(MainEngine, StartupWithDashNWaitsForSetupInsteadOfOpening) {
    settings.WriteProfileString("ComSet", "LoadFile", dir.File("ini-data.txt"));
    settings.ShowDataListWnd = 1;
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = FreeTcpPort();
    Engine().Startup({"", true});
    EXPECT_EQ(view.Period(kTimerStartupSetup), 10);
    EXPECT_FALSE(view.Running(kTimerLoadData));
    EXPECT_EQ(State().dataFilePath, "");  // not the INI's data file
    EXPECT_EQ(Pane(0), "");
    Engine().OnTimer(kTimerStartupSetup);
    EXPECT_FALSE(view.Running(kTimerStartupSetup));
    EXPECT_EQ(Pane(0), StrPrintf("TCP-Client(127.0.0.1:%d)", settings.IPPort));

    RecordingView plainView;  // without "-n" the INI's data file is taken
    CMainEngine plain(settings, plainView);
    plain.Startup({});
    EXPECT_EQ(plain.State().dataFilePath, dir.File("ini-data.txt"));
}

TEST_F(MainEngine, ClearAllDataAndTheBackupTickEmptyTheStore) {
    Engine().Exchange().AddRecord('I', "one");
    Engine().OnClearAllData();
    EXPECT_EQ(Engine().Exchange().RecordCount(), 0u);
    EXPECT_NE(view.changes & kChangedRecords, 0u);

    // With a continuous log, the tick also moves the log aside.
    const std::string folder = dir.File("LogData/");
    std::filesystem::create_directory(folder);
    settings.AutoSaveLog = 1;
    CLogWriter writer;
    writer.Start(folder + "Qelvor.log", settings);
    Engine().AttachLogWriter(&writer);
    Engine().Exchange().AddRecord('I', "before backup");
    Engine().OnTimer(kTimerBackup);
    EXPECT_EQ(Engine().Exchange().RecordCount(), 0u);
    writer.Stop();
    Engine().AttachLogWriter(nullptr);
    Lines backups;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        backups.push_back(entry.path().filename().string());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].rfind("MsgLog", 0), 0u);
    EXPECT_NE(ReadFile(folder + backups[0]).find("I:before backup\r\n"), std::string::npos);
}

// Lines the continuous log cannot write are counted and told once per run of
// failures, as a record of the traffic list, never as a stream of them.
TEST_F(MainEngine, ContinuousLogThatCannotWriteIsToldOnceAsARecord) {
    const std::string log = dir.File("Qelvor.log");
    std::filesystem::create_directory(log);  // a folder where the file should be
    settings.AutoSaveLog = 1;
    CLogWriter writer;
    writer.Start(log, settings);
    Engine().AttachLogWriter(&writer);
    Engine().Exchange().AddRecord('I', "lost");
    const std::string notice = "continuous log: 1 lines could not be written: Is a directory";
    EXPECT_TRUE(PollUntil([&] { return RecordsOf('I').back() == notice; }))
        << RecordsOf('I').back();
    for (int i = 0; i < 3; ++i)
        Engine().Exchange().AddRecord('I', "also lost");
    Poll(50);
    writer.Stop();
    Poll();
    Engine().AttachLogWriter(nullptr);
    const Lines records = RecordsOf('I');
    EXPECT_EQ(records, (Lines{"lost", notice, "also lost", "also lost", "also lost"}))
        << "one notice for the whole run";
}

// Frames answered from the data list arrive while the user types: the send
// box keeps every keystroke, and the receive path never tells the view to
// redraw it. Only a real change of the text is told.
TEST_F(MainEngine, TypingInTheSendBoxSurvivesAFloodOfAnsweredFrames) {
    settings.HandShake = 1;
    settings.SupportStress = 1;
    settings.SplitStrs = "<ACK>";
    settings.RespondStrs = "[DATA]";
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    SetLines({"L0", "L1"});
    constexpr size_t kRounds = 100, kFramesPerRound = 100;
    std::string typed;
    for (size_t round = 0; round < kRounds; ++round) {
        typed += static_cast<char>('a' + round % 26);
        Engine().SetSendText(typed);
        ASSERT_NE(view.changes & kChangedSendText, 0u) << round;
        view.changes = 0;
        ASSERT_TRUE(peer.SendAll(std::string(kFramesPerRound, '\x06')));
        ASSERT_TRUE(PollUntil([&] { return RecordsOf('R').size() == kFramesPerRound; })) << round;
        EXPECT_EQ(RecordsOf('S').size(), kFramesPerRound) << round;
        EXPECT_EQ(State().sendText, typed) << round;
        EXPECT_EQ(view.changes & kChangedSendText, 0u) << round;
        Engine().OnClearAllData();
    }
    EXPECT_EQ(peer.Receive(kRounds * kFramesPerRound * 2).size(), kRounds * kFramesPerRound * 2);
    Engine().SetSendText(typed);  // the box's own text handed back again
    EXPECT_EQ(view.changes & kChangedSendText, 0u);
}

// A message box shown by a command runs a nested event loop in which the
// timers keep firing and the user may click: no tick runs inside the
// command, each runs once right after it, and a click there is not taken.
TEST_F(MainEngine, TimerTicksDuringACommandRunOnceAfterItAndNoCommandNests) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    SetLines({"A", "B", "C"});
    Engine().OnAutoSend();
    Lines insideSent, insideReceived;
    view.whileBoxShown = [&] {
        ASSERT_TRUE(peer.SendAll("in\r\n"));
        // Acknowledged, so in the engine's socket before the box closes.
        int unacknowledged = -1;
        ASSERT_TRUE(RunUntil([] {},
                             [&] {
                                 return ioctl(peer.Fd(), SIOCOUTQ, &unacknowledged) == 0 &&
                                        unacknowledged == 0;
                             }));
        for (int tick = 0; tick < 3; ++tick) {
            Engine().OnTimer(kTimerPoll);
            Engine().OnTimer(kTimerAutoSend);
        }
        Engine().SetSendText("click");
        EXPECT_EQ(Engine().OnSendData(), 0);
        EXPECT_TRUE(Engine().InCommand());
        insideSent = RecordsOf('S');
        insideReceived = RecordsOf('R');
    };
    ASSERT_TRUE(Engine().SaveDataList(dir.File("list.txt")));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_TRUE(insideSent.empty() && insideReceived.empty());
    EXPECT_FALSE(Engine().InCommand());
    EXPECT_EQ(RecordsOf('S'), Lines{"A"}) << "one auto-send tick for three";
    EXPECT_EQ(Pane(1), "Send=1,Count=1");
    // The deferred poll took what the peer sent while the box was shown.
    EXPECT_EQ(RecordsOf('R'), Lines{"in\r\n"});
    EXPECT_EQ(peer.Receive(1), "A");
}

// Each save command of the EVENT menu through the engine: its dialog's
// defaults, the layout written where the dialog chose, the report, and a
// second save to the same file that asks first (the recording view cancels).
TEST_F(MainEngine, SaveCommandsWriteEachLayoutWhereTheDialogChose) {
    settings.SaveDatatoDesktop = settings.SaveEventTimetoFmtFile = 0;
    settings.ExeDir = dir.Path();
    Engine().Exchange().AddRecord('S',
                                  "\x02"
                                  "A\x03");
    Engine().Exchange().AddRecord('R', "\x01\xAB");
    // What the log module renders; a Txt layout after its dated first line.
    const auto layout = [&](LogFormat format, std::string text) {
        if (text.empty()) text = RenderLog(Engine().Exchange().Records(), format, false, {});
        return format == LogFormat::Txt ? text.substr(text.find("\r\n") + 2) : text;
    };
    const std::pair<LogFormat, std::string> cases[] = {
        {LogFormat::Fmt, "log|Fmt log"},
        {LogFormat::Raw, "raw|Raw log"},
        {LogFormat::Hex, "hex|Hex log"},
        {LogFormat::Txt, "txt|Txt log"},
        {LogFormat::FmtBinary, "bin|Fmt binary log"}};
    for (const auto& [format, names] : cases) {
        const std::string ext = names.substr(0, 3), path = dir.File("chosen." + ext);
        const SaveDialogInfo dialog = LogSaveDialog(format, settings);
        EXPECT_EQ(dialog.folder + dialog.fileName + "|" + dialog.extension + "|" + dialog.filter,
                  dir.Path() + "MsgLog." + ext + "|" + ext + "|" + names.substr(4) + " (*." + ext +
                      ");;All files (*)");
        view.boxes.clear();
        ASSERT_EQ(Engine().SaveLog(format, path), 1) << ext;
        const std::string written = ReadFile(path);
        EXPECT_EQ(layout(format, written), layout(format, "")) << ext;
        ASSERT_EQ(view.boxes.size(), 1u) << ext;
        EXPECT_NE(view.boxes[0].text.find("Save data file succeeded"), std::string::npos);
        EXPECT_EQ(Engine().SaveLog(format, path), 0) << ext << ": cancelled at the question";
        EXPECT_EQ(ReadFile(path), written) << ext;
    }

    // The zip goes where its dialog chose; its layouts: LogSaver.SaveAllAndZip.
    const SaveDialogInfo dialog = ZipSaveDialog(settings);
    EXPECT_EQ(dialog.fileName + "|" + dialog.filter,
              "MsgLogData.zip|Zip archive (*.zip);;All files (*)");
    ASSERT_TRUE(Engine().SaveZip(dir.File("chosen.zip")));
    EXPECT_EQ(testing_support::ReadZip(dir.File("chosen.zip")).size(), 5u);
    EXPECT_EQ(view.boxes.back().icon, MsgIcon::Information);
}

// Received frames cut by the splitter are checked with the set's CheckSum
// kind as they are stored: one of a good and a bad ASTM frame counts as bad,
// and the same bytes are no frame at all for the BCC kind.
class BadFrameCount : public EngineTest, public testing::WithParamInterface<int> {};

TEST_P(BadFrameCount, FramesFromAPeerAreCheckedWithTheSetsKind) {
    const int kind = GetParam();
    settings.CheckSum = kind;
    settings.SplitStrs = "<CR><LF>";
    settings.RespondStrs = "";
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    const std::string good = astm::CAstmFrame{1, "H|\\^&\r", true}.Bytes();
    std::string bad = astm::CAstmFrame{2, "P|1\r", true}.Bytes();
    bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0';
    ASSERT_TRUE(peer.SendAll(good + bad + "plain line\r\n"));
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('R').size() == 3; }));
    EXPECT_EQ(RecordsOf('R'), (Lines{good, bad, "plain line\r\n"}));
    EXPECT_EQ(Engine().Stats().Counts().badCheckFrames, kind == kCsAstm ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, BadFrameCount, testing::Values(int(kCsAstm), int(kCsBcc)));

}  // namespace
}  // namespace qelvor::test
