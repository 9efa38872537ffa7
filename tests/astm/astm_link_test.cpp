#include "astm/astm_link.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "link_recorder.h"

namespace qelvor::astm {
namespace {

using Strings = std::vector<std::string>;
using std::chrono::milliseconds;

// Short times, so that every time-out of a scripted exchange is visible.
AstmLinkSettings Quick(bool host) {
    return {host, milliseconds(200), milliseconds(1000), milliseconds(500), milliseconds(100)};
}

std::string Frame(int number, const std::string& text, bool final = true) {
    return CAstmFrame{number, text, final}.Bytes();
}
std::string Shown(const std::string& bytes) {
    return EscapeCtrlChars(bytes);
}

const std::string kEnq = "\x05", kAck = "\x06", kNak = "\x15", kEot = "\x04";

// One step of a scripted peer: at a time, the bytes it sends (none: only the
// clock moves), and what the link must answer.
struct Step {
    int at;
    std::string peer;
    std::string answer;
};

struct SendCase {
    const char* name;
    bool host;
    Strings records;
    std::vector<Step> steps;
    bool acknowledged;
    const char* lastNote;  // nullptr: no note at all
};

void PrintTo(const SendCase& c, std::ostream* os) {
    *os << c.name;
}

class AstmLinkSends : public ::testing::TestWithParam<SendCase> {};

TEST_P(AstmLinkSends, FollowsTheScriptedPeer) {
    const SendCase& c = GetParam();
    LinkRecorder out;
    CAstmLink link(Quick(c.host), out);
    ASSERT_TRUE(link.Send(c.records, milliseconds(0)));
    EXPECT_EQ(out.TakeSent(), "<ENQ>");
    for (const Step& s : c.steps) {
        if (s.peer.empty())
            link.OnTick(milliseconds(s.at));
        else
            link.OnBytes(s.peer, milliseconds(s.at));
        EXPECT_EQ(out.TakeSent(), Shown(s.answer)) << "at " << s.at;
    }
    EXPECT_EQ(out.results, std::vector<bool>{c.acknowledged});
    EXPECT_FALSE(link.HasMessage());
    EXPECT_EQ(link.GetState(), CAstmLink::State::kIdle);
    if (c.lastNote == nullptr) {
        EXPECT_EQ(out.notes, Strings{});
    } else {
        ASSERT_FALSE(out.notes.empty()) << "expected " << c.lastNote;
        EXPECT_EQ(out.notes.back(), c.lastNote);
    }
}

const std::string kR1 = Frame(1, "R|1\r");
const std::string kR2 = Frame(2, "R|2\r");

INSTANTIATE_TEST_SUITE_P(
    Scripts, AstmLinkSends,
    ::testing::Values(
        SendCase{"NakThenSameFrame",
                 false,
                 {"R|1"},
                 {{0, kAck, kR1}, {10, kNak, kR1}, {20, kAck, kEot}},
                 true,
                 nullptr},
        SendCase{"SixNaksThenEot",
                 false,
                 {"R|1"},
                 {{0, kAck, kR1},
                  {1, kNak, kR1},
                  {2, kNak, kR1},
                  {3, kNak, kR1},
                  {4, kNak, kR1},
                  {5, kNak, kR1},
                  {6, kNak, kEot}},
                 false,
                 "the host refused frame 1 six times: EOT"},
        SendCase{"NoReplyToEnq",
                 false,
                 {"R|1"},
                 {{199, "", ""}, {200, "", kEot}},
                 false,
                 "no reply within 200 ms: EOT"},
        SendCase{"NoReplyToFrame",
                 true,
                 {"R|1", "R|2"},
                 {{0, kAck, kR1}, {10, kAck, kR2}, {209, "", ""}, {210, "", kEot}},
                 false,
                 "no reply to frame 2 within 200 ms: EOT"},
        SendCase{
            "EnqRefusedThenRetried",
            false,
            {"R|1"},
            {{0, kNak, ""}, {499, "", ""}, {500, "", kEnq}, {510, kAck, kR1}, {520, kAck, kEot}},
            true,
            "the host refused ENQ: again in 500 ms"},
        SendCase{"DataListEndingInLineBreak",
                 false,
                 CAstmLink::RecordsOfText("R|1\r\n\nR|2\r\n"),
                 {{0, kAck, kR1}, {1, kAck, kR2}, {2, kAck, kEot}},
                 true,
                 nullptr},
        SendCase{
            "InstrumentKeepsItsTurnInContention",
            false,
            {"R|1"},
            {{0, kEnq, ""}, {99, "", ""}, {100, "", kEnq}, {110, kAck, kR1}, {120, kAck, kEot}},
            true,
            "contention: the host's ENQ is ignored; ours again in 100 ms"},
        SendCase{"InstrumentTakesAnAckDuringContention",
                 false,
                 {"R|1"},
                 {{0, kEnq, ""}, {10, kAck, kR1}, {20, kAck, kEot}},
                 true,
                 "contention: the host's ENQ is ignored; ours again in 100 ms"},
        SendCase{"HostYieldsInContentionAndSendsAfterEot",
                 true,
                 {"R|1"},
                 {{0, kEnq, kAck},
                  {10, Frame(1, "Q|1\r"), kAck},
                  {20, kEot, kEnq},
                  {30, kAck, kR1},
                  {40, kAck, kEot}},
                 true,
                 "contention: the instrument goes first; ours follows its EOT"},
        SendCase{
            "HostWaitingToRetryYields",
            true,
            {"R|1"},
            {{0, kNak, ""}, {10, kEnq, kAck}, {20, kEot, kEnq}, {30, kAck, kR1}, {40, kAck, kEot}},
            true,
            "the instrument refused ENQ: again in 500 ms"},
        SendCase{
            "InstrumentWaitingToRetryRefusesEnq",
            false,
            {"R|1"},
            {{0, kNak, ""}, {10, kEnq, kNak}, {500, "", kEnq}, {510, kAck, kR1}, {520, kAck, kEot}},
            true,
            "ENQ while about to send: NAK sent"},
        SendCase{"EnqWhileSendingIsRefused",
                 false,
                 {"R|1"},
                 {{0, kAck, kR1}, {10, kEnq, kNak}, {20, kAck, kEot}},
                 true,
                 "ENQ while sending: NAK sent"},
        SendCase{"EotAfterFrameCountsAsAck",
                 false,
                 {"R|1", "R|2"},
                 {{0, kAck, kR1}, {10, kEot, kR2}, {20, kAck, kEot}},
                 true,
                 "the host asks to interrupt: the message goes on"}),
    [](const ::testing::TestParamInfo<SendCase>& row) { return std::string(row.param.name); });

TEST(AstmLink, SendRefusesEmptyMessagesAndASecondOneWhileBusy) {
    LinkRecorder out;
    CAstmLink link(Quick(false), out);
    EXPECT_FALSE(link.Send({"", ""}, milliseconds(0)));
    EXPECT_EQ(CAstmLink::RecordsOfText("\r\n\n"), (Strings{"", ""}));
    EXPECT_EQ(out.TakeSent(), "");
    ASSERT_TRUE(link.Send({"A"}, milliseconds(0)));
    EXPECT_FALSE(link.Send({"B"}, milliseconds(1)));
    EXPECT_EQ(out.TakeSent(), "<ENQ>");
    EXPECT_EQ(out.notes, (Strings{"nothing to send: every record is empty",
                                  "a message is still under way: the new one is not sent"}));
    link.Abort(milliseconds(2));
    EXPECT_EQ(out.TakeSent(), "<EOT>");
    EXPECT_EQ(out.results, std::vector<bool>{false});
    EXPECT_TRUE(link.Send({"B"}, milliseconds(3)));
}

TEST(AstmLink, ReceiverChecksEveryFrameAndReassemblesRecords) {
    LinkRecorder out;
    CAstmLink link(Quick(true), out);
    std::string badSum = Frame(4, "x\r");
    badSum.replace(badSum.size() - 4, 2, "00");
    const std::vector<Step> steps = {
        {0, kAck, ""},  // no transfer yet: ignored
        {1, kEnq, kAck},
        {2, Frame(1, "P|1\r"), kAck},
        {3, Frame(1, "P|1\r"), kAck},  // our ACK was lost: repeated
        {4, Frame(2, "O|1|", false), kAck},
        {5, Frame(3, "abc\r"), kAck},
        {6, badSum, kNak},
        {7, Frame(6, "x\r"), kNak},
        {8, Frame(4, "x\rC|1\r"), kAck},
        {9, kEot, ""},
        {10, Frame(5, "late\r"), ""},
    };
    for (const Step& s : steps) {
        link.OnBytes(s.peer, milliseconds(s.at));
        EXPECT_EQ(out.TakeSent(), Shown(s.answer)) << "at " << s.at;
    }
    EXPECT_EQ(out.records, (Strings{"P|1", "O|1|abc", "x", "C|1"}));
    EXPECT_EQ(
        out.notes,
        (Strings{"ACK outside a transfer ignored", "frame 1 repeated: ACK sent, kept once",
                 "frame 4: checksum 00, expected BC: NAK sent",
                 "frame 6: expected frame 4: NAK sent", "frame 5 outside a transfer ignored"}));
    EXPECT_EQ(link.GetState(), CAstmLink::State::kIdle);
    EXPECT_TRUE(out.results.empty());
}

TEST(AstmLink, ReceiverIdlesAfterSilenceAndDropsTheOpenRecord) {
    LinkRecorder out;
    CAstmLink link(Quick(false), out);
    link.OnBytes(kEnq, milliseconds(0));
    link.OnBytes(Frame(1, "abc", false) +
                     "\x02"
                     "2de",
                 milliseconds(100));
    EXPECT_EQ(link.Deadline(), milliseconds(1100));
    link.OnTick(milliseconds(1099));
    EXPECT_EQ(link.GetState(), CAstmLink::State::kReceiving);
    link.OnTick(milliseconds(1100));
    EXPECT_EQ(link.GetState(), CAstmLink::State::kIdle);
    EXPECT_EQ(link.Deadline(), std::nullopt);
    EXPECT_EQ(out.TakeSent(), "<ACK><ACK>");
    EXPECT_EQ(out.notes, (Strings{"frame incomplete when the line went quiet: 4 bytes dropped "
                                  "(<STX>2de)",
                                  "no frame within 1 s: the link is idle again",
                                  "transfer ended inside a record: its 3 characters are dropped"}));
    EXPECT_TRUE(out.records.empty());
}

// Two links joined by a wire that the test carries bytes across, with a
// clock that jumps to the next deadline whenever the wire is quiet.
struct Twin {
    Twin() : instrumentOut("instrument", &done), hostOut("host", &done) {}

    // Carries bytes both ways until the wire is quiet.
    void Carry() {
        for (int round = 0; round < 10000; ++round) {
            const std::string up = std::exchange(instrumentOut.sent, {});
            std::string down = std::exchange(hostOut.sent, {});
            if (up.empty() && down.empty()) return;
            upWire += up;
            if (faultOnDown) faultOnDown(down);
            host.OnBytes(up, now);
            instrument.OnBytes(down, now);
        }
        ADD_FAILURE() << "the links never fell quiet";
    }
    void RunToEnd() {
        for (int step = 0; step < 1000; ++step) {
            Carry();
            if (!instrument.HasMessage() && !host.HasMessage()) return;
            const auto a = instrument.Deadline(), b = host.Deadline();
            if (!a && !b) break;
            now = std::min(a.value_or(milliseconds::max()), b.value_or(milliseconds::max()));
            instrument.OnTick(now);
            host.OnTick(now);
        }
        ADD_FAILURE() << "the messages never ended";
    }
    // The frames the instrument put on the wire: number, text length, end.
    Strings UpFrames() const {
        CAstmFrameParser parser;
        std::vector<AstmEvent> events;
        parser.Feed(upWire, events);
        Strings frames;
        for (const AstmEvent& e : events)
            if (e.kind == AstmEvent::kFrame)
                frames.push_back(std::to_string(e.Number()) + (e.final ? " ETX" : " ETB"));
        return frames;
    }

    Strings done;
    LinkRecorder instrumentOut, hostOut;
    CAstmLink instrument{Quick(false), instrumentOut};
    CAstmLink host{Quick(true), hostOut};
    milliseconds now{0};
    std::string upWire;
    std::function<void(std::string&)> faultOnDown;
};

TEST(AstmLinkPair, ThirteenRecordsWrapTheFrameNumber) {
    Twin t;
    Strings records;
    for (int i = 1; i <= 13; ++i)
        records.push_back("R|" + std::to_string(i));
    ASSERT_TRUE(t.instrument.Send(records, t.now));
    t.RunToEnd();
    EXPECT_EQ(t.UpFrames(), (Strings{"1 ETX", "2 ETX", "3 ETX", "4 ETX", "5 ETX", "6 ETX", "7 ETX",
                                     "0 ETX", "1 ETX", "2 ETX", "3 ETX", "4 ETX", "5 ETX"}));
    EXPECT_EQ(t.hostOut.records, records);
    EXPECT_EQ(t.instrumentOut.results, std::vector<bool>{true});
    EXPECT_EQ(t.hostOut.notes, Strings{});
    EXPECT_EQ(t.now, milliseconds(0)) << "no time-out was needed";
}

TEST(AstmLinkPair, LongRecordCrossesAsThreeFramesAndALostAckDoublesNothing) {
    Twin t;
    // The host's first frame ACK arrives as NAK: the frame comes again.
    int acks = 0;
    t.faultOnDown = [&](std::string& down) {
        for (char& c : down)
            if (c == '\x06' && ++acks == 2) c = '\x15';
    };
    std::string record = "O|1|";
    while (record.size() < 600)
        record += char('a' + record.size() % 26);
    ASSERT_TRUE(t.instrument.Send({record, "L|1|N"}, t.now));
    t.RunToEnd();
    EXPECT_EQ(t.UpFrames(), (Strings{"1 ETB", "1 ETB", "2 ETB", "3 ETX", "4 ETX"}));
    EXPECT_EQ(t.hostOut.records, (Strings{record, "L|1|N"}));
    EXPECT_EQ(t.hostOut.notes, Strings{"frame 1 repeated: ACK sent, kept once"});
    EXPECT_EQ(t.instrumentOut.results, std::vector<bool>{true});
}

TEST(AstmLinkPair, ContentionLetsTheInstrumentGoFirst) {
    Twin t;
    ASSERT_TRUE(t.instrument.Send({"R|from instrument"}, t.now));
    ASSERT_TRUE(t.host.Send({"Q|from host"}, t.now));
    t.RunToEnd();
    EXPECT_EQ(t.done, (Strings{"instrument done", "host done"}));
    EXPECT_EQ(t.hostOut.records, Strings{"R|from instrument"});
    EXPECT_EQ(t.instrumentOut.records, Strings{"Q|from host"});
    EXPECT_EQ(t.instrumentOut.results, std::vector<bool>{true});
    EXPECT_EQ(t.hostOut.results, std::vector<bool>{true});
}

}  // namespace
}  // namespace qelvor::astm
