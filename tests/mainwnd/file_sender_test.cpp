// SendFile and ReSend: a file's forms, a large file sent at the poll, the serial limit.
#include <gmock/gmock.h>

#include <atomic>
#include <thread>

#include "mainwnd/file_sender.h"
#include "support/engine_fixture.h"
#include "support/pty_pair.h"

namespace qelvor::test {
namespace {

using namespace std::string_literals;

using FileSender = EngineTest;

constexpr off_t kMiB = 1048576;
const std::string kBom = "\xEF\xBB\xBF";

// An unreadable file sends nothing, a closed port leaves the error record; each
// form and byte-order mark as sent, no record, and ReSend reads the file again.
TEST_F(FileSender, FailedSendsFileFormsTheByteOrderMarkAndReSend) {
    const std::string fifo = dir.File("fifo"), path = dir.File("form.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Engine().SendFile(fifo) + Engine().SendFile(dir.File("missing")), 0);
    WriteFile(path, "abc");
    EXPECT_LT(Engine().SendFile(path), 1);
    EXPECT_EQ(RecordsOf('I'), Lines{"SendFile<" + path + ">,but error!"});
    EXPECT_EQ(State().pane0ToolTip, "port not open");
    Engine().ReSend();  // nothing went out, so there is nothing to send again
    EXPECT_EQ(Engine().Exchange().RecordCount(), 1u);
    EXPECT_TRUE(view.boxes.empty());
    Socket peer = ConnectAsClient();
    const std::string utf16 = "a\0b\0"s;
    // Three bytes are too few for the mark test; a UTF-16 mark is skipped by its own length.
    // clang-format off
    const struct { int form, noBom; std::string content, sent; } cases[] = {
        {0, 0, "\002A\0B\003"s, "\002A\0B\003"s}, {1, 0, "<STX>A<ETX><CR><LF>", "\002A\003\r\n"},
        {2, 0, "41 42 0D", "AB\r"}, {0, 1, kBom + "abc", "abc"}, {0, 0, kBom + "abc", kBom + "abc"},
        {0, 1, kBom, kBom}, {0, 1, "\xFF\xFE"s + utf16, utf16}};
    // clang-format on
    // Each send leaves one 'I' record of the bytes that went out, counted as sent bytes.
    Lines told = RecordsOf('I');
    uint64_t bytes = 0;
    for (const auto& c : cases) {
        std::tie(settings.SendFileFMT, settings.NoSendFileBOM) = std::tie(c.form, c.noBom);
        WriteFile(path, c.content);
        EXPECT_EQ(Engine().SendFile(path), static_cast<int>(c.sent.size()));
        EXPECT_EQ(peer.Receive(c.sent.size()), c.sent) << testing::PrintToString(c.content);
        told.push_back("SendFile<" + path + ">: " + std::to_string(c.sent.size()) + " bytes sent");
        bytes += c.sent.size();
    }
    const CTrafficStats::Totals& counts = Engine().Exchange().Stats().Counts();
    EXPECT_EQ(std::make_tuple(Typed().size(), RecordsOf('I'), counts.bytesSent, counts.recordsSent,
                              State().lastSentFilePath, Button(kIdReSend).visible,
                              Button(kIdReSend).toolTip),
              std::make_tuple(told.size(), told, bytes, 0u, path, true, "resend file:\n" + path));
    WriteFile(path, "second");
    Engine().ReSend();
    EXPECT_EQ(peer.Receive(6), "second");
    EXPECT_EQ(counts.bytesSent, bytes + 6);
}

// Progress shows in pane 1; a close during a send records what did not go out.
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
    EXPECT_EQ(Typed(),
              (Lines{"R:mid\r\n", "I:SendFile<" + path + ">: 12582912 bytes sent", "S:after"}));
    ASSERT_GE(view.pane1.size(), 3u) << "the progress moved";
    for (size_t i = 0; i + 1 < view.pane1.size(); ++i)
        EXPECT_THAT(view.pane1[i],
                    testing::MatchesRegex("SendFile [0-9]+% \\([0-9.]+ of 12\\.0 MB\\)"));
    EXPECT_EQ(view.pane1.back(), "");

    Engine().ReSend();  // the peer reads no more
    Poll(20);
    Engine().OnClosePort();
    EXPECT_THAT(
        RecordsOf('I'),
        testing::ElementsAre(
            testing::EndsWith("bytes sent"),
            testing::MatchesRegex("SendFile<.*big.bin>: [0-9]+ of 12582912 bytes were not sent")));
    EXPECT_EQ(Pane(1), "");
}

// 16 MiB goes out in pieces to a far end that stops reading and goes away; limits inclusive.
TEST_F(FileSender, SerialLineRefusesAboveTheLimitAndReportsAPartialWriteAtIt) {
    testing_support::PtyDevice pty;
    OpenSerial(pty.path);
    const std::string big = dir.File("big.bin"), path = dir.File("limit.bin");
    ASSERT_TRUE(MakeSparseFile(big, 16 * kMiB + 1) && MakeSparseFile(path, 16 * kMiB));
    EXPECT_EQ(Engine().SendFile(big), 0);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text,
              "data file <" + big + ">,size =16 MB.\nThe file is too large to send.");
    EXPECT_TRUE(Engine().Exchange().Records().empty());
    EXPECT_TRUE(FileFitsSendLimit(256 * kMiB, kWorkModeTcpClient));
    EXPECT_FALSE(FileFitsSendLimit(256 * kMiB + 1, kWorkModeUdp));
    // The send box's text waits behind the file and goes nowhere once the line is gone.
    std::thread closer = testing_support::CloseOnceStalled(std::exchange(pty.master, -1));
    EXPECT_EQ(Engine().SendFile(path), static_cast<int>(16 * kMiB));
    Engine().SetSendText("after");
    Engine().OnSendData();
    EXPECT_TRUE(RunUntil([&] { Poll(); }, [&] { return RecordsOf('I').size() >= 2; }, 20000));
    closer.join();
    const Lines info = RecordsOf('I');
    ASSERT_THAT(info,
                testing::ElementsAre(
                    testing::MatchesRegex("SendFile<.*>: [0-9]+ of 16777216 bytes were not sent"),
                    kSendErrorText));
    EXPECT_NE(info[0], "SendFile<" + path + ">: 16777216 of 16777216 bytes were not sent");
    EXPECT_EQ(view.boxes.size(), 1u);
}

}  // namespace
}  // namespace qelvor::test
