// The engine as a whole: start-up, backup tick, send box under a flood, nested ticks, saves.
#include <linux/sockios.h>
#include <sys/ioctl.h>

#include <filesystem>

#include "log/log_formats.h"
#include "log/log_writer.h"
#include "support/engine_fixture.h"
#include "support/zip_reader.h"

namespace qelvor::test {
namespace {

using MainEngine = EngineTest;

// The data file named on the command line (else the INI's) is loaded by timer 7
// after the port opened; with "-n" the port waits for setup, without the INI's file.
TEST_F(MainEngine, StartupOpensThenLoadsTheDataFileOrWaitsForSetupWithDashN) {
    const std::string path = dir.File("start data.txt");
    WriteFile(path, "x\ny");
    settings.WriteProfileString("ComSet", "LoadFile", dir.File("ini-data.txt"));
    std::tie(settings.ShowDataListWnd, settings.WorkMode, settings.IPPort,
             settings.BackupLogTimeCount) =
        std::make_tuple(1, kWorkModeTcpClient, loopback::FreePort(SOCK_STREAM), 15);
    RecordingView plainView, setupView;
    CMainEngine plain(settings, plainView), setupFirst(settings, setupView);
    plain.Startup({});
    EXPECT_EQ(plain.State().dataFilePath, dir.File("ini-data.txt"));
    setupFirst.Startup({"", true, ""});
    EXPECT_FALSE(setupView.Running(kTimerLoadData) || setupFirst.IsPortOpen());
    EXPECT_EQ(setupFirst.State().dataFilePath, "");
    Engine().Startup({path, false, ""});
    ASSERT_TRUE(PollWhileConnecting());
    EXPECT_EQ(std::make_tuple(view.Period(kTimerLoadData), view.Period(kTimerBackup),
                              Engine().DataList().Count()),
              std::make_tuple(50, 15 * 60000, 0));
    EXPECT_EQ(State().title, StrPrintf("Qelvor TCP-Client(127.0.0.1:%d)", settings.IPPort));
    Engine().OnTimer(kTimerLoadData);
    EXPECT_FALSE(view.Running(kTimerLoadData));
    EXPECT_EQ(Engine().DataList().Lines(), (Lines{"x", "y"}));
}

// A log that cannot write tells its lost lines in one record per run of failures.
TEST_F(MainEngine, BackupTickMovesTheLogAsideAndALogThatCannotWriteIsToldOnce) {
    const std::string folder = dir.File("LogData/");
    std::filesystem::create_directory(folder);
    settings.AutoSaveLog = 1;
    CLogWriter writer;
    writer.Start(folder + "Qelvor.log", settings);
    Engine().AttachLogWriter(&writer);
    Engine().Exchange().AddRecord('I', "before backup");
    Engine().OnTimer(kTimerBackup);
    EXPECT_EQ(Engine().Exchange().RecordCount(), 0u);
    EXPECT_NE(view.changes & kChangedRecords, 0u);
    writer.Stop();
    const std::vector<std::filesystem::path> backups(std::filesystem::directory_iterator(folder),
                                                     {});
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_NE(ReadFile(backups[0]).find("I:before backup\r\n"), std::string::npos);

    std::filesystem::create_directory(folder + "Qelvor.log");  // a folder where the file goes
    CLogWriter failing;
    failing.Start(folder + "Qelvor.log", settings);
    Engine().AttachLogWriter(&failing);
    Engine().Exchange().AddRecord('I', "lost");
    const std::string notice = "continuous log: 1 lines could not be written: Is a directory";
    EXPECT_TRUE(PollUntil([&] { return RecordsOf('I').back() == notice; }));
    for (int i = 0; i < 3; ++i)
        Engine().Exchange().AddRecord('I', "also lost");
    Poll(50);
    failing.Stop();
    Poll();
    Engine().AttachLogWriter(nullptr);
    EXPECT_EQ(RecordsOf('I'), (Lines{"lost", notice, "also lost", "also lost", "also lost"}));
}

// Only a real change of the send box's text is told to the view.
TEST_F(MainEngine, TypingInTheSendBoxSurvivesAFloodOfAnsweredFrames) {
    std::tie(settings.HandShake, settings.SupportStress, settings.SplitStrs, settings.RespondStrs) =
        std::make_tuple(1, 1, "<ACK>", "[DATA]");
    Socket peer = ConnectAsClient();
    SetLines({"L0", "L1"});
    constexpr size_t kRounds = 100, kFramesPerRound = 100;
    std::string typed;
    for (size_t round = 0; round < kRounds; ++round) {
        typed += static_cast<char>('a' + round % 26);
        Engine().SetSendText(typed);
        ASSERT_NE(view.changes & kChangedSendText, 0u) << round;
        view.changes = 0;
        ASSERT_TRUE(peer.SendAll(std::string(kFramesPerRound, '\x06')));
        ASSERT_TRUE(PollUntil([&] { return RecordsOf('S').size() == kFramesPerRound; })) << round;
        EXPECT_EQ(State().sendText, typed) << round;
        EXPECT_EQ(view.changes & kChangedSendText, 0u) << round;
        Engine().OnClearAllData();
    }
    Engine().SetSendText(typed);  // the box's own text handed back again
    EXPECT_EQ(view.changes & kChangedSendText, 0u);
}

// A command's message box runs a nested event loop in which timers fire and the user clicks.
TEST_F(MainEngine, TimerTicksDuringACommandRunOnceAfterItAndNoCommandNests) {
    Socket peer = ConnectAsClient();
    SetLines({"A", "B", "C"});
    Engine().OnAutoSend();
    Lines inside = {"not run"};
    view.whileBoxShown = [&] {
        ASSERT_TRUE(peer.SendAll("in\r\n"));
        // Acknowledged, so in the engine's socket before the box closes.
        int unacknowledged = -1;
        ASSERT_TRUE(testing_support::WaitUntil([&] {
            return ioctl(peer.Fd(), SIOCOUTQ, &unacknowledged) == 0 && unacknowledged == 0;
        }));
        for (int tick = 0; tick < 3; ++tick) {
            Engine().OnTimer(kTimerPoll);
            Engine().OnTimer(kTimerAutoSend);
        }
        Engine().SetSendText("click");
        EXPECT_EQ(Engine().OnSendData(), 0);
        EXPECT_TRUE(Engine().InCommand());
        inside = Typed();
    };
    ASSERT_TRUE(Engine().SaveDataList(dir.File("list.txt")));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(inside, Lines{}) << "no record made inside the command";
    EXPECT_FALSE(Engine().InCommand());
    EXPECT_EQ(RecordsOf('S'), Lines{"A"}) << "one auto-send tick for three";
    // The deferred poll took what the peer sent while the box was shown.
    EXPECT_EQ(RecordsOf('R'), Lines{"in\r\n"});
}

// A save writes what the log module renders for the layout (each layout: the log
// tests); a second save asks first (the view cancels); the zip holds all five.
TEST_F(MainEngine, SaveCommandsWriteTheChosenLayoutAndAskBeforeReplacing) {
    Engine().Exchange().AddRecord('S', "\002A\003");
    Engine().Exchange().AddRecord('R', "\001\253");
    const std::string path = dir.File("chosen.hex");
    ASSERT_EQ(Engine().SaveLog(LogFormat::Hex, path), 1);
    const std::string written = ReadFile(path);
    EXPECT_EQ(written, RenderLog(Engine().Exchange().Records(), LogFormat::Hex, false, {}));
    EXPECT_EQ(Engine().SaveLog(LogFormat::Hex, path), 0) << "cancelled at the question";
    EXPECT_EQ(ReadFile(path), written);
    ASSERT_TRUE(Engine().SaveZip(dir.File("chosen.zip")));
    EXPECT_EQ(testing_support::ReadZip(dir.File("chosen.zip")).size(), 5u);
}

}  // namespace
}  // namespace qelvor::test
