#include "ports/serial_port.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "ports/byte_queue.h"
#include "ports/port_test_util.h"
#include "ports/tty_settings.h"
#include "support/pty_pair.h"
#include "support/temp_folder.h"

namespace {

using porttest::WaitUntil;
using qelvor::testing_support::PtyDevice;
using StreamPort::CSerialPort;

// Whether the tty open at fd refuses further opens (root passes regardless,
// so the tests look at the mark itself).
bool Exclusive(int fd) {
    int on = 0;
    return ioctl(fd, TIOCGEXCL, &on) == 0 && on != 0;
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

class Pty : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(pty_.Path().empty());
        port_.SetComParam(0, 115200, pty_.Path().c_str());
    }
    // Polls the port as the main window does (WaitForData(0), then Read)
    // until count bytes came or 20 s passed.
    static std::string Collect(CSerialPort& port, size_t count) {
        std::string got;
        std::vector<char> buf(65536);
        WaitUntil(
            [&] {
                int r = port.WaitForData(0) > 0 ? port.Read(buf.data(), 65536) : 0;
                if (r > 0) got.append(buf.data(), static_cast<size_t>(r));
                return got.size() >= count;
            },
            std::chrono::seconds(20));
        return got;
    }
    porttest::TtyLine Line() {
        porttest::TtyLine line{};
        EXPECT_TRUE(porttest::ReadTtyLine(pty_.Slave(), &line));
        return line;
    }

    PtyDevice pty_;
    CSerialPort port_;
};

TEST_F(Pty, RawBytesTravelBothWaysThroughThePollContract) {
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.GetState(0), 1);
    EXPECT_EQ(port_.WaitForData(0), 0);

    // A buffer shorter than what waits leaves the rest for the next Read.
    ASSERT_TRUE(pty_.Feed("0123456789"));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 10; }));
    char buf[4];
    ASSERT_TRUE(WaitUntil([&] { return port_.Read(buf, 4) == 4; }));
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(port_.WaitForData(0), 6);

    // Raw mode: CR, LF, ^C, DEL and NUL arrive as sent, nothing is echoed,
    // and a long burst arrives whole and in order after what waited.
    std::string burst = std::string(
                            "\x02"
                            "AB\r\n\x03\x7f\x00Z\x04",
                            10) +
                        Pattern(200000);
    std::thread feeder([&] { pty_.Feed(burst); });
    EXPECT_TRUE(Collect(port_, burst.size() + 6) == "456789" + burst);
    feeder.join();
    EXPECT_EQ(pty_.Drain(), "");

    EXPECT_EQ(port_.WriteString(std::string("\x05\r\n\x00\xff", 5)), 5);
    std::string got;
    ASSERT_TRUE(WaitUntil([&] { return (got += pty_.Drain()).size() >= 5; }));
    EXPECT_EQ(got, std::string("\x05\r\n\x00\xff", 5));
}

// With a queue far smaller than the flood, the receive thread stops reading
// when it is full (the pty then holds the writer back) and goes on once Read
// made room: nothing is lost and the queue never grows past its bound.
TEST_F(Pty, FullQueueHoldsTheDeviceBackAndLosesNothing) {
    CSerialPort small(64 * 1024);
    small.SetComParam(0, 115200, pty_.Path().c_str());
    ASSERT_EQ(small.Open(), 1);
    const size_t bound = 64 * 1024 + 4096;  // the queue and the tty's line buffer
    const std::string flood = Pattern(1 << 20);
    std::thread feeder([&] { pty_.Feed(flood); });
    EXPECT_TRUE(WaitUntil([&] { return small.WaitForData(0) >= 64 * 1024; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // nobody reads meanwhile
    EXPECT_LE(small.WaitForData(0), static_cast<int>(bound));
    EXPECT_TRUE(Collect(small, flood.size()) == flood);
    feeder.join();
}

// A pty forces CS8 without parity enable, so parity shows in PARODD/CMSPAR,
// and 5 data bits open although CS5 is 0. A rate with a B constant reads back
// as that constant; others as BOTHER (CBAUDEX in the C library's names).
TEST_F(Pty, LineFormatRateAndFlowControlReachTheDriver) {
    struct Row {
        int rate, byteSize, stopCode, parityCode, flow;
        porttest::TtyLine want;
        speed_t constant;
    } rows[] = {
        {250000, 7, 2, 1, 0, {true, false, true, false, 0, true, 250000}, CBAUDEX},  // odd
        {9600, 8, 1, 3, 0, {true, true, true, false, 0, true, 9600}, B9600},  // mark; 1.5 is 2
        {115200, 8, 0, 4, 0, {false, true, false, false, 0, true, 115200}, B115200},  // space
        {921600, 8, 0, 2, 2, {false, false, false, true, 0, true, 921600}, B921600},  // RTS/CTS
        {9600, 5, 0, 0, 1, {false, false, false, false, 2, true, 9600}, B9600},       // XON/XOFF
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(&r - rows);
        port_.SetComParam(0, r.rate, pty_.Path().c_str());
        port_.SetFormat(static_cast<uint8_t>(r.byteSize), static_cast<uint8_t>(r.stopCode),
                        static_cast<uint8_t>(r.parityCode));
        port_.SetFlowControl(r.flow);
        ASSERT_EQ(port_.Open(), 1) << port_.LastOpenErrorText();
        EXPECT_EQ(Line(), r.want);
        termios t{};
        ASSERT_EQ(tcgetattr(pty_.Slave(), &t), 0);
        EXPECT_EQ(cfgetospeed(&t), r.constant);
        EXPECT_EQ(port_.GetState(1), r.byteSize);
        port_.Close();
    }
}

TEST_F(Pty, FormatSetWhileOpenIsIgnoredEvenAfterReopen) {
    port_.SetFormat(7, 2, 1);
    ASSERT_EQ(port_.Open(), 1);
    port_.SetFormat(5, 0, 3);
    EXPECT_EQ(port_.GetState(1), 7);
    EXPECT_EQ(port_.GetState(2), 2);
    EXPECT_EQ(port_.GetState(3), 1);
    port_.Close();
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_STREQ(port_.GetDescription(), "115200 7-O-2");
    EXPECT_TRUE(Line().oddBit && Line().twoStop && !Line().stuckBit);
}

TEST_F(Pty, HeldPortIsRefusedAsBusyUntilReleased) {
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.Open(), 1);  // already open: nothing new
    CSerialPort other;
    other.SetComParam(0, 9600, pty_.Path().c_str());
    EXPECT_EQ(other.Open(), 0);
    EXPECT_EQ(other.LastOpenError(), EBUSY);
    EXPECT_EQ(other.LastOpenErrorText(), "busy: locked by process " + std::to_string(getpid()));
    EXPECT_TRUE(Exclusive(pty_.Slave()));  // the refused open left the holder's mark
    port_.Close();
    EXPECT_FALSE(Exclusive(pty_.Slave()));  // another descriptor of the tty is still open
    EXPECT_EQ(other.Open(), 1);
    EXPECT_EQ(other.LastOpenErrorText(), "");
}

TEST_F(Pty, FailedOpensHoldNothingAndNameTheSettingOrDevice) {
    qelvor::testing_support::TempFolder folder;
    const std::string plain = folder.File("plain");
    qelvor::testing_support::WriteFile(plain, "x");
    const std::string none = "no serial port chosen: set ComPort, or ComName with ComPort 0";
    struct Row {
        int number, rate, byteSize;
        std::string name, want;
    } rows[] = {{0, 115200, 4, pty_.Path(), "invalid ByteSize 4: Linux supports 5 to 8"},
                {0, 0, 8, pty_.Path(), "invalid BaudRate 0"},
                {-1, 9600, 8, "", none},
                {0, 9600, 8, "", none},
                {0, 9600, 8, "ttyQelvorMissing9", "/dev/ttyQelvorMissing9: no such device"},
                {0, 9600, 8, "/nonexistent/ttyQ9", "/nonexistent/ttyQ9: no such device"},
                {0, 9600, 8, plain, plain + ": not a serial device"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.want);
        port_.SetComParam(r.number, r.rate, r.name.c_str());
        port_.SetFormat(static_cast<uint8_t>(r.byteSize), 0, 0);
        EXPECT_EQ(port_.Open(), 0);
        EXPECT_EQ(port_.IsOpen(), 0);
        EXPECT_EQ(port_.GetState(0), 0);
        EXPECT_EQ(port_.Write("abc", 3), 0);
        EXPECT_EQ(port_.LastOpenErrorText(), r.want);
    }
    EXPECT_EQ(port_.LastOpenError(), ENOTTY);
    EXPECT_FALSE(Exclusive(pty_.Slave()));
    CSerialPort other;
    other.SetComParam(0, 9600, pty_.Path().c_str());
    EXPECT_EQ(other.Open(), 1);
}

// The pty's master closed while open stands for a pulled USB adapter.
TEST_F(Pty, VanishedDeviceFailsTheOpenPortAndEndsItsThreadUntilReopened) {
    const int baseline = porttest::BaselineThreadCount();
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(porttest::ThreadCount(), baseline + 1);
    pty_.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return port_.GetState(0) == -1; }));
    EXPECT_TRUE(WaitUntil([&] { return porttest::ThreadCount() == baseline; }));
    EXPECT_EQ(port_.IsOpen(), 1);  // stays open until the user closes it
    EXPECT_EQ(port_.Write("hello", 5), 0);
    EXPECT_EQ(port_.WaitForData(0), 0);
    EXPECT_EQ(port_.LastOpenErrorText().rfind(pty_.Path() + ": the device vanished (", 0), 0u);

    PtyDevice back;  // the device is there again (under a new name for a pty)
    port_.SetComParam(0, 9600, back.Path().c_str());
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.GetState(0), 1);
    EXPECT_EQ(port_.LastOpenErrorText(), "");
    ASSERT_TRUE(back.Feed("again"));
    char buf[8];
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 5 && port_.Read(buf, 8) == 5; }));
    EXPECT_EQ(std::string(buf, 5), "again");
    port_.Close();
    EXPECT_EQ(porttest::ThreadCount(), baseline);
}

TEST_F(Pty, StalledDeviceMakesWriteReturnWhatTheDriverTook) {
    ASSERT_EQ(port_.Open(), 1);
    std::string block(4 << 20, 'x');  // nobody reads the master: the pty fills up
    int written = port_.WriteString(block);
    EXPECT_GT(written, 0);
    EXPECT_LT(written, static_cast<int>(block.size()));
}

// Pieces that straddle the chunks, up to the bound and past it.
TEST(ByteQueue, KeepsOrderAcrossChunksAndRefusesPastItsBound) {
    const size_t capacity = 600 * 1024;
    StreamPort::CByteQueue queue(capacity);
    const std::string bytes = Pattern(capacity + 5000);
    size_t in = 0;
    for (size_t piece = 1; in < capacity; piece = piece * 3 + 7)
        in += queue.Append(bytes.data() + in, std::min(piece, bytes.size() - in));
    EXPECT_EQ(in, capacity);
    EXPECT_EQ(queue.Append("x", 1), 0u);
    EXPECT_EQ(queue.Room(), 0u);
    std::string out(capacity, '\0');
    size_t got = queue.Take(out.data(), 100001);
    EXPECT_EQ(queue.Append(bytes.data() + in, 5000), 5000u);  // room again after a Take
    while (size_t n = queue.Take(out.data() + got, std::min<size_t>(77777, capacity - got)))
        got += n;
    EXPECT_EQ(got, capacity);
    EXPECT_TRUE(out == bytes.substr(0, capacity));
    EXPECT_EQ(queue.Size(), 5000u);
}

TEST(SerialPort, DevicePathFollowsPortNumberAndName) {
    std::string longName(400, 'a');
    struct Row {
        int number;
        const char* name;
        std::string want;
    } rows[] = {{1, "ignored", "/dev/ttyS0"},
                {12, nullptr, "/dev/ttyS11"},
                {0, "ttyUSB0", "/dev/ttyUSB0"},
                {0, "/dev/serial/by-id/x", "/dev/serial/by-id/x"},
                {0, nullptr, ""},
                {-1, "ttyUSB0", ""},
                {0, longName.c_str(), "/dev/" + std::string(259, 'a')}};
    CSerialPort port;
    EXPECT_EQ(port.DevicePath(), "");
    for (const Row& r : rows) {
        port.SetComParam(0, 9600, "stale");  // a name counts only with number 0
        port.SetComParam(r.number, 9600, r.name);
        EXPECT_EQ(port.DevicePath(), r.want) << r.number;
    }
}

TEST(SerialPort, DescriptionShowsRateByteSizeParityAndStopBits) {
    struct Row {
        int byteSize, stopCode, parityCode;
        const char* want;
    } rows[] = {{7, 2, 2, "115200 7-E-2"},
                {7, 1, 2, "115200 7-E-5"},
                {8, 0, 3, "115200 8-M-1"},
                {5, 9, 4, "115200 5-S-1"},
                {6, 2, 17, "115200 6-N-2"}};
    CSerialPort port;
    EXPECT_STREQ(port.GetDescription(), "9600 8-N-1");
    port.SetComParam(3, 115200, nullptr);
    for (const Row& r : rows) {
        port.SetFormat(static_cast<uint8_t>(r.byteSize), static_cast<uint8_t>(r.stopCode),
                       static_cast<uint8_t>(r.parityCode));
        EXPECT_STREQ(port.GetDescription(), r.want);
        EXPECT_EQ(port.GetState(3), r.parityCode);
    }
    EXPECT_EQ(port.GetState(5), -1);
}

}  // namespace
