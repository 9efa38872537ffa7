// A serial line over pty pairs: bytes, line settings, failed opens, a device that vanishes.
#include "ports/serial_port.h"

#include <termios.h>

#include <gtest/gtest.h>

#include "ports/port_test_probes.h"
#include "support/pty_pair.h"

namespace {

using namespace porttest;
using StreamPort::CSerialPort;

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

class Pty : public ::testing::Test {
  protected:
    void SetUp() override { port_.SetComParam(0, 115200, pty_.path.c_str()); }
    qelvor::testing_support::PtyDevice pty_;
    CSerialPort port_;
};

// A short buffer leaves the rest for the next Read. (Partial writes: ExchangeTest.)
TEST_F(Pty, RawBytesTravelBothWaysAndAFullQueueHoldsTheDeviceBack) {
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.Open(), 1);  // already open: nothing new
    ASSERT_TRUE(pty_.Feed(std::string_view("0123\r\n\x00\xff", 8)));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 8; }));
    char buf[8];
    ASSERT_TRUE(WaitUntil([&] { return port_.Read(buf, 4) == 4; }));
    EXPECT_EQ(std::string(buf, 4) + Collect(port_, 4), std::string("0123\r\n\x00\xff", 8));
    EXPECT_EQ(port_.WriteString("\r\n"), 2);
    ASSERT_TRUE(WaitUntil([&] { return read(pty_.master, buf, sizeof buf) == 2; }));
    EXPECT_EQ(std::string(buf, 2), "\r\n");
    // A full queue holds the device back until Read makes room: nothing lost, the queue bounded.
    port_.Close();
    CSerialPort small(64 * 1024);
    small.SetComParam(0, 115200, pty_.path.c_str());
    ASSERT_EQ(small.Open(), 1);
    const std::string flood = Pattern(1 << 20);
    std::thread feeder([&] { pty_.Feed(flood); });
    EXPECT_TRUE(WaitUntil([&] { return small.WaitForData(0) >= 64 * 1024; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // nobody reads meanwhile
    EXPECT_LE(small.WaitForData(0), 64 * 1024 + 4096);           // the queue and the tty's buffer
    EXPECT_TRUE(Collect(small, flood.size()) == flood);
    feeder.join();
}

// A pty forces CS8 without parity enable (parity shows in PARODD/CMSPAR), 5 bits open
// though CS5 is 0, odd rates read back as CBAUDEX; SetFormat while open is ignored.
TEST_F(Pty, LineFormatRateAndFlowControlReachTheDriver) {
    const tcflag_t kLineBits = PARODD | CMSPAR | CSTOPB | CRTSCTS;
    // clang-format off
    const struct Row {
        int rate; uint8_t byteSize, stopCode, parityCode; int flow;
        tcflag_t cflags, iflags; speed_t constant; const char* description;
    } rows[] = {
        {250000, 7, 2, 1, 0, PARODD | CSTOPB, 0, CBAUDEX, "250000 7-O-2"},
        {9600, 8, 1, 3, 0, PARODD | CMSPAR | CSTOPB, 0, B9600, "9600 8-M-5"},
        {115200, 8, 0, 4, 0, CMSPAR, 0, B115200, "115200 8-S-1"},
        {921600, 6, 2, 2, 2, CSTOPB | CRTSCTS, 0, B921600, "921600 6-E-2"},
        {9600, 5, 7, 9, 1, 0, IXON | IXOFF, B9600, "9600 5-N-1"}};
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.description);
        port_.SetComParam(0, r.rate, pty_.path.c_str());
        port_.SetFormat(r.byteSize, r.stopCode, r.parityCode);
        port_.SetFlowControl(r.flow);
        ASSERT_EQ(port_.Open(), 1) << port_.LastOpenErrorText();
        port_.SetFormat(6, 0, 4);
        termios t{};
        ASSERT_EQ(tcgetattr(pty_.slave, &t), 0);
        EXPECT_EQ((t.c_lflag & (ICANON | ECHO)) | (t.c_oflag & OPOST), 0u);  // raw
        EXPECT_EQ(std::make_tuple(t.c_cflag & kLineBits, t.c_iflag & (IXON | IXOFF | ICRNL),
                                  cfgetospeed(&t), ReadTtyRate(pty_.slave),
                                  std::string(port_.GetDescription())),
                  std::make_tuple(r.cflags, r.iflags, r.constant, unsigned(r.rate), r.description));
        port_.Close();
    }
    termios t{};
    ASSERT_TRUE(port_.Open() == 1 && tcgetattr(pty_.slave, &t) == 0);
    EXPECT_EQ(t.c_cflag & kLineBits, rows[4].cflags);  // not the space parity set while open
}

// Failed opens name the setting or device and hold nothing; a device that vanishes fails
// the open port and ends its thread.
TEST_F(Pty, FailedOpensAndAVanishedDevice) {
    qelvor::testing_support::TempFolder folder;
    const std::string plain = folder.File("plain");
    qelvor::testing_support::WriteFile(plain, "x");
    // clang-format off
    const struct Row { int number, rate; uint8_t byteSize; std::string name, want; } rows[] = {
        {0, 115200, 4, pty_.path, "invalid ByteSize 4: Linux supports 5 to 8"},
        {0, 0, 8, pty_.path, "invalid BaudRate 0"},
        {-1, 9600, 8, "", "no serial port chosen: set ComPort, or ComName with ComPort 0"},
        {1000, 9600, 8, "ignored", "/dev/ttyS999: no such device"},
        {0, 9600, 8, "ttyQelvorMissing9", "/dev/ttyQelvorMissing9: no such device"},
        {0, 9600, 8, plain, plain + ": not a serial device"}};
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.want);
        port_.SetComParam(r.number, r.rate, r.name.c_str());
        port_.SetFormat(r.byteSize, 0, 0);
        EXPECT_EQ(port_.Open() + port_.IsOpen() + port_.GetState(0) + port_.Write("abc", 3), 0);
        EXPECT_EQ(port_.LastOpenErrorText(), r.want);
    }
    EXPECT_EQ(port_.LastOpenError(), ENOTTY);
    const std::set<int> before = ThreadIds();
    CSerialPort other;  // the failed opens held nothing
    other.SetComParam(0, 9600, pty_.path.c_str());
    ASSERT_EQ(other.Open(), 1);
    EXPECT_EQ(ThreadsSince(before), 1u);
    // The pty's master closed while open stands for a pulled USB adapter.
    pty_.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return other.GetState(0) == -1; }));
    EXPECT_TRUE(NoThreadSince(before));
    EXPECT_EQ(other.IsOpen(), 1);  // stays open until the user closes it
    EXPECT_EQ(other.Write("hello", 5) + other.WaitForData(0), 0);
    EXPECT_EQ(other.LastOpenErrorText(), pty_.path +
                                             ": the device vanished (Input/output error); "
                                             "close the port and open it again once the "
                                             "device is back");
    // Reopening once the device is back: Reconnect.AVanishedSerialDevice...
}

}  // namespace
