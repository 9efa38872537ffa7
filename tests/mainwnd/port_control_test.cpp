// Opening, polling and closing the port as the window shows them: the status
// texts of every port kind, the buttons, the title and the split time-out.
#include <string>

#include "mainwnd/engine_fixture.h"

namespace qelvor::test {
namespace {

using PortControl = EngineTest;

TEST_F(PortControl, TcpServerListensShowsTheRemoteClientAndListensAgain) {
    settings.WorkMode = kWorkModeTcpServer;
    const int port = settings.IPPort = FreeTcpPort();
    const std::string listening = StrPrintf("TCP-Server(Port=%d) waiting client", port);
    Engine().OnOpenPort();
    EXPECT_EQ(view.Period(kTimerPoll), 1);
    EXPECT_FALSE(Button(kIdOpenPort).enabled);
    EXPECT_TRUE(Button(kIdClosePort).enabled);
    EXPECT_EQ(Button(kIdSetPort).caption, "Setup");
    Poll();
    EXPECT_EQ(Pane(0), listening);
    ExpectSendButtons(false, false);

    // The accept thread may still be on its way to listening.
    Socket client;
    ASSERT_TRUE(RunUntil([&] { client = Socket::Connect(port); }, [&] { return client.Valid(); }));
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode >= 1; }));
    const std::string connected = StrPrintf("TCP-Server(Port=%d) connected", port) +
                                  StrPrintf(" Remote=127.0.0.1(%d)", LocalPort(client.Fd()));
    EXPECT_EQ(Pane(0), connected);
    EXPECT_EQ(State().pane0ToolTip, connected);
    ExpectSendButtons(true, true);

    client.Reset();
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode == 0; }));
    EXPECT_EQ(Pane(0), listening);
    EXPECT_EQ(State().pane0ToolTip, "");
    ExpectSendButtons(false, false);

    // Closed in the tick after the peer left, while the new accept thread is
    // starting and the port does not yet count as open: nothing may listen on.
    client = Socket::Connect(port);
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode >= 1; }));
    client.Reset();
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode == -1; }));
    Poll();
    Engine().OnClosePort();
    EXPECT_FALSE(
        RunUntil([&] { client = Socket::Connect(port); }, [&] { return client.Valid(); }, 300));
}

TEST_F(PortControl, FailedOpensShowWhyWithSendingDisabled) {
    Socket tcpHolder = Socket::Listen();
    Socket udpHolder = Socket::Udp();
    const int freePort = FreeTcpPort();
    const std::string device = dir.File("no-such-tty");
    struct Case {
        int mode;
        int port;
        std::string status;
        std::string closed;  // pane 0 after OnClosePort
    };
    const Case cases[] = {
        {kWorkModeTcpServer, tcpHolder.Port(),
         StrPrintf("TCP-Server(Port=%d) port already in use", tcpHolder.Port()),
         StrPrintf("TCP-Server(Port=%d)", tcpHolder.Port())},
        {kWorkModeTcpClient, freePort,
         StrPrintf("TCP-Client(127.0.0.1:%d) connect failed", freePort),
         StrPrintf("TCP-Client(127.0.0.1:%d)", freePort)},
        {kWorkModeSerial, 0, "SerialPort:" + device + "Open port failed", "SerialPort:" + device},
        {kWorkModeUdp, udpHolder.Port(),
         StrPrintf("UDP(Remote(127.0.0.1:7 ),Local(%d)", udpHolder.Port()),
         StrPrintf("UDP(127.0.0.1:7,L:%d)", udpHolder.Port())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        engine.reset();
        view = RecordingView();
        settings.WorkMode = c.mode;
        settings.IPPort = c.port;
        settings.UDPLocalPort = c.port;
        settings.UDPRemotePort = 7;
        settings.ComPort = 0;
        settings.ComName = device;
        Engine().OnOpenPort();
        // A server learns from its accept thread that the port is taken.
        if (c.mode == kWorkModeTcpServer) {
            ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode == -2; }));
        } else {
            EXPECT_FALSE(Engine().IsPortOpen());
            EXPECT_FALSE(view.Running(kTimerPoll));
        }
        EXPECT_EQ(Pane(0), c.status);
        if (c.mode == kWorkModeSerial) {
            EXPECT_NE(State().pane0ToolTip, "");  // the reason
        }
        EXPECT_FALSE(Button(kIdOpenPort).enabled);
        EXPECT_TRUE(Button(kIdClosePort).enabled);
        ExpectSendButtons(false, false);

        Engine().OnClosePort();
        EXPECT_EQ(Pane(0), c.closed);
        EXPECT_TRUE(Button(kIdOpenPort).enabled);
        EXPECT_FALSE(Button(kIdClosePort).enabled);
        EXPECT_EQ(Button(kIdSetPort).caption, "PortSet");
    }
}

TEST_F(PortControl, ConnectedClientOffersAutoSendOnlyWithoutHandShake) {
    settings.HandShake = 1;
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    EXPECT_EQ(Pane(0), StrPrintf("TCP-Client(127.0.0.1:%d) connected", settings.IPPort));
    ExpectSendButtons(true, false);

    Engine().OnClosePort();
    settings.HandShake = 0;
    Engine().OnOpenPort();
    ASSERT_TRUE(listener.Accept().Valid());
    ExpectSendButtons(true, true);
}

TEST_F(PortControl, SerialPtyShowsItsLineFormatAndDeliversFrames) {
    PtyPair pty;
    ASSERT_FALSE(pty.Path().empty());
    settings.SplitStrs = "<CR><LF>";
    OpenSerial(pty.Path());
    pty.CloseSlave();
    ASSERT_TRUE(Engine().IsPortOpen());
    EXPECT_EQ(Pane(0), "SerialPort:" + pty.Path() + "(9600 8-N-1)");
    EXPECT_TRUE(Button(kIdSendData).enabled);

    view.changes = 0;
    ASSERT_TRUE(pty.Write("one\r\ntw"));
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('R').size() == 1; }));
    EXPECT_EQ(RecordsOf('R')[0], "one\r\n");
    EXPECT_TRUE(PollUntil([&] { return State().bufferText == "tw"; }));
    EXPECT_NE(view.changes & kChangedRecords, 0u);
    EXPECT_NE(view.changes & kChangedBuffer, 0u);
}

TEST_F(PortControl, UdpAnswersTheLastSenderAndNamesIt) {
    const int localPort = Socket::Udp().Port();
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
    EXPECT_EQ(peer.Receive(1), "\x06");
    EXPECT_TRUE(PollUntil([&] {
        return Pane(0) == StrPrintf("UDP(Remote(127.0.0.1:%d*),Local(%d)", peer.Port(), localPort);
    }));
}

TEST_F(PortControl, TitleIsTheFirstWordAndOptionallyThePortDescription) {
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = 9000;
    settings.TitleShowPortType = 1;
    for (int i = 0; i < 2; ++i) {  // a second update must not add to the title
        Engine().UpdateTitle();
        EXPECT_EQ(State().title, "Qelvor TCP-Client(127.0.0.1:9000)");
    }
    EXPECT_NE(view.changes & kChangedTitle, 0u);
    settings.TitleShowPortType = 0;
    Engine().UpdateTitle();
    EXPECT_EQ(State().title, "Qelvor");
}

TEST_F(PortControl, SilenceEndsAFrameOnlyWithoutSplitStringsAndCloseFlushes) {
    settings.SplitStrs = "";
    settings.InterframeDelay = 3;
    Engine().Exchange().LoadSplitConfig();
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.SendAll("abc"));
    ASSERT_TRUE(PollUntil([&] { return Engine().Exchange().Pending() == "abc"; }));
    EXPECT_EQ(State().bufferText, "abc");
    Poll(3);
    ASSERT_EQ(RecordsOf('R'), Lines{"abc"});
    EXPECT_EQ(State().bufferText, "");

    settings.SplitStrs = "<ETX>";
    Engine().Exchange().LoadSplitConfig();
    ASSERT_TRUE(peer.SendAll("def"));
    ASSERT_TRUE(PollUntil([&] { return Engine().Exchange().Pending() == "def"; }));
    Poll(20);
    EXPECT_EQ(RecordsOf('R').size(), 1u);
    Engine().OnClosePort();
    EXPECT_EQ(RecordsOf('R'), (Lines{"abc", "def"}));
    EXPECT_FALSE(view.Running(kTimerPoll));
}

TEST_F(PortControl, SetupOpensOnCancelOnlyWithAutoRestartAndSwitchesThePortKind) {
    Socket holder = Socket::Listen();
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = holder.Port();
    settings.AutoRestart = 0;
    Engine().OnSetPort(false);
    EXPECT_FALSE(Engine().IsPortOpen());
    settings.AutoRestart = 1;
    Engine().OnSetPort(false);
    EXPECT_TRUE(Engine().IsPortOpen());
    Socket accepted = holder.Accept();
    ASSERT_TRUE(accepted.Valid());

    // The dialog changed the kind to serial: the TCP connection is closed.
    settings.AutoRestart = 0;
    settings.WorkMode = kWorkModeSerial;
    settings.ComPort = 0;
    settings.ComName = "ttyQelvorMissing";
    Engine().OnSetPort(true);
    EXPECT_FALSE(Engine().IsPortOpen());
    EXPECT_EQ(State().title, "Qelvor SerialPort:ttyQelvorMissing");
    EXPECT_EQ(accepted.Receive(1, 1000), "");
}

}  // namespace
}  // namespace qelvor::test
