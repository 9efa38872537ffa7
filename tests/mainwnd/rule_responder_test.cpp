// The trigger rules inside the engine, against a loopback peer.
#include "mainwnd/rule_responder.h"

#include <gmock/gmock.h>

#include "support/engine_fixture.h"

namespace qelvor::test {
namespace {

using Clock = std::chrono::steady_clock;

class RuleResponderTest : public EngineTest {
  protected:
    // Polls until the peer has count bytes; what it got.
    std::string PollForBytes(const Socket& peer, size_t count) {
        std::string got;
        PollUntil([&] { return (got += peer.Receive(count - got.size(), 2)).size() >= count; });
        return got;
    }
    void Deliver(const Socket& peer, const std::string& frame) {
        const size_t before = RecordsOf('R').size();
        ASSERT_TRUE(peer.SendAll(frame));
        ASSERT_TRUE(PollUntil([&] { return RecordsOf('R').size() > before; }));
    }
};

TEST_F(RuleResponderTest, DelayedRegexAnswerTakesPlaceOfTheResponseOnceThenStepsAside) {
    settings.HandShake = 1;  // the set's responses: <ACK> for a line
    settings.Rule1 = "regex\tR\t^\\x02\\d(Q\\|\\d\\|\\^(\\w+))\t<STX>$2<ETX>\tdelay=50\tonce";
    settings.Rule2 = "text\tR\tNOISE\t";
    Socket peer = ConnectAsClient();
    const std::string query =
        "\x02"
        "1Q|1|^SID42\r\n";
    const Clock::time_point sent = Clock::now();
    Deliver(peer, query);
    EXPECT_EQ(Engine().TriggerRules().Waiting(), 1u);
    EXPECT_EQ(PollForBytes(peer, 7), "\x02SID42\x03");
    EXPECT_GE(Clock::now() - sent, std::chrono::milliseconds(50));
    // Used up, the rule leaves the same query to the set's response; a rule
    // without an answer keeps that response from its frame.
    for (const char* frame : {"\x02"
                              "1Q|1|^SID42\r\n",
                              "NOISE\r\n", "other\r\n"})
        Deliver(peer, frame);
    EXPECT_EQ(PollForBytes(peer, 2), "\x06\x06");
    EXPECT_EQ(Typed(),
              (Lines{"R:" + query, "I:rule 1 answered", "S:\x02SID42\x03", "R:" + query, "S:\x06",
                     "R:NOISE\r\n", "I:rule 2 matched, nothing to send", "R:other\r\n", "S:\x06"}));
}

TEST_F(RuleResponderTest, HeartbeatsWhileConnectedAndWaitingAnswersStayBounded) {
    CComSetting bad;  // a bad rule of a set is told, and none of its rules is used
    std::tie(bad.Rule1, bad.Rule2) = std::make_tuple("text\tR\tx\ty", "text R x y");
    CMsgExchange exchange(bad);
    CRuleResponder responder(exchange);
    responder.Load(bad);
    EXPECT_TRUE(responder.Rules().empty());
    EXPECT_THAT(exchange.Record(0).Data(), testing::StartsWith("Trigger rules not used: Rule2:"));

    settings.Rule1 = "timer\tR\t30\t<ENQ>\ttimes=2";
    settings.Rule2 = "text\tR\tx\tlate\tdelay=600000";
    Poll(5);
    const Clock::time_point opened = Clock::now();
    Socket peer = ConnectAsClient();
    EXPECT_EQ(PollForBytes(peer, 2), "\x05\x05");
    EXPECT_GE(Clock::now() - opened, std::chrono::milliseconds(60));
    // A flood of frames for a delayed rule: the queue keeps its cap, the rest
    // is counted and told.
    std::string flood;
    for (int i = 0; i < 300; ++i)
        flood += "x\r\n";
    ASSERT_TRUE(peer.SendAll(flood));
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('R').size() == 300; }));
    Poll();
    EXPECT_EQ(Engine().TriggerRules().Waiting(), CRuleResponder::kMaxWaiting);
    EXPECT_EQ(Engine().TriggerRules().Dropped(), 300 - CRuleResponder::kMaxWaiting);
    EXPECT_THAT(RecordsOf('I'), testing::Contains(testing::MatchesRegex(
                                    "Trigger rules: [0-9]+ delayed answers dropped, 256 were "
                                    "waiting")));
    EXPECT_EQ(RecordsOf('S'), (Lines{"\x05", "\x05"}));
}

}  // namespace
}  // namespace qelvor::test
