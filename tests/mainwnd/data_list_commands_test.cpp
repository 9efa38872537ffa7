// The data list's files and edits: loading with its limit, reports and the
// opening handshake, the line edits, Save As, the double-click and start-up.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "mainwnd/data_list_commands.h"
#include "mainwnd/engine_fixture.h"

namespace qelvor::test {
namespace {

using DataListCommands = EngineTest;
using Lines = std::vector<std::string>;

TEST_F(DataListCommands, LinesEndAtLineFeedsAndLoseTrailingLineEnds) {
    struct Case {
        std::string bytes;
        Lines lines;
    };
    const Case cases[] = {
        {"", {}},
        {"abc", {"abc"}},
        {"A\r\nB\r\n", {"A", "B", ""}},
        {"\n", {"", ""}},
        {"a\r\r\nb", {"a", "b"}},
        {"x\r", {"x"}},
        {"\rx", {"\rx"}},
        {std::string("n\0l\n", 4), {std::string("n\0l", 3), ""}},
    };
    const std::string path = dir.File("lines.txt");
    for (const Case& c : cases) {
        WriteFile(path, c.bytes);
        ASSERT_TRUE(Engine().LoadDataFile(path));
        EXPECT_EQ(Engine().DataList().Lines(), c.lines) << "input size " << c.bytes.size();
        EXPECT_EQ(RecordsOf('I').back(),
                  StrPrintf("load data file succeeded,data count = %zu!", c.lines.size()));
    }
}

TEST_F(DataListCommands, LoadFillsTheListAndReportsIt) {
    const std::string path = dir.File("data.txt");
    WriteFile(path, "A\r\nB\r\n");
    Engine().Exchange().SetDataIndex(4);
    ASSERT_TRUE(Engine().LoadDataFile(path));
    EXPECT_EQ(Engine().DataList().Lines(), (Lines{"A", "B", ""}));
    EXPECT_EQ(RecordsOf('I'), (Lines{path, "load data file succeeded,data count = 3!"}));
    EXPECT_EQ(State().dataFilePath, path);
    EXPECT_EQ(Button(kIdLoadFile).toolTip, path);
    EXPECT_TRUE(Button(kIdDataList).enabled);
    EXPECT_EQ(Pane(1), "");
    EXPECT_EQ(Engine().Exchange().DataIndex(), -1);
    EXPECT_EQ(settings.ReadProfileString("ComSet", "LoadFile", ""), path);
    EXPECT_TRUE(RecordsOf('S').empty());  // no opening byte without both flags
}

TEST_F(DataListCommands, LoadReportsProgressWithTheListDisabled) {
    const std::string path = dir.File("many.txt");
    std::string text;
    for (int i = 0; i < 250; ++i)
        text += "line " + std::to_string(i) + "\n";
    WriteFile(path, text);
    std::vector<std::string> progress;
    bool disabledMeanwhile = true;
    Engine();
    view.onChange = [&](unsigned what) {
        if ((what & kChangedStatus) != 0 && (progress.empty() || progress.back() != Pane(1))) {
            progress.push_back(Pane(1));
        }
        if ((what & kChangedStatus) != 0 && !Pane(1).empty()) {
            disabledMeanwhile = disabledMeanwhile && !Button(kIdDataList).enabled;
        }
    };
    ASSERT_TRUE(Engine().LoadDataFile(path));
    view.onChange = nullptr;
    EXPECT_EQ(progress, (Lines{"100/251", "200/251", ""}));
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(Button(kIdDataList).enabled);
    EXPECT_EQ(Engine().DataList().Count(), 251);
    EXPECT_EQ(Engine().DataList().Line(249), "line 249");
}

TEST_F(DataListCommands, LoadRefusesFilesAboveThirtyTwoMebibytes) {
    const std::string exact = dir.File("exact.bin");
    const std::string over = dir.File("over.bin");
    ASSERT_TRUE(MakeSparseFile(exact, 33554432));
    ASSERT_TRUE(MakeSparseFile(over, 33554433));

    ASSERT_FALSE(Engine().LoadDataFile(over));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text,
              "data file <" + over + ">,size =32 MB.\nThe file is too large to load.");
    EXPECT_EQ(view.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(Engine().Exchange().Records().empty());
    EXPECT_EQ(State().dataFilePath, "");

    ASSERT_TRUE(Engine().LoadDataFile(exact));
    ASSERT_EQ(Engine().DataList().Count(), 1);
    EXPECT_EQ(Engine().DataList().Line(0).size(), 33554432u);
    EXPECT_EQ(view.boxes.size(), 1u);
}

TEST_F(DataListCommands, FilesThatCannotBeReadAreIgnoredSilently) {
    SetLines({"kept"});
    EXPECT_FALSE(Engine().LoadDataFile(dir.File("missing.txt")));
    // A FIFO would block a plain open until a writer comes.
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(Engine().LoadDataFile(fifo));
    EXPECT_FALSE(Engine().LoadDataFile(dir.Path()));
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_TRUE(Engine().Exchange().Records().empty());
    EXPECT_EQ(Engine().DataList().Lines(), Lines{"kept"});
}

TEST_F(DataListCommands, LoadOpensTheHandshakeWhenSendNowIsOn) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    const std::string path = dir.File("data.txt");
    WriteFile(path, "one\ntwo");
    settings.SendAfterLoadFile = 1;

    // "send now" off: the load sends nothing.
    ASSERT_TRUE(Engine().LoadDataFile(path));
    EXPECT_TRUE(RecordsOf('S').empty());

    settings.LButtonDblClkSend = 1;
    settings.CheckSum = 0;
    Engine().DataList().SetCurSel(1);
    Engine().Exchange().FrameCounter() = 5;
    ASSERT_TRUE(Engine().LoadDataFile(path));
    EXPECT_EQ(peer.Receive(1), "\x05");
    EXPECT_EQ(State().sendText, "\x05");
    EXPECT_EQ(Engine().Exchange().FrameCounter(), 0);
    EXPECT_EQ(Engine().DataList().CurSel(), -1);
    EXPECT_EQ(Engine().Exchange().DataIndex(), -1);

    settings.CheckSum = 1;
    ASSERT_TRUE(Engine().LoadDataFile(path));
    EXPECT_EQ(peer.Receive(2), std::string("\x04\x01", 2));
    EXPECT_EQ(RecordsOf('S'), (Lines{"\x05", std::string("\x04\x01", 2)}));

    // An empty file gives no line and so no opening byte.
    WriteFile(path, "");
    ASSERT_TRUE(Engine().LoadDataFile(path));
    EXPECT_EQ(RecordsOf('S').size(), 2u);
    EXPECT_EQ(RecordsOf('I').back(), "load data file succeeded,data count = 0!");
}

TEST_F(DataListCommands, ReLoadReadsTheFileAgainOnlyWhenOneIsKnown) {
    EXPECT_FALSE(Engine().ReLoad());
    const std::string path = dir.File("data.txt");
    WriteFile(path, "a");
    ASSERT_TRUE(Engine().LoadDataFile(path));
    WriteFile(path, "b\nc");
    ASSERT_TRUE(Engine().ReLoad());
    EXPECT_EQ(Engine().DataList().Lines(), (Lines{"b", "c"}));
}

TEST_F(DataListCommands, InsertAndDeleteActOnTheSelection) {
    SetLines({"a", "b"});
    Engine().SetSendText("");
    Engine().InsertAbove();  // an empty send text inserts nothing
    EXPECT_EQ(Engine().DataList().Count(), 2);

    Engine().SetSendText("end");
    Engine().InsertAbove();  // no selection: appended
    EXPECT_EQ(Engine().DataList().Lines(), (Lines{"a", "b", "end"}));
    Engine().DataList().SetCurSel(1);
    Engine().SetSendText("up");
    Engine().InsertAbove();
    EXPECT_EQ(Engine().DataList().Lines(), (Lines{"a", "up", "b", "end"}));
    Engine().DataList().SetCurSel(0);
    Engine().SetSendText("below");
    Engine().InsertBelow();
    EXPECT_EQ(Engine().DataList().Lines(), (Lines{"a", "below", "up", "b", "end"}));

    Engine().DataList().SetCurSel(-1);
    Engine().DeleteSelected();
    EXPECT_EQ(Engine().DataList().Count(), 5);
    Engine().DataList().SetCurSel(2);
    Engine().DeleteSelected();
    EXPECT_EQ(Engine().DataList().Lines(), (Lines{"a", "below", "b", "end"}));
}

TEST_F(DataListCommands, ClearWithCtrlAlsoForgetsTheDataFile) {
    const std::string path = dir.File("data.txt");
    WriteFile(path, "a\nb");
    ASSERT_TRUE(Engine().LoadDataFile(path));
    Engine().Exchange().SetDataIndex(1);
    Engine().ClearDataList(false);
    EXPECT_EQ(Engine().DataList().Count(), 0);
    EXPECT_EQ(Engine().Exchange().DataIndex(), -1);
    EXPECT_EQ(State().dataFilePath, path);

    ASSERT_TRUE(Engine().ReLoad());
    Engine().ClearDataList(true);
    EXPECT_EQ(State().dataFilePath, "");
    EXPECT_EQ(Button(kIdLoadFile).toolTip, "");
    EXPECT_EQ(settings.ReadProfileString("ComSet", "LoadFile", "x"), "");
    EXPECT_FALSE(Engine().ReLoad());
}

TEST_F(DataListCommands, SaveAsWritesEveryLineWithCrLf) {
    const std::string path = dir.File("Data.txt");
    EXPECT_FALSE(Engine().SaveDataList(path));  // an empty list writes nothing
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_FALSE(std::filesystem::exists(path));

    WriteFile(path, "older and longer content");
    SetLines({"A", ""});
    ASSERT_TRUE(Engine().SaveDataList(path));
    EXPECT_EQ(ReadFile(path), "A\r\n\r\n");
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "save data file succeeded!");
    EXPECT_EQ(view.boxes[0].caption, "save data file");
}

TEST_F(DataListCommands, SaveAsReportsTheSystemErrorOfAFileThatCannotBeCreated) {
    SetLines({"A"});
    EXPECT_FALSE(Engine().SaveDataList(dir.File("no-folder/Data.txt")));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "can't save data file ,error code = 2");
    EXPECT_EQ(view.boxes[0].caption, "save data file");
}

TEST_F(DataListCommands, SaveAsReportsAFullDevice) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    SetLines({"A"});
    EXPECT_FALSE(Engine().SaveDataList("/dev/full"));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "can't save data file ,error code = 28");
}

TEST_F(DataListCommands, DoubleClickTakesTheLineAndSendsItWithSendNow) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    SetLines({"first", "second"});
    Engine().OnDataListDoubleClick(1);
    EXPECT_EQ(State().sendText, "second");
    EXPECT_EQ(Engine().Exchange().DataIndex(), 1);
    EXPECT_TRUE(RecordsOf('S').empty());

    Engine().ToggleSendNow();
    EXPECT_EQ(settings.LButtonDblClkSend, 1);
    EXPECT_EQ(CComSetting(dir.File("t.ini")).LButtonDblClkSend, 1);
    Engine().OnDataListDoubleClick(0);
    EXPECT_EQ(peer.Receive(5), "first");

    // Below the last line: no selection, nothing taken.
    Engine().OnDataListDoubleClick(7);
    EXPECT_EQ(Engine().Exchange().DataIndex(), -1);
    EXPECT_EQ(State().sendText, "first");
    EXPECT_EQ(RecordsOf('S'), Lines{"first"});

    Engine().ToggleSendNow();
    EXPECT_EQ(CComSetting(dir.File("t.ini")).LButtonDblClkSend, 0);
}

TEST_F(DataListCommands, StartupLoadsTheNamedDataFileOnTimerSeven) {
    const std::string path = dir.File("start data.txt");
    WriteFile(path, "x\ny");
    settings.ShowDataListWnd = 1;
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = FreeTcpPort();
    settings.BackupLogTimeCount = 15;
    Engine().Startup(path);
    EXPECT_EQ(view.Period(kTimerLoadData), 50);
    EXPECT_EQ(view.Period(kTimerBackup), 15 * 60000);
    EXPECT_FALSE(Button(kIdReSend).visible);
    EXPECT_EQ(State().title, StrPrintf("Qelvor TCP-Client(127.0.0.1:%d)", settings.IPPort));
    EXPECT_EQ(Engine().DataList().Count(), 0);

    Engine().OnTimer(kTimerLoadData);
    EXPECT_FALSE(view.Running(kTimerLoadData));
    EXPECT_EQ(Engine().DataList().Lines(), (Lines{"x", "y"}));
}

TEST_F(DataListCommands, StartupTakesTheIniDataFileOrWaitsForSetupWithDashN) {
    const std::string path = dir.File("ini-data.txt");
    settings.WriteProfileString("ComSet", "LoadFile", path);
    settings.ShowDataListWnd = 1;
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = FreeTcpPort();
    {
        RecordingView other;
        CMainEngine withDashN(settings, other);
        withDashN.Startup("-N new.ini");
        EXPECT_EQ(other.Period(kTimerStartupSetup), 10);
        EXPECT_FALSE(other.Running(kTimerLoadData));
        EXPECT_EQ(withDashN.State().dataFilePath, "");
        EXPECT_EQ(withDashN.State().panes[0], "");  // not opened
        withDashN.OnTimer(kTimerStartupSetup);
        EXPECT_FALSE(other.Running(kTimerStartupSetup));
        EXPECT_EQ(withDashN.State().panes[0],
                  StrPrintf("TCP-Client(127.0.0.1:%d)", settings.IPPort));
    }
    Engine().Startup("");
    EXPECT_EQ(State().dataFilePath, path);
    EXPECT_EQ(view.Period(kTimerLoadData), 50);
    EXPECT_EQ(Pane(0), StrPrintf("TCP-Client(127.0.0.1:%d) connect failed", settings.IPPort));
}

}  // namespace
}  // namespace qelvor::test
