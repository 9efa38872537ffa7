// The engine in ProtocolMode 1 with a scripted TCP peer: transfers, the link's end, and
// the faults it injects.
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

// A host with an order table answers an instrument's query for two specimens,
// after the instrument's EOT: the orders of the one it knows, then "no
// information" for the other, each its own message.
TEST_F(AstmEngineTest, HostAnswersQueryFromOrderTableOneMessagePerSpecimen) {
    WriteFile(dir.Path() + "orders.csv",
              "Specimen ID,Priority,Test codes,Patient name,Collection time,Action code\n"
              "S1,s,GLU;K,Doe^Jane,20261201083000,N\nS3,R,NA,,,\n");
    std::tie(settings.AstmRole, settings.OrdersFile) =
        std::make_tuple(kAstmRoleHost, dir.Path() + "orders.csv");
    Socket peer = ConnectAsClient();
    const std::string query = Frame(2, "Q|1|^S1\\^S2||ALL||||||||O");
    const std::vector<LineStep> steps = {
        {{kEnq}, kAck},
        {{Frame(1, "H|\\^&")}, kAck},
        {{query}, kAck},
        {{Frame(3, "L|1|N")}, kAck},
        {{kEot}, kEnq},
        {{kAck}, Frame(1, "H|\\^&|||Qelvor|||||||P")},
        {{kAck}, Frame(2, "P|1||||Doe^Jane")},
        {{kAck}, Frame(3, "O|1|S1||^^^GLU\\^^^K|S||20261201083000||||N||||||||||||||O")},
        {{kAck}, Frame(4, "L|1|F")},
        {{kAck}, kEot + kEnq},
        {{kAck}, Frame(1, "H|\\^&|||Qelvor|||||||P")},
        {{kAck}, Frame(2, "L|1|I")},
        {{kAck}, kEot}};
    EXPECT_EQ(Play(peer, steps), Expected(steps));
    const Lines notes = RecordsOf('I');
    EXPECT_EQ(std::count(notes.begin(), notes.end(),
                         "ASTM: query for 2 specimens: orders for S1 sent, no information for S2"),
              1);
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
    EXPECT_EQ(RecordsOf('I').back(),
              switchMode
                  ? "Send message: only with ProtocolMode=1 (the ASTM link) or 2 (HL7 over MLLP)"
                  : "Send message: the port is not connected");
    if (!switchMode) return;
    ASSERT_TRUE(peer.SendAll(kEnq + "abc\r\n"));
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('R') == Lines{kEnq + "abc\r\n"}; }));
    EXPECT_EQ(peer.Receive(1, 50), "") << "the splitter does not answer an ENQ";
}

INSTANTIATE_TEST_SUITE_P(Ways, AstmLinkEnd, testing::Values(true, false));

// A Fault key met by a peer sending one frame: the line and the clock are
// the engine's; the link's own table covers every fault's script.
struct EngineFault {
    const char* name;
    int CComSetting::*key;
    int value;
    std::vector<LineStep> steps;
    Lines faultNotes;
    std::string next;  // what the peer reads after the script: "end" or "quiet"
    int atLeastMs;     // the script cannot have run faster
};

class AstmEngineFaults : public AstmEngineTest, public testing::WithParamInterface<EngineFault> {};

TEST_P(AstmEngineFaults, PeerMeetsTheFaultAndItIsRecorded) {
    const EngineFault& c = GetParam();
    settings.*c.key = c.value;
    settings.RecordLinkEvents = 1;  // a line this end drops is not the peer's doing
    Socket peer = ConnectAsClient();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Play(peer, c.steps), Expected(c.steps));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(c.atLeastMs));
    // What the peer reads next: the connection's end, a stray byte, or nothing.
    std::string next = "quiet";
    RunUntil([this] { Poll(); },
             [&] {
                 char byte;
                 pollfd ready{peer.Fd(), POLLIN, 0};
                 if (poll(&ready, 1, 0) != 1) return false;
                 next = read(peer.Fd(), &byte, 1) == 1 ? std::string(1, byte) : "end";
                 return true;
             },
             100);
    for (int tick = 0; tick < 3; ++tick)  // the port control sees a dropped line at its poll
        Poll();
    Lines faultNotes;
    for (const std::string& note : RecordsOf('I'))
        if (note.starts_with("ASTM: fault: ") || note.ends_with("closed by the peer"))
            faultNotes.push_back(note.starts_with("ASTM") ? note.substr(13) : note);
    EXPECT_EQ(std::make_tuple(faultNotes, next), std::make_tuple(c.faultNotes, c.next));
}

const std::string kHeader = Frame(1, "H|\\^&");

// clang-format off
INSTANTIATE_TEST_SUITE_P(Keys, AstmEngineFaults, testing::Values(
    EngineFault{"DropAfterFrames", &CComSetting::FaultDropAfter, 1,
                {{{kEnq}, kAck}, {{kHeader}, kAck}},
                {"line dropped after 1 frames", "TCP connection closed"}, "end", 0},
    EngineFault{"Delay", &CComSetting::FaultDelayMs, 150,
                {{{kEnq}, kAck}, {{kHeader}, kAck}, {{kEot}, ""}},
                {"ACK held back 150 ms", "ACK held back 150 ms"}, "quiet", 300}),
    [](const testing::TestParamInfo<EngineFault>& row) { return std::string(row.param.name); });
// clang-format on

}  // namespace
}  // namespace qelvor::test
