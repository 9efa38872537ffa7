// SendFile and ReSend: the size limits of each port kind, the byte-order
// mark, the three file forms, the error record and the ReSend button.
#include <sys/stat.h>

#include <string>
#include <thread>
#include <vector>

#include "mainwnd/engine_fixture.h"

namespace qelvor::test {
namespace {

using FileSender = EngineTest;

constexpr off_t kMiB = 1048576;

TEST_F(FileSender, SentFileIsNotRecordedAndEnablesReSend) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    const std::string path = dir.File("frame.raw");
    WriteFile(path, std::string("\x02"
                                "A\0B\x03",
                                5));

    EXPECT_EQ(Engine().SendFile(path), 5);
    EXPECT_EQ(peer.Receive(5), std::string("\x02"
                                           "A\0B\x03",
                                           5));
    EXPECT_TRUE(Engine().Exchange().Records().empty());
    EXPECT_EQ(State().lastSentFilePath, path);
    EXPECT_TRUE(Button(kIdReSend).visible);
    EXPECT_EQ(Button(kIdReSend).toolTip, "resend file:\n" + path);

    // ReSend reads the file again.
    WriteFile(path, "second");
    Engine().ReSend();
    EXPECT_EQ(peer.Receive(6), "second");
}

TEST_F(FileSender, FileFormsConvertNotationAndHexText) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    const std::string path = dir.File("form.txt");
    struct Case {
        int form;
        std::string content;
        std::string sent;
    };
    const Case cases[] = {
        {0, "<STX>A", "<STX>A"},
        {1, "<STX>A<ETX><CR><LF>",
         "\x02"
         "A\x03\r\n"},
        {2, "41 42 0D", "AB\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form);
        settings.SendFileFMT = c.form;
        WriteFile(path, c.content);
        EXPECT_EQ(Engine().SendFile(path), static_cast<int>(c.sent.size()));
        EXPECT_EQ(peer.Receive(c.sent.size()), c.sent);
    }
}

TEST_F(FileSender, ByteOrderMarkIsSkippedOnlyWhenAskedAndOnlyFromFourBytes) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    const std::string path = dir.File("bom.txt");
    settings.NoSendFileBOM = 1;
    WriteFile(path,
              "\xEF\xBB\xBF"
              "abc");
    EXPECT_EQ(Engine().SendFile(path), 3);
    EXPECT_EQ(peer.Receive(3), "abc");

    // Three bytes are too few for the mark test: all of them go out.
    WriteFile(path, "\xEF\xBB\xBF");
    EXPECT_EQ(Engine().SendFile(path), 3);
    EXPECT_EQ(peer.Receive(3), "\xEF\xBB\xBF");

    settings.NoSendFileBOM = 0;
    WriteFile(path,
              "\xEF\xBB\xBF"
              "abc");
    EXPECT_EQ(Engine().SendFile(path), 6);
    EXPECT_EQ(peer.Receive(6),
              "\xEF\xBB\xBF"
              "abc");
}

TEST_F(FileSender, FailedSendLeavesTheErrorRecordAndNoReSend) {
    // The port was never opened: the write fails.
    const std::string path = dir.File("a.txt");
    WriteFile(path, "abc");
    EXPECT_LT(Engine().SendFile(path), 1);
    EXPECT_EQ(RecordsOf('I'), std::vector<std::string>{"SendFile<" + path + ">,but error!"});
    EXPECT_EQ(State().lastSentFilePath, "");
    Engine().ReSend();  // nothing was sent before: nothing happens
    EXPECT_EQ(Engine().Exchange().Records().size(), 1u);
}

TEST_F(FileSender, UnreadableFilesAreIgnoredSilently) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Engine().SendFile(fifo), 0);
    EXPECT_EQ(Engine().SendFile(dir.File("missing")), 0);
    EXPECT_TRUE(Engine().Exchange().Records().empty());
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(FileSender, SerialPortRefusesFilesAboveSixteenMebibytes) {
    PtyPair pty;
    ASSERT_FALSE(pty.Path().empty());
    settings.WorkMode = kWorkModeSerial;
    settings.ComPort = 0;
    settings.ComName = pty.Path();
    settings.BaudRate = 115200;
    Engine().OnOpenPort();
    ASSERT_TRUE(Engine().IsPortOpen());
    const std::string path = dir.File("big.bin");
    ASSERT_TRUE(MakeSparseFile(path, 20 * kMiB));
    EXPECT_EQ(Engine().SendFile(path), 0);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text,
              "data file <" + path + ">,size =20 MB.\nThe file is too large to send.");
    EXPECT_EQ(view.boxes[0].icon, MsgIcon::Exclamation);

    ASSERT_TRUE(MakeSparseFile(path, 16 * kMiB + 1));
    EXPECT_EQ(Engine().SendFile(path), 0);
    EXPECT_EQ(view.boxes.size(), 2u);
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
    const int sent = Engine().SendFile(path);
    reader.join();
    EXPECT_EQ(sent, 20 * kMiB);
    EXPECT_EQ(received, static_cast<size_t>(20 * kMiB));
    EXPECT_EQ(view.boxes.size(), 1u);
}

}  // namespace
}  // namespace qelvor::test
