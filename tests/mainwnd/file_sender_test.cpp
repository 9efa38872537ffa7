// SendFile and ReSend: the size limits of each port kind, the byte-order
// mark, the three file forms, the error record and the ReSend button.
#include <sys/stat.h>

#include <string>
#include <thread>

#include "mainwnd/engine_fixture.h"

namespace qelvor::test {
namespace {

using FileSender = EngineTest;

constexpr off_t kMiB = 1048576;
const std::string kBom = "\xEF\xBB\xBF";

TEST_F(FileSender, SentFileIsNotRecordedAndReSendReadsItAgain) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    const std::string path = dir.File("frame.raw");
    const std::string frame(
        "\x02"
        "A\0B\x03",
        5);
    WriteFile(path, frame);
    EXPECT_EQ(Engine().SendFile(path), 5);
    EXPECT_EQ(peer.Receive(5), frame);
    EXPECT_TRUE(Engine().Exchange().Records().empty());
    EXPECT_EQ(State().lastSentFilePath, path);
    EXPECT_TRUE(Button(kIdReSend).visible);
    EXPECT_EQ(Button(kIdReSend).toolTip, "resend file:\n" + path);
    WriteFile(path, "second");
    Engine().ReSend();
    EXPECT_EQ(peer.Receive(6), "second");
}

TEST_F(FileSender, FileFormsAndTheByteOrderMark) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    const std::string path = dir.File("form.txt");
    const struct {
        int form, noBom;
        std::string content, sent;
    } cases[] = {
        {0, 0, "<STX>A", "<STX>A"},
        {1, 0, "<STX>A<ETX><CR><LF>",
         "\x02"
         "A\x03\r\n"},
        {2, 0, "41 42 0D", "AB\r"},
        {0, 1, kBom + "abc", "abc"},
        {0, 1, kBom, kBom},  // three bytes are too few for the mark test
        {0, 0, kBom + "abc", kBom + "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        settings.SendFileFMT = c.form;
        settings.NoSendFileBOM = c.noBom;
        WriteFile(path, c.content);
        EXPECT_EQ(Engine().SendFile(path), static_cast<int>(c.sent.size()));
        EXPECT_EQ(peer.Receive(c.sent.size()), c.sent);
    }
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
    EXPECT_EQ(State().lastSentFilePath, "");
    Engine().ReSend();
    EXPECT_EQ(Engine().Exchange().Records().size(), 1u);
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(FileSender, SerialPortRefusesFilesAboveSixteenMebibytes) {
    PtyPair pty;
    ASSERT_FALSE(pty.Path().empty());
    OpenSerial(pty.Path());
    ASSERT_TRUE(Engine().IsPortOpen());
    const std::string path = dir.File("big.bin");
    ASSERT_TRUE(MakeSparseFile(path, 16 * kMiB + 1));
    EXPECT_EQ(Engine().SendFile(path), 0);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text,
              "data file <" + path + ">,size =16 MB.\nThe file is too large to send.");
    EXPECT_EQ(view.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(Engine().Exchange().Records().empty());
}

TEST_F(FileSender, NetworkPortsSendUpToTwoHundredFiftySixMebibytes) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    const std::string path = dir.File("big.bin");
    ASSERT_TRUE(MakeSparseFile(path, 256 * kMiB + 1));
    EXPECT_EQ(Engine().SendFile(path), 0);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text,
              "data file <" + path + ">,size =256 MB.\nThe file is too large to send.");

    // 20 MiB, too much for a serial line, goes out on TCP.
    ASSERT_TRUE(MakeSparseFile(path, 20 * kMiB));
    size_t received = 0;
    std::thread reader([&] { received = peer.Receive(20 * kMiB, 20000).size(); });
    EXPECT_EQ(Engine().SendFile(path), 20 * kMiB);
    reader.join();
    EXPECT_EQ(received, static_cast<size_t>(20 * kMiB));
    EXPECT_EQ(view.boxes.size(), 1u);
}

}  // namespace
}  // namespace qelvor::test
