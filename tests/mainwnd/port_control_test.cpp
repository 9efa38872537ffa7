// Opening, polling and closing the port as the window shows them: the status
// texts and their reasons, the buttons, the title, where frames end, a flooded
// serial line, reconnecting a lost port, and the modem control lines.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "mainwnd/control_line_watch.h"
#include "mainwnd/engine_fixture.h"
#include "support/pty_pair.h"

namespace qelvor::test {
namespace {

using PortControl = EngineTest;

TEST_F(PortControl, TcpServerServesClientsInTurnAndKeepsTheirBytesApart) {
    settings.SplitStrs = "<CR><LF>";
    Engine().Exchange().LoadSplitConfig();
    const int port = FreeTcpPort();
    const std::string listening = StrPrintf("TCP-Server(Port=%d) waiting client", port);
    OpenTcp(kWorkModeTcpServer, port);
    Poll();
    EXPECT_EQ(Pane(0), listening);
    ExpectSendButtons(false, false);
    Socket client = Socket::Connect(port);  // listening means a client gets in at once
    ASSERT_TRUE(client.SendAll("abc"));
    ASSERT_TRUE(PollUntil([&] { return Engine().Exchange().Pending() == "abc"; }));
    Poll();
    const std::string connected = StrPrintf("TCP-Server(Port=%d) connected", port) +
                                  StrPrintf(" Remote=127.0.0.1(%d)", client.Port());
    EXPECT_EQ(Pane(0), connected);
    EXPECT_EQ(State().pane0ToolTip, connected);
    ExpectSendButtons(true, true);
    // What a client leaves pending is its own record when it goes.
    client.Reset();
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode == 0; }));
    EXPECT_EQ(RecordsOf('R'), Lines{"abc"});
    EXPECT_EQ(Pane(0) + State().pane0ToolTip, listening);
    ExpectSendButtons(false, false);
    client = Socket::Connect(port);
    ASSERT_TRUE(client.SendAll("def\r\n"));
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('R').size() == 2; }));
    EXPECT_EQ(RecordsOf('R')[1], "def\r\n");
    // Closed in the tick after the peer left, while the server starts to
    // listen again: nothing may listen on.
    client.Reset();
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode == -1; }));
    Poll();
    Engine().OnClosePort();
    EXPECT_FALSE(Socket::Connect(port).Valid());
}

TEST_F(PortControl, FailedOpensKeepTheirStatusAndSayWhyInTheToolTip) {
    Socket udpHolder = Socket::Udp();
    const int udpTaken = udpHolder.Port(), free = FreeTcpPort();
    settings.ComPort = 0;
    settings.ComName = dir.File("no-such-tty");
    const std::string& device = settings.ComName;
    struct Case {
        int mode, port, remote;
        std::string address, status, tip;  // tip: how the tool tip starts
    } const cases[] = {
        {kWorkModeTcpServer, 70000, 7, "127.0.0.1", "TCP-Server",
         "IPPort=70000 is not a port number (1..65535)"},
        {kWorkModeTcpClient, free, 7, "127.0.0.1",
         StrPrintf("TCP-Client(127.0.0.1:%d) connect failed", free),
         StrPrintf("connection refused by 127.0.0.1:%d", free)},
        {kWorkModeTcpClient, free, 7, "no.such.host",
         StrPrintf("TCP-Client(no.such.host:%d) connect failed", free),
         "cannot resolve SvrIPAddr=no.such.host"},
        {kWorkModeSerial, 0, 7, "127.0.0.1", "SerialPort:" + device + "Open port failed",
         device + ": no such device"},
        {kWorkModeUdp, udpTaken, 7, "127.0.0.1",
         StrPrintf("UDP(Remote(127.0.0.1:7 ),Local(%d)", udpTaken),
         StrPrintf("UDP port %d already in use by another program", udpTaken)},
        {kWorkModeUdp, 70000, -1, "127.0.0.1", "UDP(Remote(127.0.0.1:-1 ),Local(70000)",
         "UDPLocalPort=70000 is not a port number (1..65535)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        engine.reset();
        view = RecordingView();
        settings.WorkMode = c.mode;
        settings.IPPort = settings.UDPLocalPort = c.port;
        settings.UDPRemotePort = c.remote;
        settings.SvrIPAddr = c.address;
        Engine().OnOpenPort();
        ASSERT_TRUE(PollWhileConnecting());
        EXPECT_EQ(Pane(0), c.status);
        EXPECT_EQ(State().pane0ToolTip.rfind(c.tip, 0), 0u) << State().pane0ToolTip;
        EXPECT_FALSE(view.Running(kTimerPoll) || Button(kIdOpenPort).enabled);
        EXPECT_TRUE(Button(kIdClosePort).enabled);
        EXPECT_EQ(Button(kIdSetPort).caption, "Setup");
        ExpectSendButtons(false, false);
        Engine().OnClosePort();
        EXPECT_EQ(Pane(0) + State().pane0ToolTip, settings.DescribePort());
        EXPECT_TRUE(Button(kIdOpenPort).enabled);
        EXPECT_EQ(Button(kIdSetPort).caption, "PortSet");
    }
}

// A TCP client's open never waits for its peer: it returns showing
// "connecting" while a peer that drops the request keeps it under way, and a
// close ends the connect. (A refused connect: FailedOpensKeepTheirStatus.)
TEST_F(PortControl, ClientConnectNeverHoldsTheOpenAndACloseEndsIt) {
    loopback::DroppingListener full;
    OpenTcp(kWorkModeTcpClient, full.Port());
    Poll(20);
    EXPECT_EQ(Pane(0), StrPrintf("TCP-Client(127.0.0.1:%d) connecting", full.Port()));
    EXPECT_TRUE(Engine().IsPortOpen() && view.Running(kTimerPoll));
    ExpectSendButtons(false, false);
    Engine().OnClosePort();
    Poll();
    EXPECT_FALSE(Engine().IsPortOpen() || view.Running(kTimerPoll));
}

TEST_F(PortControl, TakenServerPortShowsOneStatusUntilFreeThenListensByItself) {
    Socket holder = Socket::Listen();
    const int port = holder.Port();
    OpenTcp(kWorkModeTcpServer, port);
    Lines shown{Pane(0)};  // no flicker between "in use" and "waiting" at each retry
    for (int i = 0; i < 200; ++i) {
        Poll();
        if (Pane(0) != shown.back()) shown.push_back(Pane(0));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(shown, (Lines{StrPrintf("TCP-Server(Port=%d) connected", port),
                            StrPrintf("TCP-Server(Port=%d) port already in use", port)}));
    EXPECT_EQ(State().pane0ToolTip, StrPrintf("port %d already in use by another program", port));
    ExpectSendButtons(false, false);
    holder.Reset();
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode == 0; }));  // waiting client
    EXPECT_TRUE(Socket::Connect(port).Valid());
}

TEST_F(PortControl, ClientWithHandShakeOffersNoAutoSendAndSilenceEndsFramesWithoutSplitStrings) {
    settings.HandShake = 1;
    settings.SplitStrs = "";
    settings.InterframeDelay = 3;
    Engine().Exchange().LoadSplitConfig();
    Socket peer = ConnectAsClient();
    ExpectSendButtons(true, false);
    ASSERT_TRUE(peer.SendAll("abc"));
    ASSERT_TRUE(PollUntil([&] { return State().bufferText == "abc"; }));
    EXPECT_NE(view.changes & kChangedBuffer, 0u);
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
}

TEST_F(PortControl, SetupOpensOnCancelOnlyWithAutoRestartAndSwitchesKindAndTitle) {
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
    EXPECT_EQ(accepted.Receive(1, 1000), "");
    for (int show : {1, 1, 0}) {  // a second update must not add to the title
        settings.TitleShowPortType = show;
        Engine().UpdateTitle();
        EXPECT_EQ(State().title, show ? "Qelvor SerialPort:ttyQelvorMissing" : "Qelvor");
    }
    EXPECT_NE(view.changes & kChangedTitle, 0u);
}

// A full pty holds its writer back where a line without flow control drops
// bytes, so the stall lasts until the device sent far more than the kernel
// holds (at least 300 ms); every byte must then be recorded, in order.
TEST_F(PortControl, EightMiBThroughAStalledPollAreRecordedWholeAndInOrder) {
    testing_support::PtyDevice device;
    settings.SplitStrs = "<CR><LF>";
    OpenSerial(device.path);
    std::string stream, received;
    for (int i = 0; stream.size() < (8u << 20); ++i)
        stream += StrPrintf("%08d:", i) + std::string(89, static_cast<char>('A' + i % 26)) + "\r\n";
    std::atomic<size_t> fed{0};
    std::thread feeder([&] {
        for (size_t done = 0; done < stream.size() && device.Feed(stream.substr(done, 65536));)
            fed = done = std::min(done + 65536, stream.size());
    });
    auto pollAndCollect = [&] {
        Poll();
        for (const CMsgRecord& record : Engine().Exchange().Records())
            if (record.Type() == 'R') received += record.Data();
        Engine().OnClearAllData();
    };
    RunUntil(
        pollAndCollect, [&] { return fed >= stream.size() / 2; }, 20000);
    const size_t before = fed;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(RunUntil([] {}, [&] { return fed >= std::min(before + (1u << 20), stream.size()); },
                         10000));
    RunUntil(
        pollAndCollect, [&] { return received.size() >= stream.size(); }, 20000);
    feeder.join();
    EXPECT_TRUE(received == stream) << received.size() << " of " << stream.size() << " bytes";
}

// A listener on 127.0.0.1:port (0: any) as a restarting server makes it:
// its closed connections in TIME_WAIT never keep it from the same port.
Socket ReusableListener(int port) {
    Socket listening(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int on = 1;
    setsockopt(listening.Fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in self = loopback::Address(port);
    bind(listening.Fd(), reinterpret_cast<sockaddr*>(&self), sizeof self);
    return listen(listening.Fd(), 4) == 0 ? std::move(listening) : Socket();
}

using std::chrono::milliseconds;
using StreamPort::ControlRequest;
namespace sp = StreamPort;

class Reconnect : public EngineTest {
  protected:
    // Polls until pane 0 shows the attempt, or the status code, for 4 s.
    bool PollUntilAttempt(int attempt, int limitMs = 4000) {
        const std::string text =
            StrPrintf(LoadStr(kStrReconnecting), settings.DescribePort().c_str(), attempt);
        return RunUntil([this] { Poll(); }, [&] { return Pane(0) == text; }, limitMs);
    }
    bool PollUntilCode(int code) {
        return RunUntil([this] { Poll(); }, [&] { return State().shownStatusCode == code; }, 4000);
    }
};

TEST_F(Reconnect, ClientIsReconnectedOnlyWithTheSettingWhenItsServerComesBack) {
    listener = ReusableListener(0);
    const int port = listener.Port();
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = port;
    for (const int autoReconnect : {0, 1}) {
        settings.AutoReconnect = autoReconnect;
        Engine().OnOpenPort();
        Socket peer = listener.Accept();
        ASSERT_TRUE(PollWhileConnecting() && peer.Valid());
        listener.Reset();  // the server goes away
        peer.Reset();
        ASSERT_TRUE(PollUntilCode(-1));
        // The first attempt, due 2 s after the loss, is refused: the server is away.
        EXPECT_EQ(PollUntilAttempt(1, autoReconnect ? 4000 : 2500), autoReconnect == 1);
        listener = ReusableListener(port);
        ASSERT_TRUE(listener.Valid());
    }
    ASSERT_TRUE(PollUntilCode(1));
    EXPECT_EQ(RecordsOf('I'), Lines{settings.DescribePort() + " reconnected (attempt 2)"});
    EXPECT_EQ(State().reconnectAttempts, 0);
    Socket back = listener.Accept();
    ASSERT_TRUE(back.SendAll("up\r\n"));
    EXPECT_TRUE(PollUntil([&] { return RecordsOf('R') == Lines{"up\r\n"}; }));
}

// The device is named by a link, as /dev/serial/by-id names an adapter:
// it vanishes, and comes back as another pty behind the same name. A pty has
// no modem lines: with DtrOnOpen and RtsOnOpen 0 or 1 it opens, shows them
// "not available", refuses the commands and keeps receiving.
TEST_F(Reconnect, AVanishedSerialDeviceIsReopenedWhenItsNameIsBack) {
    settings.AutoReconnect = 1;
    settings.DtrOnOpen = settings.RtsOnOpen = 0;
    testing_support::PtyDevice first, second;
    const std::string link = dir.File("adapter");
    ASSERT_EQ(symlink(first.path.c_str(), link.c_str()), 0);
    OpenSerial(link);
    first.CloseMaster();
    ASSERT_TRUE(PollUntilCode(-1));
    ASSERT_TRUE(PollUntilAttempt(1));
    ASSERT_EQ(unlink(link.c_str()), 0);
    ASSERT_EQ(symlink(second.path.c_str(), link.c_str()), 0);
    settings.DtrOnOpen = settings.RtsOnOpen = 1;
    ASSERT_TRUE(PollUntilCode(1)) << State().pane0ToolTip;
    EXPECT_TRUE(State().controlLines.shown && !State().controlLines.available);
    EXPECT_FALSE(Engine().SetDtr(false) || Engine().SetRts(false) || Engine().SendBreak());
    ASSERT_TRUE(second.Feed("B\r\n"));
    EXPECT_TRUE(PollUntil([&] { return RecordsOf('R') == Lines{"B\r\n"}; }));
    EXPECT_EQ(RecordsOf('I').size(), 1u) << "only the reconnection, no note of the lines";
    Engine().OnClosePort();
    EXPECT_FALSE(State().controlLines.shown);
}

// A port (a UDP port never opened, for the rest of the interface) whose
// modem lines are the levels the test sets, as a device would report them.
class ScriptedLinesPort : public sp::CUDPPort {
  public:
    int ControlLines(ControlRequest request, int& lines) override {
        requests.push_back(request);
        if (request == ControlRequest::GetLines) lines = levels;
        return sp::kLinesDone;
    }
    int levels = 0;
    std::vector<ControlRequest> requests;
};

// Inputs are read at most every 50 ms and their changes recorded; outputs are
// recorded as the program sets them; a break ends 250 ms later at a tick, or
// on the line first when the watch stops during it.
TEST(LineWatch, InputChangesEvery50MsOutputsAsSetAndABreakFor250Ms) {
    CComSetting settings;
    RecordingView view;
    CEngineContext ctx{settings, view};
    CControlLineWatch watch{ctx};
    ScriptedLinesPort port;
    const ControlLineState& lines = ctx.state.controlLines;
    const auto t0 = CControlLineWatch::Clock::now();
    port.levels = sp::kLineCts | sp::kLineDtr;
    watch.Start(port, t0);
    EXPECT_TRUE(lines.shown && lines.available);
    port.levels = sp::kLineDsr | sp::kLineDcd | sp::kLineRi;
    watch.OnIdleTick(t0 + milliseconds(49));
    EXPECT_EQ(port.requests.size(), 1u);  // too soon: not read
    watch.OnIdleTick(t0 + milliseconds(50));
    EXPECT_EQ(lines.lines, port.levels);
    EXPECT_NE(view.changes & kChangedLines, 0u);
    EXPECT_TRUE(watch.SetDtr(false) && watch.SetRts(true));
    EXPECT_EQ(lines.lines, port.levels | sp::kLineRts);
    EXPECT_TRUE(watch.SendBreak(t0 + milliseconds(100)));
    EXPECT_FALSE(watch.SendBreak(t0 + milliseconds(110)));  // one at a time
    watch.OnTick(t0 + milliseconds(349));
    EXPECT_TRUE(lines.breakOn);
    watch.OnTick(t0 + milliseconds(350));
    watch.OnTick(t0 + milliseconds(360));
    // The levels found at open are no change; a DTR changed by the driver
    // is shown, not recorded.
    Lines records;
    for (const CMsgRecord& record : ctx.exchange.Records())
        records.push_back(std::string(1, record.Type()) + record.Data());
    EXPECT_EQ(records, (Lines{"ICTS off", "IDSR on", "IDCD on", "IRI on", "IDTR off", "IRTS on",
                              "IBreak on", "IBreak off"}));
    EXPECT_TRUE(watch.SendBreak(t0 + milliseconds(400)));
    watch.Stop();
    EXPECT_FALSE(watch.SetRts(false));  // stopped: the port is not asked
    EXPECT_FALSE(lines.shown || lines.breakOn);
    EXPECT_EQ(std::count(port.requests.begin(), port.requests.end(), ControlRequest::BreakOff), 2);
    EXPECT_EQ(port.requests.back(), ControlRequest::BreakOff);
}

}  // namespace
}  // namespace qelvor::test
