// The data list's commands: load and reload, edits, Save As, and what they send.
#include <sys/stat.h>

#include <filesystem>

#include "support/data_list_recorder.h"
#include "support/engine_fixture.h"

namespace qelvor::test {
namespace {

using DataListCommands = EngineTest;

TEST_F(DataListCommands, LinesEndAtLineFeedsAndLoseTrailingLineEnds) {
    // clang-format off
    const struct { std::string bytes; Lines lines; } cases[] = {
        {"", {}}, {"A\r\nB\r\n", {"A", "B", ""}}, {"\n", {"", ""}}, {"a\r\r\nb", {"a", "b"}},
        {"\rx", {"\rx"}}, {std::string("n\0l\n", 4), {std::string("n\0l", 3), ""}}};
    // clang-format on
    const std::string path = dir.File("lines.txt");
    for (const auto& c : cases) {
        WriteFile(path, c.bytes);
        ASSERT_TRUE(Engine().LoadDataFile(path));
        EXPECT_EQ(Engine().DataList().Lines(), c.lines) << "input size " << c.bytes.size();
    }

    // Pane 1 counts every hundred lines and ends empty; the list gets them in one step.
    WriteFile(path, std::string(9999, '\n'));
    ASSERT_TRUE(Engine().LoadDataFile(path));
    view.watched = &State();
    DataListRecorder recorder(Engine().DataList());
    ASSERT_TRUE(Engine().ReLoad());
    ASSERT_EQ(view.pane1.size(), 101u);
    EXPECT_EQ(view.pane1[0] + "|" + view.pane1[99] + "|" + view.pane1.back(),
              "100/10000|10000/10000|");
    EXPECT_EQ(recorder.changes,
              (std::vector<DataListChange>{{DataListChange::Kind::Reset, 0, 10000}}));

    // The window's load of a larger file runs at the ticks of the load timer: the list keeps
    // its lines until the last step hands all the new ones over at once.
    WriteFile(path, std::string(49999, '\n'));
    ASSERT_TRUE(Engine().BeginDataFileLoad(path));
    EXPECT_TRUE(view.Running(kTimerLoadStep) && Engine().DataFileLoading());
    EXPECT_EQ(Engine().DataList().Count(), 10000);
    for (int tick = 0; tick < 1000 && view.Running(kTimerLoadStep); ++tick)
        Engine().OnTimer(kTimerLoadStep);
    EXPECT_EQ(Engine().DataList().Count(), 50000);
    EXPECT_EQ(view.pane1.back(), "");
    EXPECT_EQ(recorder.changes.size(), 2u);
}

TEST_F(DataListCommands, LoadRemembersTheFileForReLoadUntilClearWithCtrl) {
    EXPECT_FALSE(Engine().ReLoad());
    const std::string path = dir.File("data.txt");
    WriteFile(path, "A\nB");
    Engine().Exchange().SetDataIndex(4);
    ASSERT_TRUE(Engine().LoadDataFile(path));
    EXPECT_EQ(RecordsOf('I'), (Lines{path, "load data file succeeded,data count = 2!"}));
    EXPECT_EQ(State().dataFilePath + "|" + Button(kIdLoadFile).toolTip, path + "|" + path);
    EXPECT_EQ(Engine().Exchange().DataIndex(), -1);
    EXPECT_EQ(settings.ReadProfileString("ComSet", "LoadFile", ""), path);
    WriteFile(path, "b\nc\nd");
    ASSERT_TRUE(Engine().ReLoad());
    EXPECT_EQ(Engine().DataList().Lines(), (Lines{"b", "c", "d"}));
    Engine().Exchange().SetDataIndex(1);
    Engine().ClearDataList(false);
    EXPECT_EQ(Engine().DataList().Count(), 0);
    EXPECT_EQ(Engine().Exchange().DataIndex(), -1);
    EXPECT_EQ(State().dataFilePath, path);
    Engine().ClearDataList(true);
    EXPECT_EQ(State().dataFilePath + Button(kIdLoadFile).toolTip +
                  settings.ReadProfileString("ComSet", "LoadFile", "x"),
              "");
    EXPECT_FALSE(Engine().ReLoad());
}

TEST_F(DataListCommands, LoadTakesThirtyTwoMebibytesAndIgnoresWhatItCannotRead) {
    const std::string exact = dir.File("exact.bin"), over = dir.File("over.bin");
    const std::string fifo = dir.File("fifo");  // would block a plain open
    ASSERT_TRUE(MakeSparseFile(exact, 33554432) && MakeSparseFile(over, 33554433) &&
                mkfifo(fifo.c_str(), 0600) == 0);
    SetLines({"kept"});
    for (const std::string& path : {fifo, dir.File("missing"), dir.Path(), over})
        EXPECT_FALSE(Engine().LoadDataFile(path)) << path;
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text,
              "data file <" + over + ">,size =32 MB.\nThe file is too large to load.");
    EXPECT_EQ(view.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(RecordsOf('I'), (Lines{"load data file failed: " + fifo + " is not a regular file",
                                     "load data file failed: " + dir.File("missing") +
                                         ": No such file or directory",
                                     "load data file failed: " + dir.Path() + " is a directory"}));
    EXPECT_EQ(Engine().DataList().Lines(), Lines{"kept"});
    EXPECT_EQ(State().dataFilePath, "");

    ASSERT_TRUE(Engine().LoadDataFile(exact));
    ASSERT_EQ(Engine().DataList().Count(), 1);
    EXPECT_EQ(Engine().DataList().Line(0).size(), 33554432u);
    EXPECT_EQ(view.boxes.size(), 1u);
}

// Save As over a longer file, or saying why not.
TEST_F(DataListCommands, EditsActOnTheSelectionAndSaveAsWritesEveryLineWithCrLf) {
    const std::string path = dir.File("Data.txt");
    EXPECT_FALSE(Engine().SaveDataList(path) || std::filesystem::exists(path));  // empty list
    SetLines({"", "b"});
    // clang-format off
    const struct { int selection; std::string text; void (CMainEngine::*edit)(); Lines after; } steps[] = {
        {-1, "", &CMainEngine::InsertAbove, {"", "b"}},  // empty text: nothing
        {1, "up", &CMainEngine::InsertAbove, {"", "up", "b"}},
        {-1, "end", &CMainEngine::InsertBelow, {"", "up", "b", "end"}},
        {0, "below", &CMainEngine::InsertBelow, {"", "below", "up", "b", "end"}},
        {2, "", &CMainEngine::DeleteSelected, {"", "below", "b", "end"}}};
    // clang-format on
    for (const auto& step : steps) {
        Engine().DataList().SetCurSel(step.selection);
        Engine().SetSendText(step.text);
        (Engine().*step.edit)();
        EXPECT_EQ(Engine().DataList().Lines(), step.after) << step.text;
    }
    WriteFile(path, "older and longer content");
    ASSERT_TRUE(Engine().SaveDataList(path));
    EXPECT_EQ(ReadFile(path), "\r\nbelow\r\nb\r\nend\r\n");
    EXPECT_FALSE(Engine().SaveDataList(dir.File("no-folder/Data.txt")));
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(view.boxes[0].text, "save data file succeeded!: " + path);
    EXPECT_EQ(view.boxes[1].text, "can't save data file ,error code = 2");
}

// A double-click takes the line, sent with "send now"; a load with SendAfterLoadFile
// and "send now" sends ENQ (EOT SOH for CheckSum 1) and restarts the frame counter.
TEST_F(DataListCommands, SendNowSendsTheDoubleClickedLineAndTheOpeningByteOfALoad) {
    Socket peer = ConnectAsClient();
    SetLines({"first", "second"});
    Engine().OnDataListDoubleClick(1);
    EXPECT_EQ(State().sendText, "second");
    EXPECT_EQ(Engine().Exchange().DataIndex(), 1);
    const std::string path = dir.File("data.txt");
    WriteFile(path, "one\ntwo");
    settings.SendAfterLoadFile = 1;
    ASSERT_TRUE(Engine().LoadDataFile(path));  // "send now" is still off: no ENQ

    Engine().ToggleSendNow();  // its write: EngineSettingWrites
    Engine().OnDataListDoubleClick(0);
    Engine().OnDataListDoubleClick(7);  // below the last line: nothing taken
    EXPECT_EQ(Engine().Exchange().DataIndex(), -1);
    EXPECT_EQ(State().sendText, "one");
    settings.CheckSum = 0;
    Engine().DataList().SetCurSel(1);
    Engine().Exchange().FrameCounter() = 5;
    ASSERT_TRUE(Engine().LoadDataFile(path));
    EXPECT_EQ(Engine().Exchange().FrameCounter(), 0);
    EXPECT_EQ(Engine().DataList().CurSel(), -1);
    settings.CheckSum = 1;
    ASSERT_TRUE(Engine().LoadDataFile(path));
    WriteFile(path, "");  // no line, so no opening byte
    ASSERT_TRUE(Engine().LoadDataFile(path));
    const std::string sent = "one\x05\x04\x01";
    EXPECT_EQ(peer.Receive(sent.size()), sent);
    Engine().ToggleSendNow();
    EXPECT_EQ(CComSetting::Loaded(dir.File("t.ini")).LButtonDblClkSend, 0);
}

}  // namespace
}  // namespace qelvor::test
