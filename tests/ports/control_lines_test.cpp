#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <tuple>

#include "ports/port_test_util.h"
#include "ports/serial_port.h"
#include "ports/tcp_port.h"
#include "ports/udp_port.h"
#include "support/loopback.h"
#include "support/pty_pair.h"

namespace {

using StreamPort::ControlRequest;
using StreamPort::CStreamPort;

constexpr ControlRequest kAllRequests[] = {
    ControlRequest::GetLines, ControlRequest::SetDtr,   ControlRequest::ClearDtr,
    ControlRequest::SetRts,   ControlRequest::ClearRts, ControlRequest::BreakOn,
    ControlRequest::BreakOff,
};

// Every request gets the same answer and leaves the caller's bits alone.
void ExpectEveryRequestAnswers(CStreamPort& port, int expected, const char* what) {
    for (const ControlRequest request : kAllRequests) {
        int lines = 0x55;
        EXPECT_EQ(port.ControlLines(request, lines), expected)
            << what << " request " << static_cast<int>(request);
        EXPECT_EQ(lines, 0x55) << what;
    }
}

TEST(ControlLines, APtyHasNoModemLinesAndAClosedSerialPortFails) {
    qelvor::testing_support::PtyDevice pty;
    StreamPort::CSerialPort port;
    port.SetComParam(0, 9600, pty.path.c_str());
    ExpectEveryRequestAnswers(port, StreamPort::kLinesFailed, "closed");
    ASSERT_EQ(port.Open(), 1);
    ExpectEveryRequestAnswers(port, StreamPort::kLinesNotAvailable, "pty");
    // The refused requests broke nothing: bytes still pass.
    ASSERT_TRUE(pty.Feed("ok"));
    std::string got;
    EXPECT_TRUE(porttest::WaitUntil([&] {
        char buf[4];
        const int n = port.Read(buf, sizeof buf);
        got.append(buf, static_cast<size_t>(n > 0 ? n : 0));
        return got == "ok";
    }));
    port.Close();
    ExpectEveryRequestAnswers(port, StreamPort::kLinesFailed, "closed again");
}

TEST(ControlLines, NetworkPortsAnswerNotAvailableOpenOrNot) {
    StreamPort::CTCPPort tcp;
    StreamPort::CUDPPort udp;
    ExpectEveryRequestAnswers(tcp, StreamPort::kLinesNotAvailable, "tcp closed");
    ExpectEveryRequestAnswers(udp, StreamPort::kLinesNotAvailable, "udp closed");
    loopback::Peer listener = loopback::Peer::Bound(SOCK_STREAM);
    tcp.SetNetParam(1, listener.Port(), htonl(INADDR_LOOPBACK));
    ASSERT_EQ(tcp.Open(), 1);
    ASSERT_TRUE(porttest::WaitUntil([&] { return tcp.PollConnect() == 1; }));
    ExpectEveryRequestAnswers(tcp, StreamPort::kLinesNotAvailable, "tcp connected");
    udp.SetNetParam(0, listener.Port(), htonl(INADDR_LOOPBACK));
    ASSERT_EQ(udp.Open(), 1);
    ExpectEveryRequestAnswers(udp, StreamPort::kLinesNotAvailable, "udp open");
}

// Levels a pty cannot take never stop the open.
class LinesAtOpen : public testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(LinesAtOpen, OpenSucceedsOnADeviceWithoutModemLines) {
    qelvor::testing_support::PtyDevice pty;
    StreamPort::CSerialPort port;
    port.SetComParam(0, 9600, pty.path.c_str());
    port.SetLinesAtOpen(std::get<0>(GetParam()), std::get<1>(GetParam()));
    ASSERT_EQ(port.Open(), 1) << port.LastOpenErrorText();
    EXPECT_EQ(port.GetState(0), 1);
    EXPECT_EQ(port.WriteString("hi"), 2);
    char buf[4];
    ASSERT_TRUE(porttest::WaitUntil([&] { return read(pty.master, buf, sizeof buf) == 2; }));
}

INSTANTIATE_TEST_SUITE_P(DtrRts, LinesAtOpen, testing::Combine(testing::Bool(), testing::Bool()));

}  // namespace
