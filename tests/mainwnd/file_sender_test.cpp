// SendFile and ReSend: the size limits of each port kind, the byte-order
// mark, the three file forms, the error records and the ReSend button.
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include <gmock/gmock.h>

#include "mainwnd/engine_fixture.h"
#include "mainwnd/file_sender.h"
#include "support/pty_pair.h"

using namespace std::string_literals;

namespace qelvor::test {
namespace {

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
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = listener.Port();
    Engine().OnOpenPort();
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
    EXPECT_EQ(Pane(1).rfind("SendFile ", 0), 0u) << "still under way: " << Pane(1);
    // A send made meanwhile waits behind the file instead of landing in it.
    Engine().SetSendText("after");
    EXPECT_EQ(Engine().OnSendData(), 5);
    EXPECT_TRUE(RecordsOf('S').empty());
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
    EXPECT_FALSE(Engine().IsPortOpen());
}

TEST(FileSendLimit, BothLimitsAreInclusive) {
    // clang-format off
    const struct { uint64_t size; int workMode; bool fits; } cases[] = {
        {16 * kMiB, kWorkModeSerial, true}, {16 * kMiB + 1, kWorkModeSerial, false},
        {256 * kMiB, kWorkModeTcpClient, true}, {256 * kMiB + 1, kWorkModeUdp, false},
        {256 * kMiB + 1, kWorkModeSerial, false}, {0, kWorkModeSerial, true}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(FileFitsSendLimit(c.size, c.workMode), c.fits)
            << c.size << " mode " << c.workMode;
}

// On a serial line a file above 16 MiB is refused. One of exactly 16 MiB goes
// out in pieces, to a far end that reads nothing and then goes away: the send
// stops midway and says so.
TEST_F(FileSender, SerialLineRefusesAboveTheLimitAndReportsAPartialWriteAtIt) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    OpenSerial(name);
    close(slave);
    ASSERT_TRUE(Engine().IsPortOpen());
    const std::string big = dir.File("big.bin"), path = dir.File("limit.bin");
    ASSERT_TRUE(MakeSparseFile(big, 16 * kMiB + 1) && MakeSparseFile(path, 16 * kMiB));
    EXPECT_EQ(Engine().SendFile(big), 0);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text,
              "data file <" + big + ">,size =16 MB.\nThe file is too large to send.");
    EXPECT_EQ(view.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(Engine().Exchange().Records().empty());
    // The line takes the file in pieces at the poll; the send box's text
    // waits behind it and goes nowhere once the line is gone.
    std::thread closer = testing_support::CloseOnceStalled(master);
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
