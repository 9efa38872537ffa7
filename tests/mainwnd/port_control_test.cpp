// The port's open, poll and close as the window shows them: status texts of
// every port kind, the buttons, the title and the split time-out.
#include <string>

#include "mainwnd/engine_fixture.h"

namespace qelvor::test {
namespace {

using PortControl = EngineTest;

std::string Fmt(const char* format, int port) {
    return StrPrintf(format, port);
}

TEST_F(PortControl, TcpServerListensThenShowsTheRemoteClient) {
    settings.WorkMode = kWorkModeTcpServer;
    settings.IPPort = FreeTcpPort();
    const int port = settings.IPPort;
    Engine().OnOpenPort();
    // Open reports "connected" until the first poll corrects it.
    EXPECT_EQ(Pane(0), Fmt("TCP-Server(Port=%d) connected", port));
    EXPECT_EQ(view.Period(kTimerPoll), 1);
    EXPECT_FALSE(Button(kIdOpenPort).enabled);
    EXPECT_TRUE(Button(kIdClosePort).enabled);
    EXPECT_EQ(Button(kIdSetPort).caption, "Setup");

    Poll();
    EXPECT_EQ(Pane(0), Fmt("TCP-Server(Port=%d) waiting client", port));
    EXPECT_FALSE(Button(kIdSendData).enabled);
    EXPECT_FALSE(Button(kIdSendFile).enabled);
    EXPECT_FALSE(Button(kIdAutoSend).enabled);

    // The accept thread may still be on its way to listening.
    Socket client;
    ASSERT_TRUE(RunUntil([&] { client = Socket::Connect(port); }, [&] { return client.Valid(); }));
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode >= 1; }));
    const std::string expected = Fmt("TCP-Server(Port=%d) connected", port) +
                                 Fmt(" Remote=127.0.0.1(%d)", LocalPort(client.Fd()));
    EXPECT_EQ(Pane(0), expected);
    EXPECT_EQ(State().pane0ToolTip, expected);
    EXPECT_TRUE(Button(kIdSendData).enabled);
    EXPECT_TRUE(Button(kIdSendFile).enabled);
    EXPECT_TRUE(Button(kIdAutoSend).enabled);

    // The client leaves: the server stays open and listens again.
    client.Reset();
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode < 1; }));
    EXPECT_FALSE(Button(kIdSendData).enabled);
    EXPECT_TRUE(Engine().IsPortOpen() || State().shownStatusCode < 0);
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode == 0; }));
    EXPECT_EQ(Pane(0), Fmt("TCP-Server(Port=%d) waiting client", port));
    EXPECT_EQ(State().pane0ToolTip, "");
}

TEST_F(PortControl, TcpServerOnAPortInUseSaysSo) {
    Socket holder = Socket::Listen();
    settings.WorkMode = kWorkModeTcpServer;
    settings.IPPort = holder.Port();
    Engine().OnOpenPort();
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode == -2; }));
    EXPECT_EQ(Pane(0), Fmt("TCP-Server(Port=%d) port already in use", holder.Port()));
    EXPECT_FALSE(Button(kIdSendData).enabled);
    // The port is still ours to close: ClosePort stays enabled.
    EXPECT_TRUE(Button(kIdClosePort).enabled);
}

TEST_F(PortControl, TcpClientThatCannotConnectKeepsOpenPortDisabled) {
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = FreeTcpPort();
    Engine().OnOpenPort();
    EXPECT_EQ(Pane(0), StrPrintf("TCP-Client(127.0.0.1:%d) connect failed", settings.IPPort));
    EXPECT_FALSE(Engine().IsPortOpen());
    EXPECT_FALSE(view.Running(kTimerPoll));
    EXPECT_FALSE(Button(kIdOpenPort).enabled);
    EXPECT_TRUE(Button(kIdClosePort).enabled);
    EXPECT_FALSE(Button(kIdSendData).enabled);
    EXPECT_FALSE(Button(kIdSendFile).enabled);
    EXPECT_FALSE(Button(kIdAutoSend).enabled);

    Engine().OnClosePort();
    EXPECT_EQ(Pane(0), StrPrintf("TCP-Client(127.0.0.1:%d)", settings.IPPort));
    EXPECT_TRUE(Button(kIdOpenPort).enabled);
    EXPECT_FALSE(Button(kIdClosePort).enabled);
    EXPECT_EQ(Button(kIdSetPort).caption, "PortSet");
}

TEST_F(PortControl, ConnectedClientEnablesAutoSendOnlyWithoutHandShake) {
    settings.HandShake = 1;
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    EXPECT_EQ(Pane(0), StrPrintf("TCP-Client(127.0.0.1:%d) connected", settings.IPPort));
    EXPECT_TRUE(Button(kIdSendData).enabled);
    EXPECT_TRUE(Button(kIdSendFile).enabled);
    EXPECT_FALSE(Button(kIdAutoSend).enabled);

    // Without auto-response the same connection offers auto-send.
    Engine().OnClosePort();
    settings.HandShake = 0;
    Engine().OnOpenPort();
    Socket second = listener.Accept();
    ASSERT_TRUE(second.Valid());
    EXPECT_TRUE(Button(kIdAutoSend).enabled);
}

TEST_F(PortControl, MissingSerialDeviceFailsWithTheDescription) {
    settings.WorkMode = kWorkModeSerial;
    settings.ComPort = 0;
    settings.ComName = dir.File("no-such-tty");
    Engine().OnOpenPort();
    EXPECT_EQ(Pane(0), "SerialPort:" + settings.ComName + "Open port failed");
    EXPECT_FALSE(State().pane0ToolTip.empty());  // the reason of the failure
    EXPECT_FALSE(Engine().IsPortOpen());
    EXPECT_FALSE(Button(kIdOpenPort).enabled);
    EXPECT_TRUE(Button(kIdClosePort).enabled);
}

TEST_F(PortControl, SerialPtyShowsItsLineFormatAndDeliversFrames) {
    PtyPair pty;
    ASSERT_FALSE(pty.Path().empty());
    settings.WorkMode = kWorkModeSerial;
    settings.ComPort = 0;
    settings.ComName = pty.Path();
    settings.BaudRate = 9600;
    settings.ByteSize = 8;
    settings.Parity = 0;
    settings.StopBit = 0;
    settings.SplitStrs = "<CR><LF>";
    Engine().OnOpenPort();
    pty.CloseSlave();
    ASSERT_TRUE(Engine().IsPortOpen());
    EXPECT_EQ(Pane(0), "SerialPort:" + pty.Path() + "(9600 8-N-1)");
    EXPECT_TRUE(Button(kIdSendData).enabled);

    ASSERT_TRUE(pty.Write("one\r\ntw"));
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('R').size() == 1; }));
    EXPECT_EQ(RecordsOf('R')[0], "one\r\n");
    EXPECT_EQ(State().bufferText, "tw");
}

TEST_F(PortControl, UdpShowsItsDescriptionAndTheLastSender) {
    Socket probe = Socket::Udp();
    const int localPort = probe.Port();
    probe.Reset();
    settings.WorkMode = kWorkModeUdp;
    settings.UDPLocalPort = localPort;
    settings.UDPRemotePort = -1;
    settings.HandShake = 1;
    settings.SplitStrs = "<ENQ>";
    settings.RespondStrs = "<ACK>";
    Engine().Exchange().LoadSplitConfig();
    Engine().OnOpenPort();
    ASSERT_TRUE(Engine().IsPortOpen());
    EXPECT_EQ(Pane(0), StrPrintf("UDP(Remote(127.0.0.1:-1 ),Local(%d)", localPort));
    EXPECT_TRUE(Button(kIdSendData).enabled);

    Socket peer = Socket::Udp();
    ASSERT_TRUE(peer.SendTo("\x05", localPort));
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('R').size() == 1; }));
    EXPECT_EQ(peer.Receive(1), "\x06");  // answered to the last sender
    ASSERT_TRUE(PollUntil([&] {
        return Pane(0) == StrPrintf("UDP(Remote(127.0.0.1:%d*),Local(%d)", peer.Port(), localPort);
    }));
}

TEST_F(PortControl, UdpBindFailureShowsTheDescriptionWithSendingDisabled) {
    Socket holder = Socket::Udp();
    settings.WorkMode = kWorkModeUdp;
    settings.UDPLocalPort = holder.Port();
    settings.UDPRemotePort = 7;
    Engine().OnOpenPort();
    EXPECT_FALSE(Engine().IsPortOpen());
    EXPECT_EQ(Pane(0), StrPrintf("UDP(Remote(127.0.0.1:7 ),Local(%d)", holder.Port()));
    EXPECT_FALSE(Button(kIdSendData).enabled);
    EXPECT_FALSE(view.Running(kTimerPoll));
}

TEST_F(PortControl, TitleTakesTheFirstWordAndThePortDescription) {
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = 9000;
    settings.TitleShowPortType = 1;
    Engine().UpdateTitle();
    EXPECT_EQ(State().title, "Qelvor TCP-Client(127.0.0.1:9000)");
    Engine().UpdateTitle();
    EXPECT_EQ(State().title, "Qelvor TCP-Client(127.0.0.1:9000)");
    EXPECT_NE(view.changes & kChangedTitle, 0u);

    settings.TitleShowPortType = 0;
    Engine().UpdateTitle();
    EXPECT_EQ(State().title, "Qelvor");
}

TEST_F(PortControl, SilenceEndsAFrameOnlyWithoutSplitStrings) {
    settings.SplitStrs = "";
    settings.InterframeDelay = 3;
    Engine().Exchange().LoadSplitConfig();
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    ASSERT_TRUE(peer.SendAll("abc"));
    ASSERT_TRUE(PollUntil([&] { return Engine().Exchange().Pending() == "abc"; }));
    EXPECT_EQ(State().bufferText, "abc");
    Poll(3);
    ASSERT_EQ(RecordsOf('R'), std::vector<std::string>{"abc"});
    EXPECT_EQ(State().bufferText, "");

    // With a split string configured, silence never ends a frame.
    settings.SplitStrs = "<ETX>";
    Engine().Exchange().LoadSplitConfig();
    ASSERT_TRUE(peer.SendAll("def"));
    ASSERT_TRUE(PollUntil([&] { return Engine().Exchange().Pending() == "def"; }));
    Poll(20);
    EXPECT_EQ(RecordsOf('R').size(), 1u);
    // Closing records what is still pending.
    Engine().OnClosePort();
    EXPECT_EQ(RecordsOf('R'), (std::vector<std::string>{"abc", "def"}));
    EXPECT_EQ(State().bufferText, "");
    EXPECT_FALSE(view.Running(kTimerPoll));
}

TEST_F(PortControl, ZeroInterframeDelayNeverFlushes) {
    settings.SplitStrs = "";
    settings.InterframeDelay = 0;
    Engine().Exchange().LoadSplitConfig();
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.SendAll("xyz"));
    ASSERT_TRUE(PollUntil([&] { return Engine().Exchange().Pending() == "xyz"; }));
    Poll(200);
    EXPECT_TRUE(RecordsOf('R').empty());
}

TEST_F(PortControl, CancelledSetupStillOpensWithAutoRestart) {
    Socket holder = Socket::Listen();
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = holder.Port();
    settings.AutoRestart = 0;
    Engine().OnSetPort(false);
    EXPECT_FALSE(Engine().IsPortOpen());

    settings.AutoRestart = 1;
    Engine().OnSetPort(false);
    EXPECT_TRUE(Engine().IsPortOpen());
    EXPECT_EQ(view.Period(kTimerPoll), 1);
}

TEST_F(PortControl, AcceptedSetupSwitchesThePortKindAndRetitles) {
    Socket holder = Socket::Listen();
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = holder.Port();
    settings.AutoRestart = 0;
    Engine().OnOpenPort();
    ASSERT_TRUE(Engine().IsPortOpen());

    // The dialog changed the kind to serial: the TCP port is closed.
    settings.WorkMode = kWorkModeSerial;
    settings.ComPort = 0;
    settings.ComName = "ttyQelvorMissing";
    Engine().OnSetPort(true);
    EXPECT_FALSE(Engine().IsPortOpen());
    EXPECT_EQ(State().title, "Qelvor SerialPort:ttyQelvorMissing");
    // The connection the client made is closed from our side.
    Socket accepted = holder.Accept();
    ASSERT_TRUE(accepted.Valid());
    EXPECT_EQ(accepted.Receive(1, 1000), "");
}

}  // namespace
}  // namespace qelvor::test
