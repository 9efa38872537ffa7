#include "ports/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "ports/port_test_util.h"
#include "ports/tty_settings.h"
#include "support/temp_folder.h"

namespace {

using porttest::WaitUntil;
using StreamPort::CSerialPort;

// Whether the tty open at fd refuses further opens (root passes regardless,
// so the tests look at the mark itself).
bool Exclusive(int fd) {
    int on = 0;
    return ioctl(fd, TIOCGEXCL, &on) == 0 && on != 0;
}

// A pty pair: the port opens the slave by its path, the test plays the device
// on the master and keeps its own slave descriptor to look at the line settings.
class Pty : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
        path_ = ttyname(slave_);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL, 0) | O_NONBLOCK);
        port_.SetComParam(0, 115200, path_.c_str());
    }
    void TearDown() override {
        port_.Close();
        if (master_ >= 0) close(master_);
        close(slave_);
    }
    // Feeds `toPort` to the device side while polling the port as the main window
    // does (WaitForData(0), then Read) until it and `waiting` more bytes came.
    std::string ThroughPort(const std::string& toPort, size_t waiting = 0) {
        std::string got;
        std::vector<char> buf(65536);
        size_t sent = 0;
        WaitUntil(
            [&] {
                ssize_t n = write(master_, toPort.data() + sent, toPort.size() - sent);
                if (n > 0) sent += static_cast<size_t>(n);
                int r = port_.WaitForData(0) > 0 ? port_.Read(buf.data(), 65536) : 0;
                if (r > 0) got.append(buf.data(), static_cast<size_t>(r));
                return got.size() >= toPort.size() + waiting;
            },
            std::chrono::seconds(10));
        return got;
    }
    porttest::TtyLine Line() {
        porttest::TtyLine line{};
        EXPECT_TRUE(porttest::ReadTtyLine(slave_, &line));
        return line;
    }

    int master_ = -1, slave_ = -1;
    std::string path_;
    CSerialPort port_;
};

TEST_F(Pty, RawBytesTravelBothWaysThroughThePollContract) {
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.GetState(0), 1);
    EXPECT_EQ(port_.WaitForData(0), 0);

    // A buffer shorter than what waits leaves the rest for the next Read.
    ASSERT_EQ(write(master_, "0123456789", 10), 10);
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 10; }));
    char buf[4];
    EXPECT_EQ(port_.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(port_.WaitForData(0), 6);

    // Raw mode: CR, LF, ^C, DEL and NUL arrive as sent, nothing is echoed,
    // and a long burst arrives whole and in order after what waited.
    std::string burst(
        "\x02"
        "AB\r\n\x03\x7f\x00Z\x04",
        10);
    for (int i = 0; i < 200000; ++i)
        burst.push_back(static_cast<char>(i * 7 + i / 256));
    EXPECT_TRUE(ThroughPort(burst, 6) == "456789" + burst);
    char echo[16];
    EXPECT_LT(read(master_, echo, sizeof echo), 0);

    EXPECT_EQ(port_.WriteString(std::string("\x05\r\n\x00\xff", 5)), 5);
    char got[8];
    ASSERT_TRUE(WaitUntil([&] { return read(master_, got, sizeof got) == 5; }));
    EXPECT_EQ(std::string(got, 5), std::string("\x05\r\n\x00\xff", 5));
}

// A pty forces CS8 without parity enable, so parity shows in PARODD/CMSPAR.
TEST_F(Pty, LineFormatRateAndFlowControlReachTheDriver) {
    struct Row {
        int rate, byteSize, stopCode, parityCode, flow;
        porttest::TtyLine want;
    } rows[] = {
        {250000, 7, 2, 1, 0, {true, false, true, false, 0, true, 250000}},  // odd, no B constant
        {9600, 8, 1, 3, 0, {true, true, true, false, 0, true, 9600}},       // mark; 1.5 stop is 2
        {9600, 8, 0, 4, 0, {false, true, false, false, 0, true, 9600}},     // space
        {9600, 8, 0, 2, 2, {false, false, false, true, 0, true, 9600}},     // even, RTS/CTS
        {9600, 8, 0, 0, 1, {false, false, false, false, 2, true, 9600}},    // XON/XOFF
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(&r - rows);
        port_.SetComParam(0, r.rate, path_.c_str());
        port_.SetFormat(static_cast<uint8_t>(r.byteSize), static_cast<uint8_t>(r.stopCode),
                        static_cast<uint8_t>(r.parityCode));
        port_.SetFlowControl(r.flow);
        ASSERT_EQ(port_.Open(), 1);
        EXPECT_EQ(Line(), r.want);
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
    other.SetComParam(0, 9600, path_.c_str());
    EXPECT_EQ(other.Open(), 0);
    EXPECT_EQ(other.LastOpenError(), EBUSY);
    EXPECT_EQ(other.LastOpenErrorText(), "busy");
    EXPECT_TRUE(Exclusive(slave_));  // the refused open left the holder's mark
    port_.Close();
    EXPECT_FALSE(Exclusive(slave_));  // another descriptor of the tty is still open
    EXPECT_EQ(other.Open(), 1);
    EXPECT_EQ(other.LastOpenErrorText(), "");
}

TEST_F(Pty, FailedOpensHoldNothing) {
    qelvor::testing_support::TempFolder folder;
    qelvor::testing_support::WriteFile(folder.File("plain"), "x");
    struct Row {
        int number, rate, byteSize;
        std::string name;
    } rows[] = {{0, 115200, 4, path_},
                {0, 0, 8, path_},
                {-1, 9600, 8, ""},
                {0, 9600, 8, ""},
                {0, 9600, 8, "/nonexistent/ttyQ9"},
                {0, 9600, 8, folder.File("plain")}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name + " " + std::to_string(r.rate) + " " + std::to_string(r.byteSize));
        port_.SetComParam(r.number, r.rate, r.name.c_str());
        port_.SetFormat(static_cast<uint8_t>(r.byteSize), 0, 0);
        EXPECT_EQ(port_.Open(), 0);
        EXPECT_EQ(port_.IsOpen(), 0);
        EXPECT_EQ(port_.Write("abc", 3), 0);
    }
    EXPECT_EQ(port_.LastOpenError(), ENOTTY);
    EXPECT_FALSE(Exclusive(slave_));
    CSerialPort other;
    other.SetComParam(0, 9600, path_.c_str());
    EXPECT_EQ(other.Open(), 1);
}

TEST_F(Pty, VanishedDeviceMakesWriteReportNothingSent) {
    ASSERT_EQ(port_.Open(), 1);
    close(master_);
    master_ = -1;
    EXPECT_EQ(port_.Write("hello", 5), 0);
    EXPECT_EQ(port_.WaitForData(0), 0);
    EXPECT_EQ(port_.IsOpen(), 1);  // stays open until the user closes it
}

TEST_F(Pty, StalledDeviceMakesWriteReturnWhatTheDriverTook) {
    ASSERT_EQ(port_.Open(), 1);
    std::string block(4 << 20, 'x');  // nobody reads the master: the pty fills up
    int written = port_.WriteString(block);
    EXPECT_GT(written, 0);
    EXPECT_LT(written, static_cast<int>(block.size()));
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
