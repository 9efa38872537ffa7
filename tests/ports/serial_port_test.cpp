#include "ports/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ports/port_test_util.h"
#include "ports/tty_settings.h"

namespace {

using porttest::WaitUntil;
using StreamPort::CSerialPort;

// A pty pair: the port opens the slave by its path, the test plays the
// device on the master. The test keeps its own slave descriptor, opened
// before the port's exclusive open, to look at the line settings.
class PtyFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
        path_ = ttyname(slave_);
        int flags = fcntl(master_, F_GETFL, 0);
        fcntl(master_, F_SETFL, flags | O_NONBLOCK);
        port_.SetComParam(0, 115200, path_.c_str());
    }
    void TearDown() override {
        port_.Close();
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
    }

    void DeviceSends(const std::string& bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Everything the device receives until count bytes came or time is up.
    std::string DeviceReceives(size_t count) {
        std::string got;
        WaitUntil([&] {
            char buf[4096];
            ssize_t n = read(master_, buf, sizeof buf);
            if (n > 0) got.append(buf, static_cast<size_t>(n));
            return got.size() >= count;
        });
        return got;
    }

    // Polls as the main window does (WaitForData(0), then Read) until count
    // bytes came or time is up.
    std::string PortReceives(size_t count, int bufferSize = 65536) {
        std::string got;
        std::vector<char> buf(static_cast<size_t>(bufferSize));
        WaitUntil([&] {
            if (port_.WaitForData(0) > 0) {
                int n = port_.Read(buf.data(), bufferSize);
                if (n > 0) got.append(buf.data(), static_cast<size_t>(n));
            }
            return got.size() >= count;
        });
        return got;
    }

    porttest::TtySettings Settings() {
        porttest::TtySettings s;
        EXPECT_TRUE(porttest::ReadTtySettings(slave_, &s));
        return s;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    CSerialPort port_;
};

TEST_F(PtyFixture, BytesTravelBothWaysUnchangedThroughThePollContract) {
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.IsOpen(), 1);
    EXPECT_EQ(port_.GetState(0), 1);
    EXPECT_EQ(port_.WaitForData(0), 0);
    char buf[16];
    EXPECT_EQ(port_.Read(buf, sizeof buf), 0);

    // Raw mode: CR, LF, ^C, DEL and NUL arrive as sent and nothing is echoed.
    const std::string fromDevice(
        "\x02"
        "AB\r\n\x03\x7f\x00Z\x04",
        10);
    DeviceSends(fromDevice);
    EXPECT_EQ(PortReceives(fromDevice.size()), fromDevice);
    char echo[16];
    EXPECT_LT(read(master_, echo, sizeof echo), 0);

    const std::string toDevice("\x05\r\n\x00\xff", 5);
    EXPECT_EQ(port_.WriteString(toDevice), 5);
    EXPECT_EQ(DeviceReceives(toDevice.size()), toDevice);
}

TEST_F(PtyFixture, ShortBufferLeavesTheRestWaitingForTheNextRead) {
    ASSERT_EQ(port_.Open(), 1);
    DeviceSends("0123456789");
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 10; }));
    char buf[4];
    EXPECT_EQ(port_.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(port_.WaitForData(0), 6);
    EXPECT_EQ(PortReceives(6), "456789");
    EXPECT_EQ(port_.WaitForData(0), 0);
}

TEST_F(PtyFixture, LargeBurstArrivesWholeAndInOrder) {
    ASSERT_EQ(port_.Open(), 1);
    std::string burst;
    for (int i = 0; i < 200000; ++i)
        burst.push_back(static_cast<char>(i * 7 + i / 256));
    size_t sent = 0;
    std::string got;
    std::vector<char> buf(65536);
    // The device writes as fast as the pty takes it while the port is polled.
    porttest::WaitUntil(
        [&] {
            if (sent < burst.size()) {
                ssize_t n = write(master_, burst.data() + sent, burst.size() - sent);
                if (n > 0) sent += static_cast<size_t>(n);
            }
            if (port_.WaitForData(0) > 0) {
                int n = port_.Read(buf.data(), static_cast<int>(buf.size()));
                if (n > 0) got.append(buf.data(), static_cast<size_t>(n));
            }
            return got.size() >= burst.size();
        },
        std::chrono::seconds(10));
    EXPECT_EQ(got.size(), burst.size());
    EXPECT_TRUE(got == burst);
}

// A pty keeps every setting except the character size and the parity
// enable bit, which it forces to CS8 without parity; those two are checked
// through the rest of the flags.
TEST_F(PtyFixture, LineFormatAndRateReachTheDriver) {
    auto f = porttest::Flags();
    port_.SetComParam(0, 250000, path_.c_str());  // a rate without a B constant
    port_.SetFormat(7, 2, 1);                     // odd parity, two stop bits
    ASSERT_EQ(port_.Open(), 1);
    auto s = Settings();
    EXPECT_EQ(s.cflag & (f.parodd | f.cmspar), f.parodd);
    EXPECT_NE(s.cflag & f.cstopb, 0u);
    EXPECT_EQ(s.cflag & f.crtscts, 0u);
    EXPECT_EQ(s.iflag & (f.ixon | f.ixoff | f.icrnl), 0u);
    EXPECT_EQ(s.lflag & (f.icanon | f.echo), 0u);
    EXPECT_EQ(s.oflag & f.opost, 0u);
    EXPECT_EQ(s.ospeed, 250000u);
    EXPECT_EQ(s.ispeed, 250000u);
    port_.Close();

    // Mark parity is odd parity with a stuck bit; one and a half stop bits
    // are taken as two.
    port_.SetFormat(8, 1, 3);
    ASSERT_EQ(port_.Open(), 1);
    s = Settings();
    EXPECT_EQ(s.cflag & (f.parodd | f.cmspar), f.parodd | f.cmspar);
    EXPECT_NE(s.cflag & f.cstopb, 0u);
    port_.Close();

    port_.SetFormat(8, 0, 4);  // space parity, one stop bit
    ASSERT_EQ(port_.Open(), 1);
    s = Settings();
    EXPECT_EQ(s.cflag & (f.parodd | f.cmspar), f.cmspar);
    EXPECT_EQ(s.cflag & f.cstopb, 0u);
    port_.Close();

    port_.SetFormat(8, 0, 2);  // even parity: no odd, no stuck bit
    ASSERT_EQ(port_.Open(), 1);
    s = Settings();
    EXPECT_EQ(s.cflag & (f.parodd | f.cmspar), 0u);
}

TEST_F(PtyFixture, FlowControlIsAppliedAsChosen) {
    auto f = porttest::Flags();
    port_.SetFlowControl(2);
    ASSERT_EQ(port_.Open(), 1);
    auto s = Settings();
    EXPECT_NE(s.cflag & f.crtscts, 0u);
    EXPECT_EQ(s.iflag & (f.ixon | f.ixoff), 0u);
    port_.Close();

    port_.SetFlowControl(1);
    ASSERT_EQ(port_.Open(), 1);
    s = Settings();
    EXPECT_EQ(s.cflag & f.crtscts, 0u);
    EXPECT_EQ(s.iflag & (f.ixon | f.ixoff), f.ixon | f.ixoff);
    port_.Close();

    port_.SetFlowControl(0);
    ASSERT_EQ(port_.Open(), 1);
    s = Settings();
    EXPECT_EQ(s.cflag & f.crtscts, 0u);
    EXPECT_EQ(s.iflag & (f.ixon | f.ixoff), 0u);
}

TEST_F(PtyFixture, FormatSetWhileOpenIsIgnoredEvenAfterReopen) {
    port_.SetFormat(7, 2, 1);
    ASSERT_EQ(port_.Open(), 1);
    port_.SetFormat(5, 0, 3);
    EXPECT_EQ(port_.GetState(1), 7);
    EXPECT_EQ(port_.GetState(2), 2);
    EXPECT_EQ(port_.GetState(3), 1);
    port_.Close();
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_STREQ(port_.GetDescription(), "115200 7-O-2");
    auto f = porttest::Flags();
    EXPECT_EQ(Settings().cflag & (f.parodd | f.cmspar | f.cstopb), f.parodd | f.cstopb);
}

TEST_F(PtyFixture, SecondOpenOfAHeldPortIsRefusedAsBusy) {
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.Open(), 1);  // already open: nothing new
    CSerialPort other;
    other.SetComParam(0, 9600, path_.c_str());
    EXPECT_EQ(other.Open(), 0);
    EXPECT_EQ(other.IsOpen(), 0);
    EXPECT_EQ(other.LastOpenError(), EBUSY);
    EXPECT_EQ(other.LastOpenErrorText(), "busy");
    port_.Close();
    EXPECT_EQ(other.Open(), 1);
    EXPECT_EQ(other.LastOpenError(), 0);
    EXPECT_EQ(other.LastOpenErrorText(), "");
}

TEST_F(PtyFixture, ByteSizeFourAndRateZeroFailAndLeaveThePortFree) {
    port_.SetFormat(4, 0, 0);
    EXPECT_EQ(port_.Open(), 0);
    EXPECT_EQ(port_.IsOpen(), 0);
    EXPECT_EQ(port_.GetState(0), 0);
    port_.SetFormat(8, 0, 0);
    port_.SetComParam(0, 0, path_.c_str());
    EXPECT_EQ(port_.Open(), 0);
    // Nothing of the failed opens is held: another port opens the device.
    CSerialPort other;
    other.SetComParam(0, 9600, path_.c_str());
    EXPECT_EQ(other.Open(), 1);
}

TEST_F(PtyFixture, VanishedDeviceMakesWriteReportNothingSent) {
    ASSERT_EQ(port_.Open(), 1);
    close(master_);
    master_ = -1;
    EXPECT_EQ(port_.Write("hello", 5), 0);
    char buf[8];
    EXPECT_EQ(port_.Read(buf, sizeof buf), 0);
    EXPECT_EQ(port_.WaitForData(0), 0);
    EXPECT_EQ(port_.IsOpen(), 1);  // stays open until closed by the user
}

TEST_F(PtyFixture, StalledDeviceMakesWriteReturnWhatTheDriverTook) {
    ASSERT_EQ(port_.Open(), 1);
    // Nobody reads the master, so the pty's buffers fill and stay full.
    std::string block(4 << 20, 'x');
    auto start = std::chrono::steady_clock::now();
    int written = port_.WriteString(block);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GT(written, 0);
    EXPECT_LT(written, static_cast<int>(block.size()));
    EXPECT_LT(took, std::chrono::seconds(8));  // gives up instead of hanging
}

TEST(SerialPort, DevicePathFollowsPortNumberAndName) {
    CSerialPort port;
    EXPECT_EQ(port.DevicePath(), "");  // no port configured yet
    port.SetComParam(1, 9600, "ignored");
    EXPECT_EQ(port.DevicePath(), "/dev/ttyS0");
    port.SetComParam(12, 9600, nullptr);
    EXPECT_EQ(port.DevicePath(), "/dev/ttyS11");
    port.SetComParam(0, 9600, "ttyUSB0");
    EXPECT_EQ(port.DevicePath(), "/dev/ttyUSB0");
    port.SetComParam(0, 9600, "/dev/serial/by-id/usb-X");
    EXPECT_EQ(port.DevicePath(), "/dev/serial/by-id/usb-X");
    port.SetComParam(3, 9600, "ttyUSB0");  // a name counts only with number 0
    port.SetComParam(0, 9600, nullptr);
    EXPECT_EQ(port.DevicePath(), "");
    port.SetComParam(-1, 9600, "ttyUSB0");
    EXPECT_EQ(port.DevicePath(), "");
    std::string longName(400, 'a');
    port.SetComParam(0, 9600, longName.c_str());
    EXPECT_EQ(port.DevicePath(), "/dev/" + std::string(259, 'a'));
}

TEST(SerialPort, OpenFailsWithoutADeviceOrOnAFileThatIsNoTty) {
    CSerialPort port;
    EXPECT_EQ(port.Open(), 0);  // port number -1
    port.SetComParam(0, 9600, "");
    EXPECT_EQ(port.Open(), 0);
    port.SetComParam(0, 9600, "/nonexistent/ttyQ9");
    EXPECT_EQ(port.Open(), 0);
    EXPECT_EQ(port.LastOpenError(), ENOENT);
    char file[] = "/tmp/qelvor_notty_XXXXXX";
    int fd = mkstemp(file);
    ASSERT_GE(fd, 0);
    port.SetComParam(0, 9600, file);
    EXPECT_EQ(port.Open(), 0);
    EXPECT_EQ(port.IsOpen(), 0);
    close(fd);
    unlink(file);
}

TEST(SerialPort, ClosedPortMovesNothingAndClosesQuietly) {
    CSerialPort port;
    char buf[8];
    EXPECT_EQ(port.Close(), 1);
    EXPECT_EQ(port.Read(buf, sizeof buf), 0);
    EXPECT_EQ(port.Write("abc", 3), 0);
    EXPECT_EQ(port.WaitForData(0), 0);
    EXPECT_EQ(port.SetNetParam(1, 2, 3), 1);
    EXPECT_EQ(port.GetState(0), 0);
}

TEST(SerialPort, DescriptionAndStateSelectors) {
    CSerialPort port;
    EXPECT_STREQ(port.GetDescription(), "9600 8-N-1");
    port.SetComParam(3, 115200, nullptr);
    port.SetFormat(7, 2, 2);
    EXPECT_STREQ(port.GetDescription(), "115200 7-E-2");
    port.SetFormat(7, 1, 2);
    EXPECT_STREQ(port.GetDescription(), "115200 7-E-5");
    port.SetFormat(8, 0, 3);
    EXPECT_STREQ(port.GetDescription(), "115200 8-M-1");
    port.SetFormat(5, 9, 4);
    EXPECT_STREQ(port.GetDescription(), "115200 5-S-1");
    port.SetFormat(6, 2, 17);
    EXPECT_STREQ(port.GetDescription(), "115200 6-N-2");
    EXPECT_EQ(port.GetState(1), 6);
    EXPECT_EQ(port.GetState(2), 2);
    EXPECT_EQ(port.GetState(3), 17);
    EXPECT_EQ(port.GetState(5), -1);
    EXPECT_EQ(port.GetState(-1), -1);
}

}  // namespace
