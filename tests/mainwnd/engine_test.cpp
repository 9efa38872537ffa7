// The engine over real TCP connections and pty pairs: opening, polling and
// closing the port (statuses and their reasons, buttons, title, where frames
// end, reconnects, modem lines); sending, auto-send, captions, quick sends and
// the history; the start-up order, the backup tick, ticks inside a command and
// the save commands; the data list's files and edits; SendFile and ReSend.
#include <linux/sockios.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>

#include "log/log_formats.h"
#include "log/log_writer.h"
#include "mainwnd/control_line_watch.h"
#include "mainwnd/data_list_commands.h"
#include "mainwnd/file_sender.h"
#include "mainwnd/send_history.h"
#include "mainwnd/send_operations.h"
#include "support/data_list_recorder.h"
#include "support/engine_fixture.h"
#include "support/pty_pair.h"
#include "support/zip_reader.h"

using namespace std::string_literals;

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
    // What a client leaves pending is its own record when it goes, and the
    // bytes still waiting for it are never sent to the next one.
    client.Reset();
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode == 0; }));
    EXPECT_EQ(RecordsOf('R'), Lines{"abc"});
    EXPECT_TRUE(Engine().Exchange().Outgoing().Empty());
    const Lines sent = RecordsOf('S');
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], std::string(sent[0].size(), 'x'));
    EXPECT_EQ(RecordsOf('I'),
              Lines{CMsgExchange::UnsentText("Send data", int(sent[0].size()), longSend)});
    EXPECT_EQ(Pane(0) + State().pane0ToolTip, listening);
    ExpectSendButtons(false, false);
    client = Socket::Connect(port);
    ASSERT_TRUE(client.SendAll("def\r\n"));
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('R').size() == 2; }));
    EXPECT_EQ(RecordsOf('R')[1], "def\r\n");
    EXPECT_EQ(client.Receive(1, 50), "");
    // Closed in the tick after the peer left, while the server starts to
    // listen again: nothing may listen on.
    client.Reset();
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode == -1; }));
    Poll();
    Engine().OnClosePort();
    EXPECT_FALSE(Socket::Connect(port).Valid());
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

int SocketOption(int fd, int level, int name) {
    int value = -1;
    socklen_t len = sizeof value;
    return getsockopt(fd, level, name, &value, &len) == 0 ? value : -2;
}

// A client that went silent (a half-open cable looks the same from here) is
// probed by keep-alive, and with IdleCloseSeconds loses the one slot to the
// next client.
TEST_F(PortControl, SilentClientIsProbedAndWithIdleCloseGivesUpTheServersSlot) {
    settings.IdleCloseSeconds = 1;
    const int port = FreeTcpPort();
    OpenTcp(kWorkModeTcpServer, port);
    Socket silent = Socket::Connect(port);
    ASSERT_TRUE(PollUntil([&] {
        return Engine().CurrentPort().GetState(0) == StreamPort::CTCPPort::kConnected &&
               State().shownStatusCode == 1;
    }));
    const int served = SocketServing(silent.Port());
    ASSERT_GE(served, 0);
    EXPECT_EQ(SocketOption(served, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(SocketOption(served, IPPROTO_TCP, TCP_KEEPIDLE), 10);
    EXPECT_EQ(SocketOption(served, IPPROTO_TCP, TCP_KEEPINTVL), 5);
    EXPECT_EQ(SocketOption(served, IPPROTO_TCP, TCP_KEEPCNT), 3);
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode == 0; }));
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
    }
}

// A TCP client's open never waits for its peer: it shows "connecting" while a
// peer that drops the request keeps it under way, and a close ends it.
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

// A cancelled dialog opens a closed port only with AutoRestart. The dialog
// changed the kind to serial: the TCP connection is closed.
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

// An engine connected as a TCP client to the test's peer.
class SendOperations : public EngineTest {
  protected:
    void SetUp() override { ASSERT_TRUE((peer = ConnectAsClient()).Valid()); }
    bool AutoSendStopped() {
        return !view.Running(kTimerAutoSend) && Button(kIdAutoSend).caption == "AutoSend";
    }
    Socket peer;
};

// The send box composed by SendData and the Enter key; closed, Enter sends
// nothing, and a server without a client records the failure and says why.
TEST_F(SendOperations, SendDataAndEnterComposeTheSendBoxOrSayWhyNot) {
    Engine().SetSendText("<STX>abc<ETX>");
    EXPECT_EQ(Engine().OnSendData(), 5);
    Engine().SetSendText("hi");
    Engine().OnEnterKey();
    EXPECT_EQ(peer.Receive(7), "\002abc\003hi");
    Engine().SetSendText("");
    EXPECT_EQ(Engine().OnSendData(), 0);
    EXPECT_EQ(RecordsOf('S'), (Lines{"\002abc\003", "hi"}));
    Engine().SetSendText("hi");
    Engine().OnClosePort();
    Engine().OnEnterKey();  // closed: nothing sent, nothing recorded
    EXPECT_EQ(Engine().Exchange().RecordCount(), 2u);
    OpenTcp(kWorkModeTcpServer, FreeTcpPort());
    view.changes = 0;
    EXPECT_EQ(Engine().OnSendData(), 0);
    Engine().OnCtrlMenu(kCmdCrLf);
    EXPECT_EQ(RecordsOf('I'), Lines(2, kSendErrorText));
    EXPECT_EQ(State().pane0ToolTip, "no client connected");
    EXPECT_NE(view.changes & kChangedStatus, 0u);
}

// A locale whose character set no conversion knows, built in the test's
// folder: the one case left in which a conversion gives nothing at all.
bool UseUnknownCharsetLocale(const TempFolder& dir) {
    WriteFile(dir.File("charmap"),
              "<code_set_name> QELVOR-UNKNOWN\nCHARMAP\n<U0041> /x41\nEND CHARMAP\n");
    WriteFile(dir.File("source"), "LC_CTYPE\nEND LC_CTYPE\n");
    const std::string build = "localedef -c -i " + dir.File("source") + " -f " +
                              dir.File("charmap") + " " + dir.File("unknown") + " >/dev/null 2>&1";
    if (std::system(build.c_str()) == -1) return false;
    setenv("LOCPATH", dir.Path().c_str(), 1);
    const bool ok = std::setlocale(LC_CTYPE, "unknown") != nullptr;
    unsetenv("LOCPATH");
    return ok;
}

TEST_F(SendOperations, FrameEmptiedByTheConversionLeavesARecordWhy) {
    ASSERT_TRUE(UseUnknownCharsetLocale(dir));
    settings.SenDataEncodeCov = 1;
    Engine().SetSendText("A");
    const int sent = Engine().OnSendData();
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(RecordsOf('I'),
              Lines{"Send data: nothing sent, cannot convert from QELVOR-UNKNOWN to UTF-16LE"});
    EXPECT_TRUE(RecordsOf('S').empty());
}

TEST_F(SendOperations, ControlItemsSendAndNameTheSendCtrlButton) {
    Engine().OnSendCtrl();  // no item chosen yet: nothing to repeat
    EXPECT_TRUE(RecordsOf('S').empty());
    // clang-format off
    const struct { int id; std::string bytes, caption; } cases[] = {
        {kCmdCrLf, "\r\n", "CRLF"}, {kCmdEotSoh, "\x04\x01", "EOTSOH"},
        {kCmdCtrlCharFirst, std::string(1, '\0'), "<NUL>"}, {kCmdCtrlCharFirst + 31, "\x1f", "<UP>"}};
    // clang-format on
    for (const auto& c : cases) {
        ASSERT_TRUE(Engine().OnCtrlMenu(c.id));
        EXPECT_EQ(Button(kIdSendCtrl).caption, c.caption);
        Engine().OnSendCtrl();
        EXPECT_EQ(peer.Receive(2 * c.bytes.size()), c.bytes + c.bytes) << c.caption;
    }
    EXPECT_FALSE(Engine().OnCtrlMenu(kCmdCtrlCharFirst + 32));
    EXPECT_EQ(Button(kIdSendCtrl).caption, "<UP>");
}

TEST_F(SendOperations, AutoSendStartsAtTheSelectionReportsCompletionAndStopsOnClose) {
    SetLines({"L0", "L1", "L2", "L3", "L4"});
    Engine().DataList().SetCurSel(3);
    Engine().OnAutoSend();
    EXPECT_EQ(view.Period(kTimerAutoSend), 200);
    Engine().RefreshCaptions();  // must keep the running caption
    EXPECT_EQ(Button(kIdAutoSend).caption, "StopSend");
    // clang-format off
    const struct { std::string line, pane; int selection; } ticks[] = {
        {"L3", "Send=4,Count=1", 4}, {"L4", "Send=5,Count=2", -1}};
    // clang-format on
    for (const auto& tick : ticks) {
        Engine().OnTimer(kTimerAutoSend);
        EXPECT_EQ(peer.Receive(2), tick.line);
        EXPECT_EQ(State().sendText + Pane(1), tick.line + tick.pane);
        EXPECT_EQ(Engine().DataList().CurSel(), tick.selection);
    }
    Engine().OnTimer(kTimerAutoSend);
    EXPECT_TRUE(AutoSendStopped());
    EXPECT_EQ(Pane(1), "send completed count = 2");
    Engine().DataList().SetCurSel(0);
    Engine().OnAutoSend();
    Engine().OnTimer(kTimerAutoSend);
    ASSERT_EQ(Pane(1), "Send=1,Count=1");
    Engine().OnClosePort();
    EXPECT_TRUE(AutoSendStopped());
    EXPECT_EQ(Pane(1), "");
    Engine().OnTimer(kTimerAutoSend);  // a tick the view had queued already
    EXPECT_EQ(RecordsOf('S'), (Lines{"L3", "L4", "L0"}));
}

TEST_F(SendOperations, StressTestWrapsToTheFirstLineWithoutSendingInThatTick) {
    settings.AutoSendElapse = -7;  // below 1: every 30 ms, and stored
    Engine().OnAutoSend();         // an empty list completes at the first tick
    EXPECT_EQ(view.Period(kTimerAutoSend), 30);
    EXPECT_EQ(CComSetting::Loaded(dir.File("t.ini")).AutoSendElapse, 3);
    Engine().OnTimer(kTimerAutoSend);
    EXPECT_EQ(Pane(1), "send completed count = 0");
    settings.SupportStress = 1;
    SetLines({"A", "B"});
    Engine().OnAutoSend();
    EXPECT_EQ(Button(kIdAutoSend).caption, "StopTest");
    for (int i = 0; i < 6; ++i)  // A, B, wrap, A, B, wrap
        Engine().OnTimer(kTimerAutoSend);
    EXPECT_EQ(peer.Receive(4), "ABAB");
    EXPECT_EQ(Engine().DataList().CurSel(), 0);
    EXPECT_EQ(Pane(1), "Send=2,Count=4");
    Engine().OnAutoSend();
    EXPECT_EQ(Button(kIdAutoSend).caption, "StressTest");
}

TEST_F(SendOperations, CheckSumButtonAndCaptionsFollowTheSettings) {
    const std::string stx =
        "All characters between <STX>(not included) and <ETX>/<ETB>(included) "
        "are involved in the checksum calculation";
    const std::string lx20 =
        "All characters between '['(included) and ']'(included) are "
        "involved in the checksum calculation";
    // clang-format off
    const struct { int hex, fileFmt, checkSum, stress, responseFile; std::string captions, toolTip, text; } cases[] = {
        {1, 2, 1, 1, 1, "SendData Hex|SendFile Hex|CheckSum(LX20)|StressTest|response file", lx20, "[abc]22"},
        {0, 1, 2, 0, 0, "SendData|SendFile Fmt|CheckSum BCC|AutoSend|", stx, "[abc]y\x03\x1C"},
        {0, 7, 7, 0, 0, "SendData|SendFile Raw|CheckSum ASTM|AutoSend|", stx, "x[abc]y\x03" "D2"}};
    // clang-format on
    settings.HandShake = 1;
    for (const auto& c : cases) {
        settings.HexSendData = c.hex;
        settings.SendFileFMT = c.fileFmt;
        settings.CheckSum = c.checkSum;
        settings.SupportStress = c.stress;
        settings.UsedResponseFile = c.responseFile;
        Engine().RefreshCaptions();
        EXPECT_EQ(Button(kIdSendData).caption + "|" + Button(kIdSendFile).caption + "|" +
                      Button(kIdCheckSum).caption + "|" + Button(kIdAutoSend).caption + "|" +
                      Pane(2),
                  c.captions);
        EXPECT_EQ(Button(kIdCheckSum).toolTip, c.toolTip) << c.captions;
        Engine().SetSendText("x[abc]y");
        Engine().OnCheckSumButton();
        EXPECT_EQ(State().sendText, c.text) << c.captions;
    }
    EXPECT_TRUE(Engine().Exchange().Records().empty());  // the CheckSum button sends nothing
}

// The quick-send row is kept in the set across a run; a button sends its text
// composed as the send box would, and only the send box has a history.
TEST_F(EngineTest, QuickSendsAreKeptInTheSetAndSentComposedLikeTheSendBox) {
    const QuickSend blanks{" two words ", "  <ENQ>  "};
    ASSERT_TRUE(Engine().SetQuickSend(0, blanks) && Engine().SetQuickSend(5, {"gone", "G"}) &&
                Engine().SetQuickSend(5, {}));
    Engine().SetQuickSendsShown(true);
    EXPECT_NE(view.changes & kChangedQuickSends, 0u);
    // What one INI line cannot hold, or no button of the row, is refused.
    for (const auto& [index, name, text] :
         {std::tuple{1, "a\tb", "x"}, {1, "a", "x\ry"}, {12, "a", "x"}, {-1, "a", "x"}})
        EXPECT_FALSE(Engine().SetQuickSend(index, {name, text})) << index << name << text;
    // A value written by hand without a TAB names its button by its text.
    settings.WriteProfileString(settings.GetCurrentSet(), "QuickSend3", "PING");
    engine.reset();  // the next run reads the file
    const CQuickSends& quick = Engine().QuickSends();
    EXPECT_TRUE(quick.Shown());
    EXPECT_EQ(quick.Button(0).name + "|" + quick.Button(0).text, blanks.name + "|" + blanks.text);
    EXPECT_EQ(quick.Button(2).name + "|" + quick.Button(2).text, "PING|PING");
    EXPECT_TRUE(quick.Button(1).Empty() && quick.Button(5).Empty());

    settings.Preamble = "<STX>";
    settings.Postamble = "<CR><LF>";
    settings.UsedCheckSum = 1;
    settings.CheckSum = 0;
    // The ASTM sum covers "1H" and ETX: 0x31 + 0x48 + 0x03 = 0x7C.
    const std::string framed = "\0021H\0037C\r\n";
    ASSERT_TRUE(Engine().SetQuickSend(1, {"Header", "1H<ETX><CheckSum>"}));
    EXPECT_EQ(Engine().SendQuick(1), 0);  // the port is not open yet
    Socket peer = ConnectAsClient();
    for (int index : {1, 3, -1, 12})  // empty buttons and others send nothing
        Engine().SendQuick(index);
    EXPECT_EQ(peer.Receive(framed.size()), framed);
    EXPECT_EQ(RecordsOf('S'), Lines{framed});
    EXPECT_TRUE(Engine().SendHistory().Texts().empty()) << "only the send box has a history";
}

// The newest 50 texts sent, each set's apart, through a reload of the INI; a
// send in the middle of a walk ends it.
TEST_F(EngineTest, SendHistoryKeepsTheNewest50OfEachSetAndASendEndsTheWalk) {
    Socket peer = ConnectAsClient();
    Lines expected;
    for (int i = 0; i < 52; ++i)
        expected.push_back("t" + std::to_string(i));
    // Texts that look like the file's own lines, and line ends, survive; a
    // repeat of the last text and an empty one are not kept.
    for (const char* odd : {"[Other]", "=x", "a\\nb", "cr\rlf\n", "\\", "\\", ""})
        expected.push_back(odd);
    for (const std::string& text : expected) {
        Engine().SetSendText(text);
        Engine().OnEnterKey();
    }
    expected.resize(expected.size() - 2);
    expected.erase(expected.begin(), expected.end() - 50);
    EXPECT_EQ(Engine().SendHistory().Texts(), expected);
    // Up and Down from a draft to past the oldest and back: the window tests.
    Engine().HistoryOlder();
    Engine().SetSendText("d");  // sent in the middle of the walk
    Engine().OnEnterKey();
    Engine().HistoryNewer();
    EXPECT_EQ(State().sendText, "d");
    expected.erase(expected.begin());
    expected.push_back("d");
    CSendHistory other;  // another set's texts are its own and kept apart
    ASSERT_TRUE(other.Load(CSendHistory::FileFor(settings.IniPath), "Other"));
    EXPECT_EQ(other.Older("typed"), "typed");  // nothing to walk
    ASSERT_EQ(other.Add("mine"), 0);

    engine.reset();
    settings = CComSetting::Loaded(settings.IniPath);
    EXPECT_EQ(Engine().SendHistory().Texts(), expected);
    Engine().SetSendText("y");
    Engine().HistoryOlder();
    EXPECT_EQ(State().sendText, "d");
    ASSERT_TRUE(other.Load(CSendHistory::FileFor(settings.IniPath), "OTHER"));
    EXPECT_EQ(other.Texts(), Lines{"mine"});
}

using MainEngine = EngineTest;

// The data file named on the command line (else the INI's) is loaded by
// timer 7 after the port opened; with "-n" the port waits for the setup
// dialog (its timer: the window tests) and the INI's data file is not taken.
TEST_F(MainEngine, StartupOpensThenLoadsTheDataFileOrWaitsForSetupWithDashN) {
    const std::string path = dir.File("start data.txt");
    WriteFile(path, "x\ny");
    settings.WriteProfileString("ComSet", "LoadFile", dir.File("ini-data.txt"));
    settings.ShowDataListWnd = 1;
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = FreeTcpPort();
    settings.BackupLogTimeCount = 15;
    RecordingView plainView, setupView;
    CMainEngine plain(settings, plainView), setupFirst(settings, setupView);
    plain.Startup({});
    EXPECT_EQ(plain.State().dataFilePath, dir.File("ini-data.txt"));
    setupFirst.Startup({"", true});
    EXPECT_FALSE(setupView.Running(kTimerLoadData) || setupFirst.IsPortOpen());
    EXPECT_EQ(setupFirst.State().dataFilePath, "");
    Engine().Startup({path, false});
    ASSERT_TRUE(PollWhileConnecting());
    EXPECT_EQ(view.Period(kTimerLoadData), 50);
    EXPECT_EQ(view.Period(kTimerBackup), 15 * 60000);
    EXPECT_EQ(State().title, StrPrintf("Qelvor TCP-Client(127.0.0.1:%d)", settings.IPPort));
    EXPECT_EQ(Engine().DataList().Count(), 0);
    Engine().OnTimer(kTimerLoadData);
    EXPECT_FALSE(view.Running(kTimerLoadData));
    EXPECT_EQ(Engine().DataList().Lines(), (Lines{"x", "y"}));
}

// The backup tick, with a continuous log, also moves the log aside; a log
// that cannot write counts its lost lines and tells them once per run of
// failures, as a record of the traffic list, never as a stream of them.
TEST_F(MainEngine, BackupTickMovesTheLogAsideAndALogThatCannotWriteIsToldOnce) {
    const std::string folder = dir.File("LogData/");
    std::filesystem::create_directory(folder);
    settings.AutoSaveLog = 1;
    CLogWriter writer;
    writer.Start(folder + "Qelvor.log", settings);
    Engine().AttachLogWriter(&writer);
    Engine().Exchange().AddRecord('I', "before backup");
    Engine().OnTimer(kTimerBackup);
    EXPECT_EQ(Engine().Exchange().RecordCount(), 0u);
    EXPECT_NE(view.changes & kChangedRecords, 0u);
    writer.Stop();
    const std::vector<std::filesystem::path> backups(std::filesystem::directory_iterator(folder),
                                                     {});
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_NE(ReadFile(backups[0]).find("I:before backup\r\n"), std::string::npos);

    std::filesystem::create_directory(folder + "Qelvor.log");  // a folder where the file goes
    CLogWriter failing;
    failing.Start(folder + "Qelvor.log", settings);
    Engine().AttachLogWriter(&failing);
    Engine().Exchange().AddRecord('I', "lost");
    const std::string notice = "continuous log: 1 lines could not be written: Is a directory";
    EXPECT_TRUE(PollUntil([&] { return RecordsOf('I').back() == notice; }));
    for (int i = 0; i < 3; ++i)
        Engine().Exchange().AddRecord('I', "also lost");
    Poll(50);
    failing.Stop();
    Poll();
    Engine().AttachLogWriter(nullptr);
    EXPECT_EQ(RecordsOf('I'), (Lines{"lost", notice, "also lost", "also lost", "also lost"}));
}

// Frames answered from the data list arrive while the user types: the send
// box keeps every keystroke, and the receive path never tells the view to
// redraw it. Only a real change of the text is told.
TEST_F(MainEngine, TypingInTheSendBoxSurvivesAFloodOfAnsweredFrames) {
    settings.HandShake = 1;
    settings.SupportStress = 1;
    settings.SplitStrs = "<ACK>";
    settings.RespondStrs = "[DATA]";
    Socket peer = ConnectAsClient();
    SetLines({"L0", "L1"});
    constexpr size_t kRounds = 100, kFramesPerRound = 100;
    std::string typed;
    for (size_t round = 0; round < kRounds; ++round) {
        typed += static_cast<char>('a' + round % 26);
        Engine().SetSendText(typed);
        ASSERT_NE(view.changes & kChangedSendText, 0u) << round;
        view.changes = 0;
        ASSERT_TRUE(peer.SendAll(std::string(kFramesPerRound, '\x06')));
        ASSERT_TRUE(PollUntil([&] { return RecordsOf('S').size() == kFramesPerRound; })) << round;
        EXPECT_EQ(State().sendText, typed) << round;
        EXPECT_EQ(view.changes & kChangedSendText, 0u) << round;
        Engine().OnClearAllData();
    }
    Engine().SetSendText(typed);  // the box's own text handed back again
    EXPECT_EQ(view.changes & kChangedSendText, 0u);
}

// A message box shown by a command runs a nested event loop in which the
// timers keep firing and the user may click: no tick runs inside the
// command, each runs once right after it, and a click there is not taken.
TEST_F(MainEngine, TimerTicksDuringACommandRunOnceAfterItAndNoCommandNests) {
    Socket peer = ConnectAsClient();
    SetLines({"A", "B", "C"});
    Engine().OnAutoSend();
    Lines inside = {"not run"};
    view.whileBoxShown = [&] {
        ASSERT_TRUE(peer.SendAll("in\r\n"));
        // Acknowledged, so in the engine's socket before the box closes.
        int unacknowledged = -1;
        ASSERT_TRUE(testing_support::WaitUntil([&] {
            return ioctl(peer.Fd(), SIOCOUTQ, &unacknowledged) == 0 && unacknowledged == 0;
        }));
        for (int tick = 0; tick < 3; ++tick) {
            Engine().OnTimer(kTimerPoll);
            Engine().OnTimer(kTimerAutoSend);
        }
        Engine().SetSendText("click");
        EXPECT_EQ(Engine().OnSendData(), 0);
        EXPECT_TRUE(Engine().InCommand());
        inside = Typed();
    };
    ASSERT_TRUE(Engine().SaveDataList(dir.File("list.txt")));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(inside, Lines{}) << "no record made inside the command";
    EXPECT_FALSE(Engine().InCommand());
    EXPECT_EQ(RecordsOf('S'), Lines{"A"}) << "one auto-send tick for three";
    // The deferred poll took what the peer sent while the box was shown.
    EXPECT_EQ(RecordsOf('R'), Lines{"in\r\n"});
}

// A save command writes what the log module renders for the chosen layout
// (each layout: the log tests); a second save to the same file asks first
// (the recording view cancels). The zip holds the five layouts.
TEST_F(MainEngine, SaveCommandsWriteTheChosenLayoutAndAskBeforeReplacing) {
    Engine().Exchange().AddRecord('S', "\002A\003");
    Engine().Exchange().AddRecord('R', "\001\253");
    const std::string path = dir.File("chosen.hex");
    ASSERT_EQ(Engine().SaveLog(LogFormat::Hex, path), 1);
    const std::string written = ReadFile(path);
    EXPECT_EQ(written, RenderLog(Engine().Exchange().Records(), LogFormat::Hex, false, {}));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_NE(view.boxes[0].text.find("Save data file succeeded"), std::string::npos);
    EXPECT_EQ(Engine().SaveLog(LogFormat::Hex, path), 0) << "cancelled at the question";
    EXPECT_EQ(ReadFile(path), written);
    ASSERT_TRUE(Engine().SaveZip(dir.File("chosen.zip")));
    EXPECT_EQ(testing_support::ReadZip(dir.File("chosen.zip")).size(), 5u);
}

using DataListCommands = EngineTest;

TEST_F(DataListCommands, LinesEndAtLineFeedsAndLoseTrailingLineEnds) {
    const struct {
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"", {}},         {"A\r\nB\r\n", {"A", "B", ""}},
        {"\n", {"", ""}}, {"a\r\r\nb", {"a", "b"}},
        {"\rx", {"\rx"}}, {std::string("n\0l\n", 4), {std::string("n\0l", 3), ""}},
    };
    const std::string path = dir.File("lines.txt");
    for (const auto& c : cases) {
        WriteFile(path, c.bytes);
        ASSERT_TRUE(Engine().LoadDataFile(path));
        EXPECT_EQ(Engine().DataList().Lines(), c.lines) << "input size " << c.bytes.size();
    }

    // Pane 1 counts the lines every hundred and ends empty; the list gets
    // them in one step, on a ReLoad too.
    WriteFile(path, std::string(9999, '\n'));
    ASSERT_TRUE(Engine().LoadDataFile(path));
    view.watched = &State();
    DataListRecorder recorder(Engine().DataList());
    ASSERT_TRUE(Engine().ReLoad());
    ASSERT_EQ(view.pane1.size(), 101u);
    EXPECT_EQ(view.pane1[0] + "|" + view.pane1[99] + "|" + view.pane1.back(),
              "100/10000|10000/10000|");
    EXPECT_EQ(recorder.changes,
              (std::vector<DataListChange>{{DataListChange::Kind::Reset, 0, 10000}}));
}

TEST_F(DataListCommands, LoadRemembersTheFileForReLoadUntilClearWithCtrl) {
    EXPECT_FALSE(Engine().ReLoad());
    const std::string path = dir.File("data.txt");
    WriteFile(path, "A\nB");
    Engine().Exchange().SetDataIndex(4);
    ASSERT_TRUE(Engine().LoadDataFile(path));
    EXPECT_EQ(RecordsOf('I'), (Lines{path, "load data file succeeded,data count = 2!"}));
    EXPECT_EQ(State().dataFilePath + "|" + Button(kIdLoadFile).toolTip, path + "|" + path);
    EXPECT_EQ(Engine().Exchange().DataIndex(), -1);
    EXPECT_EQ(settings.ReadProfileString("ComSet", "LoadFile", ""), path);
    WriteFile(path, "b\nc\nd");
    ASSERT_TRUE(Engine().ReLoad());
    EXPECT_EQ(Engine().DataList().Lines(), (Lines{"b", "c", "d"}));
    Engine().Exchange().SetDataIndex(1);
    Engine().ClearDataList(false);
    EXPECT_EQ(Engine().DataList().Count(), 0);
    EXPECT_EQ(Engine().Exchange().DataIndex(), -1);
    EXPECT_EQ(State().dataFilePath, path);
    Engine().ClearDataList(true);
    EXPECT_EQ(State().dataFilePath + Button(kIdLoadFile).toolTip, "");
    EXPECT_EQ(settings.ReadProfileString("ComSet", "LoadFile", "x"), "");
    EXPECT_FALSE(Engine().ReLoad());
}

TEST_F(DataListCommands, LoadTakesThirtyTwoMebibytesAndIgnoresWhatItCannotRead) {
    const std::string exact = dir.File("exact.bin");
    const std::string over = dir.File("over.bin");
    ASSERT_TRUE(MakeSparseFile(exact, 33554432));
    ASSERT_TRUE(MakeSparseFile(over, 33554433));
    const std::string fifo = dir.File("fifo");  // would block a plain open
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    SetLines({"kept"});
    for (const std::string& path : {fifo, dir.File("missing"), dir.Path(), over})
        EXPECT_FALSE(Engine().LoadDataFile(path)) << path;
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text,
              "data file <" + over + ">,size =32 MB.\nThe file is too large to load.");
    EXPECT_EQ(view.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(RecordsOf('I'), (Lines{"load data file failed: " + fifo + " is not a regular file",
                                     "load data file failed: " + dir.File("missing") +
                                         ": No such file or directory",
                                     "load data file failed: " + dir.Path() + " is a directory"}));
    EXPECT_EQ(Engine().DataList().Lines(), Lines{"kept"});
    EXPECT_EQ(State().dataFilePath, "");

    ASSERT_TRUE(Engine().LoadDataFile(exact));
    ASSERT_EQ(Engine().DataList().Count(), 1);
    EXPECT_EQ(Engine().DataList().Line(0).size(), 33554432u);
    EXPECT_EQ(view.boxes.size(), 1u);
}

TEST_F(DataListCommands, InsertAndDeleteActOnTheSelection) {
    SetLines({"a", "b"});
    const struct {
        int selection;
        std::string text;
        void (CMainEngine::*edit)();
        Lines after;
    } steps[] = {
        {-1, "", &CMainEngine::InsertAbove, {"a", "b"}},  // empty text: nothing
        {1, "up", &CMainEngine::InsertAbove, {"a", "up", "b"}},
        {-1, "end", &CMainEngine::InsertBelow, {"a", "up", "b", "end"}},
        {0, "below", &CMainEngine::InsertBelow, {"a", "below", "up", "b", "end"}},
        {2, "", &CMainEngine::DeleteSelected, {"a", "below", "b", "end"}},
    };
    for (const auto& step : steps) {
        Engine().DataList().SetCurSel(step.selection);
        Engine().SetSendText(step.text);
        (Engine().*step.edit)();
        EXPECT_EQ(Engine().DataList().Lines(), step.after) << step.text;
    }
}

TEST_F(DataListCommands, SaveAsWritesEveryLineWithCrLfOrReportsTheError) {
    const std::string path = dir.File("Data.txt");
    EXPECT_FALSE(Engine().SaveDataList(path));  // an empty list writes nothing
    EXPECT_FALSE(std::filesystem::exists(path));
    WriteFile(path, "older and longer content");
    SetLines({"A", ""});
    ASSERT_TRUE(Engine().SaveDataList(path));
    EXPECT_EQ(ReadFile(path), "A\r\n\r\n");
    EXPECT_FALSE(Engine().SaveDataList(dir.File("no-folder/Data.txt")));
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(view.boxes[0].text, "save data file succeeded!");
    EXPECT_EQ(view.boxes[1].text, "can't save data file ,error code = 2");
}

// A double-click takes the line, and sends it with "send now"; a load with
// both SendAfterLoadFile and "send now" opens the handshake (ENQ, or EOT SOH
// for CheckSum 1) and starts the frame counter again.
TEST_F(DataListCommands, SendNowSendsTheDoubleClickedLineAndTheOpeningByteOfALoad) {
    Socket peer = ConnectAsClient();
    SetLines({"first", "second"});
    Engine().OnDataListDoubleClick(1);
    EXPECT_EQ(State().sendText, "second");
    EXPECT_EQ(Engine().Exchange().DataIndex(), 1);
    const std::string path = dir.File("data.txt");
    WriteFile(path, "one\ntwo");
    settings.SendAfterLoadFile = 1;
    ASSERT_TRUE(Engine().LoadDataFile(path));  // "send now" is still off: no ENQ

    Engine().ToggleSendNow();
    EXPECT_EQ(CComSetting::Loaded(dir.File("t.ini")).LButtonDblClkSend, 1);
    Engine().OnDataListDoubleClick(0);
    Engine().OnDataListDoubleClick(7);  // below the last line: nothing taken
    EXPECT_EQ(Engine().Exchange().DataIndex(), -1);
    EXPECT_EQ(State().sendText, "one");
    settings.CheckSum = 0;
    Engine().DataList().SetCurSel(1);
    Engine().Exchange().FrameCounter() = 5;
    ASSERT_TRUE(Engine().LoadDataFile(path));
    EXPECT_EQ(Engine().Exchange().FrameCounter(), 0);
    EXPECT_EQ(Engine().DataList().CurSel(), -1);
    settings.CheckSum = 1;
    ASSERT_TRUE(Engine().LoadDataFile(path));
    WriteFile(path, "");  // no line, so no opening byte
    ASSERT_TRUE(Engine().LoadDataFile(path));
    const std::string sent = "one\x05\x04\x01";
    EXPECT_EQ(peer.Receive(sent.size()), sent);
    EXPECT_EQ(RecordsOf('S'), (Lines{"one", "\x05", "\x04\x01"}));
    Engine().ToggleSendNow();
    EXPECT_EQ(CComSetting::Loaded(dir.File("t.ini")).LButtonDblClkSend, 0);
}

using FileSender = EngineTest;

constexpr off_t kMiB = 1048576;
const std::string kBom = "\xEF\xBB\xBF";

// A file that cannot be read sends nothing, and one sent while the port is
// closed leaves the error record. Each form of the file and the byte-order
// mark as sent; a sent file is no record, and ReSend reads the last file again.
TEST_F(FileSender, FailedSendsFileFormsTheByteOrderMarkAndReSend) {
    const std::string fifo = dir.File("fifo"), path = dir.File("form.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Engine().SendFile(fifo) + Engine().SendFile(dir.File("missing")), 0);
    WriteFile(path, "abc");
    EXPECT_LT(Engine().SendFile(path), 1);
    EXPECT_EQ(RecordsOf('I'), Lines{"SendFile<" + path + ">,but error!"});
    EXPECT_EQ(State().pane0ToolTip, "port not open");
    Engine().ReSend();  // nothing went out, so there is nothing to send again
    EXPECT_EQ(Engine().Exchange().RecordCount(), 1u);
    EXPECT_TRUE(view.boxes.empty());
    Socket peer = ConnectAsClient();
    const std::string utf16 = "a\0b\0"s;
    // Three bytes are too few for the mark test; a UTF-16 mark is skipped by its own length.
    // clang-format off
    const struct { int form, noBom; std::string content, sent; } cases[] = {
        {0, 0, "\002A\0B\003"s, "\002A\0B\003"s}, {1, 0, "<STX>A<ETX><CR><LF>", "\002A\003\r\n"},
        {2, 0, "41 42 0D", "AB\r"}, {0, 1, kBom + "abc", "abc"}, {0, 0, kBom + "abc", kBom + "abc"},
        {0, 1, kBom, kBom}, {0, 1, "\xFF\xFE"s + utf16, utf16}};
    // clang-format on
    for (const auto& c : cases) {
        settings.SendFileFMT = c.form;
        settings.NoSendFileBOM = c.noBom;
        WriteFile(path, c.content);
        EXPECT_EQ(Engine().SendFile(path), static_cast<int>(c.sent.size()));
        EXPECT_EQ(peer.Receive(c.sent.size()), c.sent) << testing::PrintToString(c.content);
    }
    EXPECT_EQ(Engine().Exchange().RecordCount(), 1u);
    EXPECT_EQ(State().lastSentFilePath, path);
    EXPECT_TRUE(Button(kIdReSend).visible);
    EXPECT_EQ(Button(kIdReSend).toolTip, "resend file:\n" + path);
    WriteFile(path, "second");
    Engine().ReSend();
    EXPECT_EQ(peer.Receive(6), "second");
}

// A file far larger than the sockets hold, to a slow reader: the poll sends it
// while the window works on (a peer's frame is recorded meanwhile) with the
// progress in pane 1; a close during a send records what did not go out.
TEST_F(FileSender, LargeFileGoesOutAtThePollWhileThePeerReadsSlowly) {
    listener = Socket::Listen();
    const int smallBuffer = 65536;
    setsockopt(listener.Fd(), SOL_SOCKET, SO_RCVBUF, &smallBuffer, sizeof smallBuffer);
    OpenTcp(kWorkModeTcpClient, listener.Port());
    Socket peer = listener.Accept();
    ASSERT_TRUE(peer.Valid() && PollWhileConnecting());
    constexpr size_t kSize = 12 * kMiB;
    std::string content(kSize, '\0');
    for (size_t i = 0; i < kSize; ++i)
        content[i] = static_cast<char>(i % 251);
    const std::string path = dir.File("big.bin");
    WriteFile(path, content);
    view.watched = &State();
    ASSERT_EQ(Engine().SendFile(path), static_cast<int>(kSize));
    // A send made meanwhile waits behind the file instead of landing in it.
    Engine().SetSendText("after");
    EXPECT_EQ(Engine().OnSendData(), 5);
    const std::string expected = content + "after";
    std::string received;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (received.size() < expected.size()) {
            const std::string piece =
                peer.Receive(std::min<size_t>(65536, expected.size() - received.size()));
            if (piece.empty()) break;
            if (received.empty()) peer.SendAll("mid\r\n");
            received += piece;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        done = true;
    });
    EXPECT_TRUE(RunUntil([&] { Poll(); }, [&] { return done && Pane(1).empty(); }, 30000));
    reader.join();
    EXPECT_TRUE(received == expected) << received.size() << " bytes arrived";
    EXPECT_EQ(Typed(), (Lines{"R:mid\r\n", "S:after"}));
    ASSERT_GE(view.pane1.size(), 3u) << "the progress moved";
    for (size_t i = 0; i + 1 < view.pane1.size(); ++i)
        EXPECT_THAT(view.pane1[i],
                    testing::MatchesRegex("SendFile [0-9]+% \\([0-9.]+ of 12\\.0 MB\\)"));
    EXPECT_EQ(view.pane1.back(), "");

    Engine().ReSend();  // the peer reads no more
    Poll(20);
    Engine().OnClosePort();
    EXPECT_THAT(RecordsOf('I'),
                testing::ElementsAre(testing::MatchesRegex(
                    "SendFile<.*big.bin>: [0-9]+ of 12582912 bytes were not sent")));
    EXPECT_EQ(Pane(1), "");
}

// Both limits are inclusive; the serial one is sent at its size below.
TEST(FileSendLimit, NetworkLimitIsInclusive) {
    EXPECT_TRUE(FileFitsSendLimit(256 * kMiB, kWorkModeTcpClient));
    EXPECT_FALSE(FileFitsSendLimit(256 * kMiB + 1, kWorkModeUdp));
}

// On a serial line a file above 16 MiB is refused. One of exactly 16 MiB goes
// out in pieces, to a far end that reads nothing and then goes away: the send
// stops midway and says so.
TEST_F(FileSender, SerialLineRefusesAboveTheLimitAndReportsAPartialWriteAtIt) {
    testing_support::PtyDevice pty;
    OpenSerial(pty.path);
    const std::string big = dir.File("big.bin"), path = dir.File("limit.bin");
    ASSERT_TRUE(MakeSparseFile(big, 16 * kMiB + 1) && MakeSparseFile(path, 16 * kMiB));
    EXPECT_EQ(Engine().SendFile(big), 0);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text,
              "data file <" + big + ">,size =16 MB.\nThe file is too large to send.");
    EXPECT_TRUE(Engine().Exchange().Records().empty());
    // The line takes the file in pieces at the poll; the send box's text
    // waits behind it and goes nowhere once the line is gone.
    std::thread closer = testing_support::CloseOnceStalled(std::exchange(pty.master, -1));
    EXPECT_EQ(Engine().SendFile(path), static_cast<int>(16 * kMiB));
    Engine().SetSendText("after");
    Engine().OnSendData();
    EXPECT_TRUE(RunUntil([&] { Poll(); }, [&] { return RecordsOf('I').size() >= 2; }, 20000));
    closer.join();
    const Lines info = RecordsOf('I');
    ASSERT_THAT(info,
                testing::ElementsAre(
                    testing::MatchesRegex("SendFile<.*>: [0-9]+ of 16777216 bytes were not sent"),
                    kSendErrorText));
    EXPECT_NE(info[0], "SendFile<" + path + ">: 16777216 of 16777216 bytes were not sent");
    EXPECT_EQ(view.boxes.size(), 1u);
}

}  // namespace
}  // namespace qelvor::test
