// The HL7 link between a scripted peer and its sink: answers, resends and time-outs.
#include "hl7/hl7_link.h"

#include <utility>

#include <gtest/gtest.h>

#include "config/setting_keys.h"
#include "hl7/hl7_ack.h"

namespace qelvor::hl7 {
namespace {

using Strings = std::vector<std::string>;
using std::chrono::milliseconds;

// What a link under test sends and reports, kept for the test to compare.
struct LinkRecorder : IHl7LinkSink {
    void SendBytes(const std::string& bytes) override { sent.push_back(bytes); }
    void Received(const std::string& bytes) override { received.push_back(bytes); }
    void Note(const std::string& text) override { notes.push_back(text); }
    void MessagesDone(bool allAccepted) override { results.push_back(allAccepted); }
    // The message inside the one frame sent since the last call.
    CHl7Message TakeSent() {
        EXPECT_EQ(sent.size(), 1u);
        const std::string frame = sent.empty() ? std::string() : sent.front();
        sent.clear();
        EXPECT_TRUE(frame.size() > 3 && frame.front() == kStartBlock &&
                    frame.substr(frame.size() - 2) == "\x1c\r");
        std::string why;
        std::optional<CHl7Message> message =
            CHl7Message::Parse(frame.substr(1, frame.size() - 3), why);
        EXPECT_TRUE(message.has_value()) << why;
        return message.value_or(*CHl7Message::Parse("MSH|^~\\&", why));
    }

    Strings sent, received, notes;
    std::vector<bool> results;
};

const std::string kOru =
    "MSH|^~\\&|LAB|ANALYZER|LIS|HOSP|20261208101500||ORU^R01|MSG42|P|2.5.1\r"
    "PID|1||12345^^^HOSP^MR||Doe^Jane\rOBX|1|NM|GLU^Glucose||5.2|mmol/L\r";

std::string WithHeader(const std::string& header) {
    return "MSH|^~\\&|LAB|ANALYZER|LIS|HOSP|" + header + "\rPID|1\r";
}

// A receiver answers each message as set up, in whatever pieces it came.
struct AnswerCase {
    int ackCode;
    std::string message;
    Strings codes;        // MSA-1 of each answer sent
    std::string note;     // the end of the note
    bool orders = false;  // queries are answered from an order table
};

// A query for the orders of S1 and S2; after MSH-12 come the fields of more.
std::string Qbp(const std::string& more = "") {
    return "MSH|^~\\&|LAB|ANALYZER|||||QBP^Q11|Q9|P|2.5.1" + more + "\rQPD|WOS|T1|S1~S2\r";
}

TEST(Hl7LinkReceiver, AnswersEachMessageWithTheCodesItsSetUpAndHeaderAskFor) {
    const std::string lf = "MSH|^~\\&|LAB|ANALYZER|||||ORU^R01|7|P|2.3\nPID|1\n";
    const AnswerCase cases[] = {
        {kHl7AckAccept, kOru, {"AA"}, "ORU^R01 id MSG42 from LAB/ANALYZER: AA sent"},
        {kHl7AckError, kOru, {"AE"}, ": AE sent"},
        {kHl7AckReject, kOru, {"AR"}, ": AR sent"},
        {kHl7AckNone, kOru, {}, ": not answered (Hl7AckCode=3)"},
        {kHl7AckAccept, lf, {"AA"}, ": AA sent (segments ended by LF, not CR)"},
        {kHl7AckAccept, WithHeader("||ORU^R01|8|P|2.5|||AL|NE"), {"CA"}, ": CA sent"},
        {kHl7AckAccept, WithHeader("||ORU^R01|8|P|2.5|||AL|AL"), {"CA", "AA"}, "CA and AA sent"},
        {kHl7AckError, WithHeader("||ORU^R01|8|P|2.5|||SU|ER"), {"CA", "AE"}, "CA and AE sent"},
        {kHl7AckReject, WithHeader("||ORU^R01|8|P|2.5|||ER|AL"), {"CR"}, ": CR sent"},
        {kHl7AckAccept, WithHeader("||ORU^R01|8|P|2.5|||ER|ER"), {}, "(MSH-15 ER, MSH-16 ER)"},
        {kHl7AckAccept, "PID|1\r", {"AR"}, ": AR sent"},
        {kHl7AckAccept, Qbp(), {"AA"}, "QBP^Q11 id Q9 from LAB/ANALYZER: AA sent"},
        {kHl7AckAccept,
         Qbp(),
         {"RSP AA"},
         "Q9 from LAB/ANALYZER: RSP^K11 sent; query for 2 specimens: "
         "orders for S1 sent, no information for S2",
         true},
        {kHl7AckAccept, Qbp("|||AL|NE"), {"CA", "RSP AA"}, "no information for S2", true},
        {kHl7AckError, Qbp(), {"AE"}, ": AE sent", true},
        {kHl7AckNone, Qbp(), {}, ": not answered (Hl7AckCode=3)", true},
    };
    astm::COrderTable table;
    std::string tableWhy;
    ASSERT_TRUE(table.Parse("specimen,tests\nS1,GLU\n", tableWhy));
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.message);
        LinkRecorder sink;
        Hl7LinkSettings settings;
        settings.ackCode = c.ackCode;
        CHl7Link link(settings, sink);
        link.AnswerQueriesFrom(c.orders ? &table : nullptr);
        const std::string frame = CHl7Link::Frame(c.message);
        // Byte by byte, so that no piece holds a whole frame.
        for (const char byte : frame)
            link.OnBytes(std::string_view(&byte, 1), milliseconds(0));
        EXPECT_EQ(sink.received, Strings{frame});
        ASSERT_EQ(sink.notes.size(), 1u);
        EXPECT_TRUE(sink.notes[0].ends_with(c.note)) << sink.notes[0];
        Strings codes;
        for (const std::string& answer : std::exchange(sink.sent, {})) {
            sink.sent = {answer};
            const CHl7Message ack = sink.TakeSent();
            const std::string type = ack.Value("MSH", 9, 1) == "RSP" ? "RSP " : "";
            codes.push_back(type + ReadAck(ack).value_or(AckReading{}).code);
            std::string why;
            const auto read = CHl7Message::Parse(c.message, why);
            EXPECT_EQ(ReadAck(ack)->controlId, read ? read->ControlId() : "");
        }
        EXPECT_EQ(codes, c.codes);
    }
}

TEST(Hl7LinkReceiver, ReportsBytesOutsideFramesAndRefusesAMessageOverTheLimit) {
    LinkRecorder sink;
    Hl7LinkSettings settings;
    settings.maxMessage = 64;
    CHl7Link link(settings, sink);
    const std::string big = CHl7Link::Frame(kOru), small = CHl7Link::Frame(WithHeader("||A|1"));
    link.OnBytes("junk" + big + small + small, milliseconds(0));
    EXPECT_EQ(sink.received, (Strings{"junk", small, small}));
    EXPECT_EQ(sink.notes.size(), 4u);
    EXPECT_EQ(sink.notes[0], "4 bytes outside an MLLP frame: not answered");
    EXPECT_TRUE(sink.notes[1].starts_with("a message of ")) << sink.notes[1];
    EXPECT_EQ(sink.sent.size(), 2u) << "both small messages answered";
}

// A sender waits for the ACK naming its message, resends a refused or late
// one up to the set count, and goes on with the next.
class Hl7LinkSender : public testing::Test {
  protected:
    Hl7LinkSender() {
        settings.ackTimeout = milliseconds(100);
        settings.retries = 2;
    }
    void Answer(const std::string& code, const std::string& id, milliseconds now) {
        std::string why;
        const auto sent = CHl7Message::Parse(WithHeader("||ORU^R01|" + id + "|P|2.5.1"), why);
        link->OnBytes(CHl7Link::Frame(BuildAck(*sent, {code, "A" + id, "20260101", ""})), now);
    }

    Hl7LinkSettings settings;
    LinkRecorder sink;
    std::optional<CHl7Link> link;
};

TEST_F(Hl7LinkSender, FillsIdAndTimeResendsRefusedAndLateMessagesThenGivesUp) {
    link.emplace(settings, sink);
    const Strings messages =
        CHl7Link::MessagesOfLines({"\x0bMSH|^~\\&|LIS|HOSP|||||ORM^O01||P|2.5.1", "PID|1\x1c", "",
                                   "MSH|^~\\&|LIS|HOSP|||"
                                   "20250101||ORM^O01|B2|P|2.5.1",
                                   "MSH|^~\\&|||||||ORM^O01|B3|P|2.5.1"});
    ASSERT_EQ(messages.size(), 3u);
    ASSERT_TRUE(link->Send(messages, milliseconds(0)));
    EXPECT_FALSE(link->Send(messages, milliseconds(0))) << "one batch at a time";
    const CHl7Message first = sink.TakeSent();
    EXPECT_EQ(first.ControlId(), "1");
    EXPECT_EQ(first.Value("MSH", 7).size(), 14u) << "the empty time is filled";
    EXPECT_EQ(first.Segments().size(), 2u);
    Answer("AE", "1", milliseconds(10));
    EXPECT_EQ(sink.TakeSent().Text(), first.Text()) << "resent as it was";
    Answer("AA", "999", milliseconds(20));
    EXPECT_EQ(sink.TakeSent().ControlId(), "1") << "an ACK for another id is no answer";
    Answer("AA", "1", milliseconds(30));
    const CHl7Message second = sink.TakeSent();
    EXPECT_EQ(std::make_pair(second.ControlId(), second.Value("MSH", 7)),
              std::make_pair(std::string("B2"), std::string("20250101")));
    Answer("AA", "1", milliseconds(40));
    EXPECT_TRUE(sink.sent.empty()) << "a second answer to a finished message changes nothing";
    for (int tick = 1; tick <= 2; ++tick) {
        link->OnTick(milliseconds(40 + 100 * tick));
        EXPECT_EQ(sink.TakeSent().ControlId(), "B2");
    }
    link->OnTick(milliseconds(400));
    EXPECT_EQ(sink.TakeSent().ControlId(), "B3") << "given up after two resends";
    Answer("CA", "B3", milliseconds(410));
    EXPECT_EQ(sink.results, std::vector<bool>{false});
    EXPECT_EQ(
        sink.notes,
        (Strings{"messages are still under way: the new ones are not sent",
                 "ACK for id 1: AE, resent 1 of 2",
                 "ACK for id 999: AA, which does not answer id 1, resent 2 of 2",
                 "ACK for id 1: AA",
                 "ACK for id 1: AA, a further answer to a message already acknowledged",
                 "no ACK for id B2 within 100 ms, resent 1 of 2",
                 "no ACK for id B2 within 100 ms, resent 2 of 2",
                 "no ACK for id B2 within 100 ms, given up after 2 resends", "ACK for id B3: CA"}));
}

TEST_F(Hl7LinkSender, TimeIdsAreUniqueAndAbortEndsTheBatchUnaccepted) {
    settings.timeIds = true;
    const auto moment = std::chrono::system_clock::time_point(std::chrono::hours(500000));
    link.emplace(settings, sink, [moment] { return moment; });
    ASSERT_TRUE(link->Send({WithHeader("||A|"), WithHeader("||A|")}, milliseconds(0)));
    const std::string id = sink.TakeSent().ControlId();
    EXPECT_EQ(id.size(), 20u);
    Answer("AA", id, milliseconds(1));
    const std::string next = sink.TakeSent().ControlId();
    EXPECT_EQ(next.substr(0, 17), id.substr(0, 17));
    EXPECT_NE(next, id);
    link->Abort();
    EXPECT_EQ(sink.results, std::vector<bool>{false});
    EXPECT_FALSE(link->Sending());
}

}  // namespace
}  // namespace qelvor::hl7
