// The port control over real TCP connections and ptys: open, poll, close, statuses, reconnects.
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "support/engine_fixture.h"
#include "support/pty_pair.h"

namespace qelvor::test {
namespace {

using PortControl = EngineTest;

TEST_F(PortControl, TcpServerServesClientsInTurnAndKeepsTheirBytesApart) {
    settings.SplitStrs = "<CR><LF>";
    settings.RecordLinkEvents = 1;
    Engine().Exchange().LoadSplitConfig();
    const int port = loopback::FreePort(SOCK_STREAM);
    const std::string listening = StrPrintf("TCP-Server(Port=%d) waiting client", port);
    OpenTcp(kWorkModeTcpServer, port);
    Poll();
    EXPECT_EQ(Pane(0), listening);
    ExpectSendButtons(false, false);
    EXPECT_EQ(Button(kIdSendData).toolTip, "Not connected: nothing can be sent yet");
    // listening means a client gets in at once
    Socket client = Socket::Connect(port, 4096);
    ASSERT_TRUE(client.SendAll("abc"));
    ASSERT_TRUE(PollUntil([&] { return Engine().Exchange().Pending() == "abc"; }));
    Poll();
    const std::string connected = StrPrintf("TCP-Server(Port=%d) connected", port) +
                                  StrPrintf(" Remote=127.0.0.1(%d)", client.Port());
    EXPECT_EQ(Pane(0) + State().pane0ToolTip, connected + connected);
    ExpectSendButtons(true, true);
    // This client reads nothing: most of a long send waits for it.
    const size_t longSend = 16 << 20;
    EXPECT_EQ(Engine().Exchange().SendBytes(std::string(longSend, 'x'), true), int(longSend));
    ASSERT_FALSE(Engine().Exchange().Outgoing().Empty());
    // A leaving client's pending bytes are its record; bytes waiting for it never go to the next.
    const std::string first = StrPrintf("client 127.0.0.1:%d ", client.Port());
    client.Reset();
    ASSERT_TRUE(PollUntilCode(0));
    EXPECT_EQ(RecordsOf('R'), Lines{"abc"});
    EXPECT_TRUE(Engine().Exchange().Outgoing().Empty());
    EXPECT_EQ(Pane(0) + State().pane0ToolTip, listening);
    ExpectSendButtons(false, false);
    client = Socket::Connect(port);
    ASSERT_TRUE(PollUntilCode(1));
    EXPECT_EQ(client.Receive(1, 50), "");
    const std::string second = StrPrintf("client 127.0.0.1:%d ", client.Port());
    // Closed in the tick after the peer left, as it listens again: nothing listens on.
    client.Reset();
    ASSERT_TRUE(PollUntilCode(-1));
    Poll();
    Engine().OnClosePort();
    EXPECT_FALSE(Socket::Connect(port).Valid());
    // Each client's arrival and departure, around the note of the bytes not sent.
    Lines info = RecordsOf('I');
    ASSERT_EQ(info.size(), 5u);
    EXPECT_TRUE(info[2].ends_with(StrPrintf(" of %zu bytes were not sent", longSend))) << info[2];
    info.erase(info.begin() + 2);
    EXPECT_EQ(info, (Lines{first + "connected", first + "disconnected", second + "connected",
                           second + "disconnected"}));
}

// This process's socket whose peer is the given port on 127.0.0.1; -1 if none.
int SocketServing(int peerPort) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) == 0 &&
            peer.sin_family == AF_INET && ntohs(peer.sin_port) == peerPort)
            return fd;
    }
    return -1;
}

// A silent client (or a half-open cable) is probed by keep-alive.
TEST_F(PortControl, SilentClientIsProbedAndWithIdleCloseGivesUpTheServersSlot) {
    settings.IdleCloseSeconds = 1;
    const int port = loopback::FreePort(SOCK_STREAM);
    OpenTcp(kWorkModeTcpServer, port);
    Socket silent = Socket::Connect(port);
    ASSERT_TRUE(PollUntil([&] {
        return Engine().CurrentPort().GetState(0) == StreamPort::CTCPPort::kConnected &&
               State().shownStatusCode == 1;
    }));
    const int served = SocketServing(silent.Port());
    ASSERT_GE(served, 0);
    const int names[][2] = {{SOL_SOCKET, SO_KEEPALIVE},
                            {IPPROTO_TCP, TCP_KEEPIDLE},
                            {IPPROTO_TCP, TCP_KEEPINTVL},
                            {IPPROTO_TCP, TCP_KEEPCNT}};
    std::vector<int> options(4, -1);
    for (socklen_t i = 0, len = sizeof(int); i < 4; ++i)
        getsockopt(served, names[i][0], names[i][1], &options[i], &len);
    EXPECT_EQ(options, (std::vector<int>{1, 10, 5, 3}));
    ASSERT_TRUE(PollUntilCode(0));
    EXPECT_EQ(RecordsOf('I'), Lines{"nothing received for 1 s: connection closed"});
    pollfd closed{silent.Fd(), POLLIN, 0};
    char byte;
    EXPECT_TRUE(poll(&closed, 1, 1000) == 1 && recv(silent.Fd(), &byte, 1, MSG_DONTWAIT) == 0)
        << "the server's end is still open";
    Socket next = Socket::Connect(port);
    ASSERT_TRUE(next.SendAll("x"));
    EXPECT_TRUE(PollUntil([&] { return Engine().Exchange().Pending() == "x"; }));
}

TEST_F(PortControl, FailedOpensKeepTheirStatusAndSayWhyInTheToolTip) {
    Socket udpHolder = Socket::Udp();
    const int udpTaken = udpHolder.Port(), free = loopback::FreePort(SOCK_STREAM);
    // A missing serial device: qelvor-cli's RunsThatEndByThemselves, through this engine.
    // clang-format off
    struct Case { int mode, port, remote; std::string address, status, tip; } const cases[] = {
        {kWorkModeTcpServer, 70000, 7, "127.0.0.1", "TCP-Server", "IPPort=70000 is not a port number (1..65535)"},
        {kWorkModeTcpClient, free, 7, "127.0.0.1", StrPrintf("TCP-Client(127.0.0.1:%d) connect failed", free),
         StrPrintf("connection refused by 127.0.0.1:%d", free)},
        {kWorkModeTcpClient, free, 7, "no.such.host", StrPrintf("TCP-Client(no.such.host:%d) connect failed", free),
         "cannot resolve SvrIPAddr=no.such.host"},
        {kWorkModeUdp, udpTaken, 7, "127.0.0.1", StrPrintf("UDP(Remote(127.0.0.1:7 ),Local(%d)", udpTaken),
         StrPrintf("UDP port %d already in use by another program", udpTaken)},
        {kWorkModeUdp, 70000, -1, "127.0.0.1", "UDP(Remote(127.0.0.1:-1 ),Local(70000)",
         "UDPLocalPort=70000 is not a port number (1..65535)"}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        engine.reset();
        view = RecordingView();
        std::tie(settings.WorkMode, settings.IPPort, settings.UDPLocalPort, settings.UDPRemotePort,
                 settings.SvrIPAddr) = std::tie(c.mode, c.port, c.port, c.remote, c.address);
        Engine().OnOpenPort();
        ASSERT_TRUE(PollWhileConnecting());
        EXPECT_EQ(Pane(0), c.status);
        EXPECT_EQ(State().pane0ToolTip.rfind(c.tip, 0), 0u) << State().pane0ToolTip;
        EXPECT_EQ(std::make_tuple(view.Running(kTimerPoll), Button(kIdOpenPort).enabled,
                                  Button(kIdClosePort).enabled, Button(kIdSetPort).caption),
                  std::make_tuple(false, false, true, "Setup"));
        ExpectSendButtons(false, false);
        Engine().OnClosePort();
        EXPECT_EQ(Pane(0) + State().pane0ToolTip, settings.DescribePort());
    }
}

// "connecting" shows while a peer that drops the request keeps the connect under way.
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
    holder.Reset();
    ASSERT_TRUE(PollUntilCode(0));  // waiting client
    EXPECT_TRUE(Socket::Connect(port).Valid());
}

TEST_F(PortControl, ClientWithHandShakeOffersNoAutoSendAndSilenceEndsFramesWithoutSplitStrings) {
    std::tie(settings.HandShake, settings.SplitStrs, settings.InterframeDelay) =
        std::make_tuple(1, "", 3);
    Engine().Exchange().LoadSplitConfig();
    Socket peer = ConnectAsClient();
    ExpectSendButtons(true, false);
    // Each disabled button says why; the enabled ones say nothing.
    EXPECT_EQ(Button(kIdAutoSend).toolTip + "|" + Button(kIdOpenPort).toolTip + "|" +
                  Button(kIdSendData).toolTip,
              "AutoSend is off while Response answers the frames|The port is open: ClosePort "
              "closes it|");
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

// A change to serial closes the TCP connection.
TEST_F(PortControl, SetupOpensOnCancelOnlyWithAutoRestartAndSwitchesKindAndTitle) {
    Socket holder = Socket::Listen();
    settings.IPPort = holder.Port();
    settings.WorkMode = kWorkModeTcpClient;
    for (int restart : {0, 1}) {
        settings.AutoRestart = restart;
        Engine().OnSetPort(false);
        EXPECT_EQ(Engine().IsPortOpen(), restart == 1);
    }
    Socket accepted = holder.Accept();
    ASSERT_TRUE(accepted.Valid());
    std::tie(settings.AutoRestart, settings.WorkMode, settings.ComPort, settings.ComName) =
        std::make_tuple(0, kWorkModeSerial, 0, "ttyQelvorMissing");
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

// The engine plays the device behind the virtual port: a taken link name fails the open with
// the reason, a peer on the link is answered, and the line settings it sets are recorded.
TEST_F(PortControl, VirtualPortAnswersAPeerOnItsLinkAndRecordsItsLineSettings) {
    const std::string link = dir.File("ttyDev");
    std::tie(settings.HandShake, settings.SplitStrs, settings.RespondStrs, settings.WorkMode,
             settings.PtyLink) = std::make_tuple(1, "<ENQ>", "<ACK>", kWorkModePty, link);
    Engine().Exchange().LoadSplitConfig();
    WriteFile(link, "mine");
    Engine().OnOpenPort();
    EXPECT_EQ(Pane(0), "PTY:" + link + LoadStr(kStrOpenPortFailed));
    EXPECT_EQ(State().pane0ToolTip.rfind(link + ": a file", 0), 0u) << State().pane0ToolTip;
    Engine().OnClosePort();
    EXPECT_EQ(ReadFile(link), "mine");
    std::filesystem::remove(link);
    Engine().OnOpenPort();
    ASSERT_EQ(State().shownStatusCode, 1) << State().pane0ToolTip;
    const std::string pts = std::filesystem::read_symlink(link).string();
    EXPECT_EQ(Pane(0), "PTY:" + link + " (" + pts + ")");
    ASSERT_EQ(std::system(("stty -F " + link + " 1200 cstopb").c_str()), 0);
    const int peer = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(write(peer, "\x05", 1), 1);
    char answer = 0;
    EXPECT_TRUE(PollUntil([&] { return read(peer, &answer, 1) == 1; }));
    EXPECT_EQ(answer, '\x06');
    close(peer);
    EXPECT_EQ(Typed().front(), "I:virtual port: peer set 1200 8N2");
    EXPECT_EQ(RecordsOf('R').size(), 1u);
    Engine().OnClosePort();
    EXPECT_FALSE(testing_support::Exists(link));
    EXPECT_EQ(Pane(0), "PTY:" + link);
}

// The stall lasts until the device sent far more than the kernel holds; every byte is recorded.
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

class Reconnect : public EngineTest {
  protected:
    // Polls until pane 0 shows the attempt, for 4 s.
    bool PollUntilAttempt(int attempt, int limitMs = 4000) {
        const std::string text =
            StrPrintf(LoadStr(kStrReconnecting), settings.DescribePort().c_str(), attempt);
        return RunUntil([this] { Poll(); }, [&] { return Pane(0) == text; }, limitMs);
    }
};

TEST_F(Reconnect, ClientIsReconnectedOnlyWithTheSettingWhenItsServerComesBack) {
    listener = Socket::Listen();
    const int port = listener.Port();
    std::tie(settings.WorkMode, settings.IPPort) = std::make_tuple(kWorkModeTcpClient, port);
    settings.RecordLinkEvents = 1;
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
        listener = Socket::Listen(port);
        ASSERT_TRUE(listener.Valid());
    }
    ASSERT_TRUE(PollUntilCode(1));
    const std::string closed = StrPrintf("connection to 127.0.0.1:%d closed by the peer", port);
    EXPECT_EQ(RecordsOf('I'),
              (Lines{closed, closed, settings.DescribePort() + " reconnected (attempt 2)"}));
    Socket back = listener.Accept();
    ASSERT_TRUE(back.SendAll("up\r\n"));
    EXPECT_TRUE(PollUntil([&] { return RecordsOf('R') == Lines{"up\r\n"}; }));
}

// A link names the device (as /dev/serial/by-id does), back as another pty. With no modem lines
// and DtrOnOpen/RtsOnOpen 0 or 1 it opens, shows them "not available", refuses their commands.
TEST_F(Reconnect, AVanishedSerialDeviceIsReopenedWhenItsNameIsBack) {
    settings.AutoReconnect = settings.RecordLinkEvents = 1;
    settings.DtrOnOpen = settings.RtsOnOpen = 0;
    testing_support::PtyDevice first, second;
    const std::string link = dir.File("adapter");
    ASSERT_EQ(symlink(first.path.c_str(), link.c_str()), 0);
    OpenSerial(link);
    first.CloseMaster();
    ASSERT_TRUE(PollUntilCode(-1) && PollUntilAttempt(1));
    ASSERT_TRUE(unlink(link.c_str()) == 0 && symlink(second.path.c_str(), link.c_str()) == 0);
    settings.DtrOnOpen = settings.RtsOnOpen = 1;
    ASSERT_TRUE(PollUntilCode(1)) << State().pane0ToolTip;
    EXPECT_TRUE(State().controlLines.shown && !State().controlLines.available);
    EXPECT_FALSE(Engine().SetDtr(false) || Engine().SetRts(false) || Engine().SendBreak());
    ASSERT_TRUE(second.Feed("B\r\n"));
    EXPECT_TRUE(PollUntil([&] { return RecordsOf('R') == Lines{"B\r\n"}; }));
    // The loss and the reconnection, no note of the lines.
    const Lines info = RecordsOf('I');
    ASSERT_EQ(info.size(), 2u);
    EXPECT_EQ(info[0], settings.DescribePort() + " vanished");
    Engine().OnClosePort();
    EXPECT_FALSE(State().controlLines.shown);
}

}  // namespace
}  // namespace qelvor::test
