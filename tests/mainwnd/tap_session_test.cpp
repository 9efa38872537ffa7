// The engine in WorkMode 30: a tap between a simulated analyzer on a pty and
// a host on TCP, each side recorded with its direction, a side that drops
// and comes back, and the send box injecting into a side.
#include <unistd.h>

#include "support/engine_fixture.h"
#include "support/pty_pair.h"

namespace qelvor::test {
namespace {

class TapEngineTest : public EngineTest {
  protected:
    TapEngineTest() {
        std::tie(settings.WorkMode, settings.SplitStrs, settings.CheckSum, settings.AutoReconnect,
                 settings.AutoRestart) =
            std::make_tuple(kWorkModeTap, "<CR><LF>,<ENQ>,<ACK>,<NAK>,<EOT>", 0, 1, 0);
    }
    // Opens the tap between the pty's device (A) and a TCP client of the
    // test's listener (B); the accepted connection.
    Socket OpenTap() {
        listener = Socket::Listen();
        settings.TapA = "serial:" + analyzer.path + ":9600:8N1";
        settings.TapB = "tcp-client:127.0.0.1:" + std::to_string(listener.Port());
        Engine().Exchange().LoadSplitConfig();
        Engine().OnOpenPort();
        Socket host = listener.Accept();
        EXPECT_TRUE(PollUntil([&] { return Pane(1).find(": up") != std::string::npos; }))
            << Pane(1);
        return host;
    }
    // What reached the analyzer's end of the pty, while the engine polls.
    std::string AtAnalyzer(size_t count) {
        std::string got;
        PollUntil([&] {
            char buffer[256];
            const ssize_t n = read(analyzer.master, buffer, sizeof buffer);
            if (n > 0) got.append(buffer, static_cast<size_t>(n));
            return got.size() >= count;
        });
        return got;
    }
    std::string AtHost(const Socket& host, size_t count) {
        std::string got;
        PollUntil([&] { return (got += host.Receive(count - got.size(), 2)).size() >= count; });
        return got;
    }

    testing_support::PtyDevice analyzer;
};

TEST_F(TapEngineTest, BothSidesHearEachOtherAndEachFrameIsRecordedWithItsSide) {
    Socket host = OpenTap();
    const std::string good = Frame(1, "H|\\^&"), bad = good.substr(0, good.size() - 4) + "00\r\n";
    for (const auto& [fromAnalyzer, answer] : std::vector<std::pair<std::string, std::string>>{
             {kEnq, kAck}, {bad, kNak}, {good, kAck}, {kEot, ""}}) {
        ASSERT_TRUE(analyzer.Feed(fromAnalyzer));
        EXPECT_EQ(AtHost(host, fromAnalyzer.size()), fromAnalyzer);
        if (answer.empty()) continue;
        ASSERT_TRUE(host.SendAll(answer));
        EXPECT_EQ(AtAnalyzer(answer.size()), answer);
    }
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('A').size() == 4; }));
    EXPECT_EQ(RecordsOf('A'), (Lines{kEnq, bad, good, kEot}));
    EXPECT_EQ(RecordsOf('B'), (Lines{kAck, kNak, kAck}));
    EXPECT_EQ(Engine().Stats().Counts().badCheckFrames, 1u) << "the frame with checksum 00";
    EXPECT_EQ(RecordsOf('R'), Lines{}) << "nothing is answered or split as received";
    EXPECT_EQ(Pane(0), "A " + analyzer.path.substr(5) + ": up") << "a pty's device as pts/N";
}

// A rule for A's frames answers A itself; the host still hears the frame.
TEST_F(TapEngineTest, ARuleForOneSideAnswersIntoThatSide) {
    settings.Rule1 = "text\tA\t<ENQ>\t<ACK>";
    Socket host = OpenTap();
    ASSERT_TRUE(analyzer.Feed(kEnq));
    EXPECT_EQ(AtAnalyzer(1), kAck);
    EXPECT_EQ(AtHost(host, 1), kEnq);
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('S') == Lines{kAck}; }));
    const Lines notes = RecordsOf('I');
    EXPECT_EQ(
        Lines(notes.end() - 2, notes.end()),
        (Lines{"rule 1 answered", "A " + analyzer.path.substr(5) + ": sent 1 bytes into it"}));
}

// The host drops the connection: A's bytes are still recorded, B reconnects
// after the interval; the send box writes into the side TapSendSide names.
TEST_F(TapEngineTest, ASideThatDropsComesBackWithoutStoppingTheOther) {
    Socket host = OpenTap();
    // The host goes away altogether: B's reconnects find nobody.
    const int port = listener.Port();
    host = Socket();
    listener = Socket();
    ASSERT_TRUE(PollUntil([&] { return Pane(1).find(": waiting") != std::string::npos; }));
    ASSERT_TRUE(analyzer.Feed("alone\r\n"));
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('A') == Lines{"alone\r\n"}; }));
    listener = Socket::Listen(port);
    ASSERT_TRUE(PollUntil([&] { return (host = listener.Accept(2)).Valid(); })) << "B reconnects";
    ASSERT_TRUE(PollUntil([&] { return Pane(1).find(": up") != std::string::npos; }));
    const Lines notes = RecordsOf('I');
    const std::string b = "B 127.0.0.1:" + std::to_string(listener.Port());
    const auto dropped = std::find(notes.begin(), notes.end(), b + ": dropped");
    EXPECT_NE(dropped, notes.end());
    EXPECT_NE(std::find(dropped, notes.end(),
                        b + ": connected; 7 bytes sent to it while it was away were not delivered"),
              notes.end());
    settings.TapSendSide = 1;
    Poll();
    Engine().SetSendText("to host");
    EXPECT_EQ(Engine().OnSendData(), 7);
    EXPECT_EQ(AtHost(host, 7), "to host");
    const Lines typed = Typed();
    EXPECT_EQ(Lines(typed.end() - 2, typed.end()),
              (Lines{"I:" + b + ": the send box writes into it", "S:to host"}));
    // What was lost for B before the port closed is not told again when it
    // next opens: B's new connection is just connected.
    host = Socket();
    listener = Socket();
    ASSERT_TRUE(PollUntil([&] { return Pane(1).find(": waiting") != std::string::npos; }));
    ASSERT_TRUE(analyzer.Feed("late\r\n"));
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('A').size() == 2; }));
    Engine().OnClosePort();
    listener = Socket::Listen(port);
    const size_t before = RecordsOf('I').size();
    Engine().OnOpenPort();
    ASSERT_TRUE(PollUntil([&] { return (host = listener.Accept(2)).Valid(); }));
    ASSERT_TRUE(PollUntil([&] { return Pane(1).find(": up") != std::string::npos; }));
    const Lines after = RecordsOf('I');
    EXPECT_NE(std::find(after.begin() + static_cast<std::ptrdiff_t>(before), after.end(),
                        b + ": connected"),
              after.end());
}

}  // namespace
}  // namespace qelvor::test
