// The data list's files and edits: loading with its limit, reports and the
// opening handshake, ReLoad and Clear, the line edits, Save As and the
// double-click; then SendFile and ReSend: the size limits of each port kind,
// the byte-order mark, the three file forms, the error records and the ReSend
// button.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include <gmock/gmock.h>

#include "mainwnd/data_list_commands.h"
#include "mainwnd/engine_fixture.h"
#include "mainwnd/file_sender.h"
#include "support/data_list_recorder.h"
#include "support/pty_pair.h"

using namespace std::string_literals;

namespace qelvor::test {
namespace {

using DataListCommands = EngineTest;

TEST_F(DataListCommands, LinesEndAtLineFeedsAndLoseTrailingLineEnds) {
    const struct {
        std::string bytes;
        Lines lines;
    } cases[] = {
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
    for (const auto& c : cases) {
        WriteFile(path, c.bytes);
        ASSERT_TRUE(Engine().LoadDataFile(path));
        EXPECT_EQ(Engine().DataList().Lines(), c.lines) << "input size " << c.bytes.size();
    }

    // Pane 1 counts the lines every hundred and ends empty; the list gets
    // them in one step, on a ReLoad too.
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
    EXPECT_TRUE(RecordsOf('S').empty());  // no opening byte without both flags
    WriteFile(path, "b\nc\nd");
    ASSERT_TRUE(Engine().ReLoad());
    EXPECT_EQ(Engine().DataList().Lines(), (Lines{"b", "c", "d"}));
    Engine().Exchange().SetDataIndex(1);
    Engine().ClearDataList(false);
    EXPECT_EQ(Engine().DataList().Count(), 0);
    EXPECT_EQ(Engine().Exchange().DataIndex(), -1);
    EXPECT_EQ(State().dataFilePath, path);
    Engine().ClearDataList(true);
    EXPECT_EQ(State().dataFilePath + Button(kIdLoadFile).toolTip, "");
    EXPECT_EQ(settings.ReadProfileString("ComSet", "LoadFile", "x"), "");
    EXPECT_FALSE(Engine().ReLoad());
}

TEST_F(DataListCommands, LoadTakesThirtyTwoMebibytesAndIgnoresWhatItCannotRead) {
    const std::string exact = dir.File("exact.bin");
    const std::string over = dir.File("over.bin");
    ASSERT_TRUE(MakeSparseFile(exact, 33554432));
    ASSERT_TRUE(MakeSparseFile(over, 33554433));
    const std::string fifo = dir.File("fifo");  // would block a plain open
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
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

TEST_F(DataListCommands, InsertAndDeleteActOnTheSelection) {
    SetLines({"a", "b"});
    const struct {
        int selection;
        std::string text;
        void (CMainEngine::*edit)();
        Lines after;
    } steps[] = {
        {-1, "", &CMainEngine::InsertAbove, {"a", "b"}},  // empty text: nothing
        {-1, "end", &CMainEngine::InsertAbove, {"a", "b", "end"}},
        {1, "up", &CMainEngine::InsertAbove, {"a", "up", "b", "end"}},
        {0, "below", &CMainEngine::InsertBelow, {"a", "below", "up", "b", "end"}},
        {-1, "", &CMainEngine::DeleteSelected, {"a", "below", "up", "b", "end"}},
        {2, "", &CMainEngine::DeleteSelected, {"a", "below", "b", "end"}},
    };
    for (const auto& step : steps) {
        Engine().DataList().SetCurSel(step.selection);
        Engine().SetSendText(step.text);
        (Engine().*step.edit)();
        EXPECT_EQ(Engine().DataList().Lines(), step.after) << step.text;
    }
}

TEST_F(DataListCommands, SaveAsWritesEveryLineWithCrLfOrReportsTheError) {
    const std::string path = dir.File("Data.txt");
    EXPECT_FALSE(Engine().SaveDataList(path));  // an empty list writes nothing
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(view.boxes.empty());
    WriteFile(path, "older and longer content");
    SetLines({"A", ""});
    ASSERT_TRUE(Engine().SaveDataList(path));
    EXPECT_EQ(ReadFile(path), "A\r\n\r\n");
    EXPECT_FALSE(Engine().SaveDataList(dir.File("no-folder/Data.txt")));
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(view.boxes[0].text, "save data file succeeded!");
    EXPECT_EQ(view.boxes[1].text, "can't save data file ,error code = 2");
    EXPECT_EQ(view.boxes[1].caption, "save data file");
}

// A double-click takes the line, and sends it with "send now"; a load with
// both SendAfterLoadFile and "send now" opens the handshake (ENQ, or EOT SOH
// for CheckSum 1) and starts the frame counter again.
TEST_F(DataListCommands, SendNowSendsTheDoubleClickedLineAndTheOpeningByteOfALoad) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    SetLines({"first", "second"});
    Engine().OnDataListDoubleClick(1);
    EXPECT_EQ(State().sendText, "second");
    EXPECT_EQ(Engine().Exchange().DataIndex(), 1);
    const std::string path = dir.File("data.txt");
    WriteFile(path, "one\ntwo");
    settings.SendAfterLoadFile = 1;
    ASSERT_TRUE(Engine().LoadDataFile(path));  // "send now" is still off: no ENQ

    Engine().ToggleSendNow();
    EXPECT_EQ(CComSetting::Loaded(dir.File("t.ini")).LButtonDblClkSend, 1);
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
    EXPECT_EQ(RecordsOf('S'), (Lines{"one", "\x05", "\x04\x01"}));
    Engine().ToggleSendNow();
    EXPECT_EQ(CComSetting::Loaded(dir.File("t.ini")).LButtonDblClkSend, 0);
}

using FileSender = EngineTest;

constexpr off_t kMiB = 1048576;
const std::string kBom = "\xEF\xBB\xBF";

// Each form of the file and the byte-order mark as sent; a sent file is no
// record, and ReSend reads the last file again.
TEST_F(FileSender, FileFormsTheByteOrderMarkAndReSend) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    const std::string path = dir.File("form.txt"), utf16 = "a\0b\0"s, utf32 = "a\0\0\0"s;
    // clang-format off
    const struct { int form, noBom; std::string content, sent; } cases[] = {
        {0, 0, "\002A\0B\003"s, "\002A\0B\003"s},
        {1, 0, "<STX>A<ETX><CR><LF>", "\002A\003\r\n"}, {2, 0, "41 42 0D", "AB\r"},
        {0, 1, kBom + "abc", "abc"}, {0, 0, kBom + "abc", kBom + "abc"},
        {0, 1, kBom, kBom},  // three bytes are too few for the mark test
        // Each mark is skipped by its own length.
        {0, 1, "\xFF\xFE"s + utf16, utf16}, {0, 1, "\xFF\xFE\0\0"s + utf32, utf32}};
    // clang-format on
    for (const auto& c : cases) {
        settings.SendFileFMT = c.form;
        settings.NoSendFileBOM = c.noBom;
        WriteFile(path, c.content);
        EXPECT_EQ(Engine().SendFile(path), static_cast<int>(c.sent.size()));
        EXPECT_EQ(peer.Receive(c.sent.size()), c.sent) << testing::PrintToString(c.content);
    }
    EXPECT_TRUE(Engine().Exchange().Records().empty());
    EXPECT_EQ(State().lastSentFilePath, path);
    EXPECT_TRUE(Button(kIdReSend).visible);
    EXPECT_EQ(Button(kIdReSend).toolTip, "resend file:\n" + path);
    WriteFile(path, "second");
    Engine().ReSend();
    EXPECT_EQ(peer.Receive(6), "second");
}

TEST_F(FileSender, FailedSendLeavesTheErrorRecordAndUnreadableFilesNothing) {
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Engine().SendFile(fifo), 0);
    EXPECT_EQ(Engine().SendFile(dir.File("missing")), 0);
    EXPECT_TRUE(Engine().Exchange().Records().empty());
    const std::string path = dir.File("a.txt");  // the port was never opened
    WriteFile(path, "abc");
    EXPECT_LT(Engine().SendFile(path), 1);
    EXPECT_EQ(RecordsOf('I'), Lines{"SendFile<" + path + ">,but error!"});
    EXPECT_EQ(State().pane0ToolTip, "port not open");
    EXPECT_EQ(State().lastSentFilePath, "");
    Engine().ReSend();
    EXPECT_EQ(Engine().Exchange().Records().size(), 1u);
    EXPECT_TRUE(view.boxes.empty());
}

// A file far larger than the sockets hold, to a peer that reads slowly: the
// command returns at once, the poll sends the rest while the window works on
// (a frame of the peer is recorded meanwhile), pane 1 shows the progress, and
// the end leaves no record. A close during a send ends it with the record of
// what did not go out.
TEST_F(FileSender, LargeFileGoesOutAtThePollWhileThePeerReadsSlowly) {
    listener = Socket::Listen();
    const int smallBuffer = 65536;
    setsockopt(listener.Fd(), SOL_SOCKET, SO_RCVBUF, &smallBuffer, sizeof smallBuffer);
    OpenTcp(kWorkModeTcpClient, listener.Port());
    Socket peer = listener.Accept();
    ASSERT_TRUE(peer.Valid() && PollWhileConnecting());
    constexpr size_t kSize = 12 * kMiB;
    std::string content(kSize, '\0');
    for (size_t i = 0; i < kSize; ++i)
        content[i] = static_cast<char>(i % 251);
    const std::string path = dir.File("big.bin");
    WriteFile(path, content);
    view.watched = &State();
    ASSERT_EQ(Engine().SendFile(path), static_cast<int>(kSize));
    // A send made meanwhile waits behind the file instead of landing in it.
    Engine().SetSendText("after");
    EXPECT_EQ(Engine().OnSendData(), 5);
    const std::string expected = content + "after";
    std::string received;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (received.size() < expected.size()) {
            const std::string piece =
                peer.Receive(std::min<size_t>(65536, expected.size() - received.size()));
            if (piece.empty()) break;
            if (received.empty()) peer.SendAll("mid\r\n");
            received += piece;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        done = true;
    });
    EXPECT_TRUE(RunUntil([&] { Poll(); }, [&] { return done && Pane(1).empty(); }, 30000));
    reader.join();
    EXPECT_TRUE(received == expected) << received.size() << " bytes arrived";
    EXPECT_EQ(Typed(), (Lines{"R:mid\r\n", "S:after"}));
    ASSERT_GE(view.pane1.size(), 3u) << "the progress moved";
    for (size_t i = 0; i + 1 < view.pane1.size(); ++i)
        EXPECT_THAT(view.pane1[i],
                    testing::MatchesRegex("SendFile [0-9]+% \\([0-9.]+ of 12\\.0 MB\\)"));
    EXPECT_EQ(view.pane1.back(), "");

    Engine().ReSend();  // the peer reads no more
    Poll(20);
    EXPECT_EQ(Pane(1).rfind("SendFile ", 0), 0u) << Pane(1);
    Engine().OnClosePort();
    const Lines info = RecordsOf('I');
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0].rfind("SendFile<" + path + ">: ", 0), 0u) << info[0];
    EXPECT_NE(info[0].find(" of 12582912 bytes were not sent"), std::string::npos) << info[0];
    EXPECT_EQ(Pane(1), "");
}

// Both limits are inclusive; the serial one is sent at its size below.
TEST(FileSendLimit, NetworkLimitIsInclusive) {
    EXPECT_TRUE(FileFitsSendLimit(256 * kMiB, kWorkModeTcpClient));
    EXPECT_FALSE(FileFitsSendLimit(256 * kMiB + 1, kWorkModeUdp));
}

// On a serial line a file above 16 MiB is refused. One of exactly 16 MiB goes
// out in pieces, to a far end that reads nothing and then goes away: the send
// stops midway and says so.
TEST_F(FileSender, SerialLineRefusesAboveTheLimitAndReportsAPartialWriteAtIt) {
    testing_support::PtyDevice pty;
    OpenSerial(pty.path);
    ASSERT_TRUE(Engine().IsPortOpen());
    const std::string big = dir.File("big.bin"), path = dir.File("limit.bin");
    ASSERT_TRUE(MakeSparseFile(big, 16 * kMiB + 1) && MakeSparseFile(path, 16 * kMiB));
    EXPECT_EQ(Engine().SendFile(big), 0);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text,
              "data file <" + big + ">,size =16 MB.\nThe file is too large to send.");
    EXPECT_TRUE(Engine().Exchange().Records().empty());
    // The line takes the file in pieces at the poll; the send box's text
    // waits behind it and goes nowhere once the line is gone.
    std::thread closer = testing_support::CloseOnceStalled(std::exchange(pty.master, -1));
    EXPECT_EQ(Engine().SendFile(path), static_cast<int>(16 * kMiB));
    Engine().SetSendText("after");
    Engine().OnSendData();
    EXPECT_TRUE(RunUntil([&] { Poll(); }, [&] { return RecordsOf('I').size() >= 2; }, 20000));
    closer.join();
    const Lines info = RecordsOf('I');
    ASSERT_EQ(info.size(), 2u);
    EXPECT_THAT(info[0],
                testing::MatchesRegex("SendFile<.*>: [0-9]+ of 16777216 bytes were not sent"));
    EXPECT_NE(info[0], "SendFile<" + path + ">: 16777216 of 16777216 bytes were not sent");
    EXPECT_EQ(info[1], kSendErrorText);
    EXPECT_EQ(view.boxes.size(), 1u);
}

}  // namespace
}  // namespace qelvor::test
