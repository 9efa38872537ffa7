// The engine in ProtocolMode 1 with a scripted TCP peer: transfers, and the link's end.
#include "support/engine_fixture.h"

namespace qelvor::test {
namespace {

class AstmEngineTest : public EngineTest {
  protected:
    AstmEngineTest() {
        std::tie(settings.ProtocolMode, settings.AutoRestart, settings.SplitStrs) =
            std::make_tuple(kProtocolAstm, 0, "<CR><LF>");
    }
    std::string Play(const Socket& peer, const std::vector<LineStep>& steps) {
        return PlaySteps(peer, steps, [this] { Poll(); });
    }
};

TEST_F(AstmEngineTest, PeersTransferIsAnsweredAndRecordedAsTheLineCarriedIt) {
    Socket peer = ConnectAsClient();
    const std::string header = Frame(1, "H|\\^&"), patient = Frame(2, "P|1");
    std::string bad = patient;
    bad.replace(bad.size() - 4, 2, "00");
    const std::vector<LineStep> steps = {
        {{kEnq}, kAck}, {{header.substr(0, 1), header.substr(1, 4), header.substr(5)}, kAck},
        {{bad}, kNak},  {{patient}, kAck},
        {{kEot}, ""},
    };
    EXPECT_EQ(Play(peer, steps), Expected(steps));
    ASSERT_TRUE(PollUntil([&] { return Typed().back() == "R:" + kEot; }));
    const std::string sum = patient.substr(patient.size() - 4, 2);
    EXPECT_EQ(Typed(), (Lines{"R:" + kEnq, "S:" + kAck, "R:" + header, "S:" + kAck,
                              "I:record: H|\\^&", "R:" + bad, "S:" + kNak,
                              "I:ASTM: frame 2: checksum 00, expected " + sum + ": NAK sent",
                              "R:" + patient, "S:" + kAck, "I:record: P|1", "R:" + kEot}));
    // The refused frame is the one the statistics count as bad.
    EXPECT_EQ(std::make_tuple(State().bufferText, Engine().Stats().Counts().badCheckFrames),
              std::make_tuple("", 1u));
}

// Leaving ProtocolMode 1, or closing the port, ends an unanswered message with
// EOT and refuses "Send message"; after the switch the splitter gets the bytes.
class AstmLinkEnd : public AstmEngineTest, public testing::WithParamInterface<bool> {};

TEST_P(AstmLinkEnd, AbortsTheMessageWithEotAndRefusesTheNext) {
    const bool switchMode = GetParam();
    Socket peer = ConnectAsClient();
    SetLines({"H|\\^&"});
    ASSERT_TRUE(Engine().SendProtocolMessage());
    EXPECT_EQ(Play(peer, {{{}, kEnq}}), kEnq);
    if (switchMode) {
        settings.ProtocolMode = kProtocolConfigurable;
        Engine().OnSetPort(true);
    } else {
        Engine().OnClosePort();
    }
    EXPECT_EQ(std::make_tuple(peer.Receive(1), Engine().ProtocolMessageResult()),
              std::make_tuple(kEot, false));
    EXPECT_FALSE(Engine().SendProtocolMessage());
    EXPECT_EQ(RecordsOf('I').back(), switchMode
                                         ? "Send message: only with ProtocolMode=1 (the ASTM link) or 2 (HL7 over MLLP)"
                                         : "Send message: the port is not connected");
    if (!switchMode) return;
    ASSERT_TRUE(peer.SendAll(kEnq + "abc\r\n"));
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('R') == Lines{kEnq + "abc\r\n"}; }));
    EXPECT_EQ(peer.Receive(1, 50), "") << "the splitter does not answer an ENQ";
}

INSTANTIATE_TEST_SUITE_P(Ways, AstmLinkEnd, testing::Values(true, false));

}  // namespace
}  // namespace qelvor::test
