#include <sys/socket.h>
#include <unistd.h>

#include "mainwnd/engine_fixture.h"
#include "support/pty_pair.h"

namespace qelvor::test {
namespace {

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
// it vanishes, and comes back as another pty behind the same name.
TEST_F(Reconnect, AVanishedSerialDeviceIsReopenedWhenItsNameIsBack) {
    settings.AutoReconnect = 1;
    testing_support::PtyDevice first, second;
    const std::string link = dir.File("adapter");
    ASSERT_EQ(symlink(first.path.c_str(), link.c_str()), 0);
    OpenSerial(link);
    ASSERT_EQ(State().shownStatusCode, 1);
    first.CloseMaster();
    ASSERT_TRUE(PollUntilCode(-1));
    ASSERT_TRUE(PollUntilAttempt(1));
    ASSERT_EQ(unlink(link.c_str()), 0);
    ASSERT_EQ(symlink(second.path.c_str(), link.c_str()), 0);
    ASSERT_TRUE(PollUntilCode(1));
    EXPECT_TRUE(State().controlLines.shown);
    ASSERT_TRUE(second.Feed("B\r\n"));
    EXPECT_TRUE(PollUntil([&] { return RecordsOf('R') == Lines{"B\r\n"}; }));
    Engine().OnClosePort();
    EXPECT_EQ(Pane(0), settings.DescribePort());
}

}  // namespace
}  // namespace qelvor::test
