#include <netinet/in.h>
#include <sys/socket.h>

#include <string>

#include "mainwnd/engine_fixture.h"
#include "support/pty_pair.h"

namespace qelvor::test {
namespace {

// A listener on 127.0.0.1:port (0: one the system picks) as a server that
// restarts makes it: its connections, which linger in TIME_WAIT once it
// closed them, never keep it from listening on the same port again.
Socket ReusableListener(int port) {
    Socket listening(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int on = 1;
    setsockopt(listening.Fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in self = loopback::Address(port);
    if (bind(listening.Fd(), reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
        listen(listening.Fd(), 4) != 0)
        return Socket();
    return listening;
}

class Reconnect : public EngineTest {
  protected:
    bool PaneShowsAttempt(int attempt) {
        return Pane(0) ==
               StrPrintf(LoadStr(kStrReconnecting), settings.DescribePort().c_str(), attempt);
    }
    bool PollUntilAttempt(int attempt) {
        return RunUntil([this] { Poll(); }, [&] { return PaneShowsAttempt(attempt); }, 6000);
    }
};

TEST_F(Reconnect, ClientIsReconnectedWhenItsServerComesBackOnTheSamePort) {
    settings.AutoReconnect = 1;
    listener = ReusableListener(0);
    const int port = listener.Port();
    settings.WorkMode = kWorkModeTcpClient;
    settings.IPPort = port;
    Engine().OnOpenPort();
    Socket peer = listener.Accept();
    ASSERT_TRUE(peer.Valid());
    ASSERT_TRUE(PollWhileConnecting());
    ASSERT_EQ(State().shownStatusCode, 1);
    // The server goes away: its listener and its connection.
    listener.Reset();
    peer.Reset();
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode < 0; }));
    // Refused while the server is away; the attempts go on and are shown.
    ASSERT_TRUE(PollUntilAttempt(1));
    EXPECT_EQ(State().reconnectAttempts, 1);
    listener = ReusableListener(port);
    ASSERT_TRUE(listener.Valid());
    ASSERT_TRUE(RunUntil([this] { Poll(); }, [&] { return State().shownStatusCode == 1; }, 6000));
    Socket back = listener.Accept();
    ASSERT_TRUE(back.Valid());
    EXPECT_EQ(State().reconnectAttempts, 0);
    EXPECT_EQ(Pane(0), StrPrintf(LoadStr(kStrTcpClientConnected), "127.0.0.1", port));
    const Lines info = RecordsOf('I');
    ASSERT_FALSE(info.empty());
    EXPECT_EQ(info.back(), settings.DescribePort() + " reconnected (attempt 2)");
    // The new connection carries bytes both ways.
    ASSERT_TRUE(back.SendAll("up\r\n"));
    EXPECT_TRUE(PollUntil([&] { return RecordsOf('R') == Lines{"up\r\n"}; }));
    Engine().SetSendText("again");
    EXPECT_EQ(Engine().OnSendData(), 5);
    EXPECT_EQ(back.Receive(5), "again");
}

TEST_F(Reconnect, WithoutTheSettingALostClientStaysDown) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    peer.Reset();
    listener.Reset();
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode < 0; }));
    const std::string failed = Pane(0);
    // Past the first attempt's time, nothing was tried.
    RunUntil([this] { Poll(); }, [] { return false; }, 2300);
    EXPECT_EQ(State().reconnectAttempts, 0);
    EXPECT_EQ(Pane(0), failed);
}

TEST_F(Reconnect, AVanishedSerialDeviceIsTriedUntilThePortIsClosed) {
    settings.AutoReconnect = 1;
    testing_support::PtyDevice pty;
    OpenSerial(pty.path);
    ASSERT_EQ(State().shownStatusCode, 1);
    pty.CloseMaster();
    ASSERT_TRUE(PollUntil([&] { return State().shownStatusCode == -1; }));
    EXPECT_FALSE(State().controlLines.shown);
    ASSERT_TRUE(PollUntilAttempt(1));
    Engine().OnClosePort();
    EXPECT_EQ(State().reconnectAttempts, 0);
    EXPECT_EQ(Pane(0), settings.DescribePort());
    EXPECT_FALSE(view.Running(kTimerPoll));
}

}  // namespace
}  // namespace qelvor::test
