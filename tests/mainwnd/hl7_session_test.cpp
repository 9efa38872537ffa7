// The engine in ProtocolMode 2 over a TCP peer and a pty: answers, sends and the link's end.
#include <unistd.h>

#include "hl7/hl7_ack.h"
#include "hl7/hl7_link.h"
#include "support/engine_fixture.h"
#include "support/pty_pair.h"

namespace qelvor::test {
namespace {

using hl7::CHl7Link;
using hl7::CHl7Message;

const std::string kOru =
    "MSH|^~\\&|LAB|ANALYZER|LIS|HOSP|20261208101500||ORU^R01|MSG42|P|2.5.1\r"
    "PID|1||12345^^^HOSP^MR||Doe^Jane\rOBX|1|NM|GLU^Glucose||5.2|mmol/L\r";

// The message inside an MLLP frame; empty when it is none.
std::optional<CHl7Message> Unframed(const std::string& frame) {
    std::string why;
    if (frame.size() < 3 || frame.front() != '\x0b' || !frame.ends_with("\x1c\r")) return {};
    return CHl7Message::Parse(frame.substr(1, frame.size() - 3), why);
}

class Hl7EngineTest : public EngineTest {
  protected:
    Hl7EngineTest() {
        std::tie(settings.ProtocolMode, settings.AutoRestart, settings.Hl7AckTimeoutMs,
                 settings.Hl7Retries) = std::make_tuple(kProtocolHl7, 0, 150, 1);
    }
    // Reads one whole frame from the pty's far end while the engine polls.
    std::string ReadFrame(int fd) {
        std::string frame;
        PollUntil([&] {
            char byte;
            while (!frame.ends_with("\x1c\r") && read(fd, &byte, 1) == 1)
                frame += byte;
            return frame.ends_with("\x1c\r");
        });
        return frame;
    }
    std::string AckOf(const CHl7Message& message, const std::string& code) {
        return CHl7Link::Frame(hl7::BuildAck(message, {code, "X1", "20260101", ""}));
    }
};

TEST_F(Hl7EngineTest, ReceivedMessageIsAnsweredAndRecordedAsTheLineCarriedIt) {
    Socket peer = ConnectAsClient();
    const std::string frame = CHl7Link::Frame(kOru);
    ASSERT_TRUE(peer.SendAll("x" + frame.substr(0, 40)));
    Poll(3);
    ASSERT_TRUE(peer.SendAll(frame.substr(40)));
    std::string answer;
    ASSERT_TRUE(PollUntil([&] { return (answer += peer.Receive(4096, 2)).ends_with("\x1c\r"); }));
    const auto ack = Unframed(answer);
    ASSERT_TRUE(ack.has_value()) << answer;
    EXPECT_EQ(hl7::ReadAck(*ack)->controlId, "MSG42");
    EXPECT_EQ(Typed(),
              (Lines{"R:x", "I:HL7: 1 bytes outside an MLLP frame: not answered", "R:" + frame,
                     "S:" + answer, "I:HL7: message ORU^R01 id MSG42 from LAB/ANALYZER: AA sent"}));
}

// Over a serial line (a pty): each message waits for its ACK, a refused one
// is resent, and closing the port ends the rest unaccepted.
TEST_F(Hl7EngineTest, SenderWaitsResendsAndEndsWithTheBatchsResult) {
    settings.Hl7Role = kHl7RoleSender;
    testing_support::PtyDevice pty;
    ASSERT_FALSE(pty.path.empty());
    OpenSerial(pty.path);
    SetLines({"MSH|^~\\&|LIS|HOSP|||||ORM^O01|A1|P|2.5.1", "PID|1", "",
              "MSH|^~\\&|LIS|HOSP|||||ORM^O01|A2|P|2.5.1"});
    ASSERT_TRUE(Engine().SendProtocolMessage());
    const auto first = Unframed(ReadFrame(pty.master));
    ASSERT_TRUE(first.has_value());
    ASSERT_TRUE(pty.Feed(AckOf(*first, "AR")));
    EXPECT_EQ(Unframed(ReadFrame(pty.master))->ControlId(), "A1") << "resent";
    ASSERT_TRUE(pty.Feed(AckOf(*first, "AA")));
    const auto second = Unframed(ReadFrame(pty.master));
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->ControlId(), "A2");
    EXPECT_FALSE(Engine().ProtocolMessageResult().has_value());
    Engine().OnClosePort();
    EXPECT_EQ(Engine().ProtocolMessageResult(), false);
    const Lines notes = RecordsOf('I');
    EXPECT_EQ(Lines(notes.end() - 4, notes.end()),
              (Lines{"HL7: ACK for id A1: AR, resent 1 of 1", "HL7: ACK for id A1: AA",
                     "HL7: the link ended: 1 message not acknowledged",
                     "HL7: not every message acknowledged with AA or CA"}));
}

}  // namespace
}  // namespace qelvor::test
