#include "astm/astm_link.h"

#include <poll.h>
#include <unistd.h>

#include <sstream>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "data/ctrl_char_notation.h"
#include "ports/serial_port.h"
#include "support/pty_pair.h"

namespace qelvor::astm {
namespace {

using Strings = std::vector<std::string>;
using std::chrono::milliseconds;

// What a link under test sends and reports, kept for the test to compare.
struct LinkRecorder : IAstmLinkSink {
    void SendBytes(const std::string& bytes) override { sent += bytes; }
    void Note(const std::string& text) override { notes.push_back(text); }
    void RecordReceived(const std::string& record) override { records.push_back(record); }
    void MessageDone(bool allAcknowledged) override { results.push_back(allAcknowledged); }
    void DropLine() override { ++drops; }
    // The bytes sent since the last call, in notation.
    std::string TakeSent() { return EscapeCtrlChars(std::exchange(sent, {})); }

    std::string sent;
    std::vector<std::string> notes, records;
    std::vector<bool> results;
    int drops = 0;
};

// Short times, so that every time-out of a scripted exchange is visible.
AstmLinkSettings Quick(bool host) {
    return {host, milliseconds(200), milliseconds(1000), milliseconds(500), milliseconds(100)};
}

std::string Frame(int number, const std::string& text, bool final = true) {
    return CAstmFrame{number, text, final}.Bytes();
}

// The letters of a script: A ACK, N NAK, Q ENQ, E EOT, 1 and 2 the frames of
// the records "R|1" and "R|2", q the peer's frame "Q|1", b frame 1 of "R|1"
// with the checksum 00 (40 is right).
std::string Bytes(std::string_view letters) {
    std::string bytes;
    for (char c : letters) {
        if (c == 'b') bytes += UnescapeCtrlChars("<STX>1R|1<CR><ETX>00<CR><LF>");
        const size_t control = std::string_view("ANQE").find(c);
        if (control != std::string_view::npos) bytes += "\x06\x15\x05\x04"[control];
        if (c == '1' || c == '2') bytes += Frame(c - '0', std::string("R|") + c + "\r");
        if (c == 'q') bytes += Frame(1, "Q|1\r");
    }
    return bytes;
}

// Script steps "ms:peer>answer": at that time the peer sends (-: nothing, the
// clock moves; x: the user aborts) and the link must answer; lastNote "": none.
struct SendCase {
    const char* name;
    bool host;
    const char *dataList, *script;
    bool acknowledged;
    const char* lastNote;
    // Faults the link injects; what it received and how often it dropped the line.
    AstmFaultPlan plan = {};
    Strings records = {};
    int drops = 0;
};

class AstmLinkSends : public ::testing::TestWithParam<SendCase> {};

TEST_P(AstmLinkSends, FollowsTheScriptedPeer) {
    const SendCase& c = GetParam();
    LinkRecorder out;
    CAstmLink link(Quick(c.host), out, c.plan);
    if (c.dataList != nullptr) {  // else the link only receives
        ASSERT_TRUE(link.Send(CAstmLink::RecordsOfText(c.dataList), milliseconds(0)));
        EXPECT_EQ(out.TakeSent(), "<ENQ>");
    }
    std::istringstream steps(c.script);
    for (std::string step; steps >> step;) {
        const milliseconds at(std::stoi(step));
        const std::string peer =
            step.substr(step.find(':') + 1, step.find('>') - step.find(':') - 1);
        if (peer == "x")
            link.Abort(at);
        else if (peer == "-")
            link.OnTick(at);
        else
            link.OnBytes(Bytes(peer), at);
        EXPECT_EQ(out.TakeSent(), EscapeCtrlChars(Bytes(step.substr(step.find('>') + 1)))) << step;
    }
    EXPECT_EQ(
        std::make_tuple(out.results, link.HasMessage(), link.GetState(),
                        out.notes.empty() ? "" : out.notes.back(), out.records, out.drops),
        std::make_tuple(c.dataList ? std::vector<bool>{c.acknowledged} : std::vector<bool>{}, false,
                        CAstmLink::State::kIdle, std::string(c.lastNote), c.records, c.drops));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Scripts, AstmLinkSends, ::testing::Values(
    SendCase{"NakThenSameFrame", false, "R|1", "0:A>1 1:N>1 2:A>E", true, ""},
    SendCase{"SixNaksThenEot", false, "R|1", "0:A>1 1:N>1 2:N>1 3:N>1 4:N>1 5:N>1 6:N>E", false,
             "the host refused frame 1 six times: EOT"},
    SendCase{"NoReplyToEnq", false, "R|1", "199:-> 200:->E", false, "no reply within 200 ms: EOT"},
    SendCase{"NoReplyToFrame", true, "R|1\nR|2", "0:A>1 10:A>2 209:-> 210:->E", false,
             "no reply to frame 2 within 200 ms: EOT"},
    SendCase{"EnqRefusedThenRetried", false, "R|1", "0:N> 499:-> 500:->Q 510:A>1 520:A>E", true,
             "the host refused ENQ: again in 500 ms"},
    SendCase{"DataListEndingInLineBreak", false, "R|1\r\n\nR|2\n", "0:A>1 1:A>2 2:A>E", true, ""},
    SendCase{"InstrumentKeepsItsTurn", false, "R|1", "0:Q> 99:-> 100:->Q 110:A>1 120:A>E",
             true, "contention: the host's ENQ is ignored; ours again in 100 ms"},
    SendCase{"HostYieldsThenSendsAfterEot", true, "R|1", "0:Q>A 10:q>A 20:E>Q 30:A>1 40:A>E",
             true, "contention: the instrument goes first; ours follows its EOT", {}, {"Q|1"}},
    SendCase{"InstrumentAboutToSendRefusesEnq", false, "R|1", "0:N> 10:Q>N 500:->Q 510:A>1 520:A>E",
             true, "ENQ while about to send: NAK sent"},
    SendCase{"EotAfterFrameCountsAsAck", false, "R|1\nR|2", "0:A>1 10:E>2 20:A>E", true,
             "the host asks to interrupt: the message goes on"},
    SendCase{"AbortEndsTheTransfer", false, "R|1", "0:A>1 5:x>E", false, "message aborted: EOT"},
    SendCase{"FaultWrongChecksumTwice", false, "R|1", "0:A>b 1:N>b 2:N>1 3:A>E", true,
             "fault: frame 1 sent with checksum 00 instead of 40", {.badChecksums = 2}},
    SendCase{"FaultGoodFrameRefused", true, nullptr, "0:Q>A 1:1>N 2:1>A 3:E>", false,
             "fault: NAK sent for the good frame 1", {.naks = 1}, {"R|1"}},
    SendCase{"FaultAckWithheldThenResendTaken", true, nullptr, "0:Q>A 1:1> 200:1>A 201:E>", false,
             "fault: ACK withheld for frame 1", {.withheldAcks = 1}, {"R|1"}},
    SendCase{"FaultInstrumentRepeatsItsEnq", true, nullptr, "0:Q>Q 1000:Q>A 1001:1>A 1002:E>",
             false, "fault: ENQ answered with ENQ", {.enqContentions = 1}, {"R|1"}},
    SendCase{"FaultHostAcceptsOurEnqAndGetsEot", false, nullptr, "0:Q>Q 1:A>E 2:Q>A 3:E>", false,
             "fault: the host accepted the ENQ we answered with: EOT sent", {.enqContentions = 1}},
    SendCase{"FaultDroppedAfterSecondFrameReceived", true, nullptr, "0:Q>A 1:1>A 2:2Q1>A 3:E>",
             false, "fault: line dropped after 2 frames", {.dropAfterFrames = 2}, {"R|1", "R|2"}, 1},
    SendCase{"FaultDroppedAfterFirstFrameSent", false, "R|1\nR|2", "0:A>1", false,
             "fault: line dropped after 1 frames", {.dropAfterFrames = 1}, {}, 1},
    SendCase{"FaultEveryAnswerDelayed", true, nullptr,
             "0:Q> 199:-> 200:->A 201:1> 400:-> 401:->A 402:E>", false, "fault: ACK held back 200 ms",
             {.answerDelay = milliseconds(200)}, {"R|1"}}),
    [](const ::testing::TestParamInfo<SendCase>& row) { return std::string(row.param.name); });
// clang-format on

TEST(AstmLink, ReceiverChecksEveryFrameReassemblesRecordsAndIdlesAfterSilence) {
    LinkRecorder out;
    CAstmLink link(Quick(true), out);
    // clang-format off
    const std::pair<std::string, const char*> steps[] = {
        {"\x06", ""},  // no transfer yet: ignored
        {"\x05", "<ACK>"}, {Frame(1, "P|1\r"), "<ACK>"},
        {Frame(1, "P|1\r"), "<ACK>"},  // our ACK was lost: repeated
        {Frame(2, "O|1|", false), "<ACK>"}, {Frame(3, "abc\r"), "<ACK>"},
        {UnescapeCtrlChars("<STX>4x<CR><ETX>00<CR><LF>"), "<NAK>"}, {Frame(6, "x\r"), "<NAK>"},
        {Frame(4, "x\rC|1\r"), "<ACK>"},  // two records in one frame
        {"\x04", ""}, {Frame(5, "late\r"), ""},
        {"\x05" + Frame(1, "abc", false) + UnescapeCtrlChars("<STX>2de"), "<ACK><ACK>"}};
    // clang-format on
    for (size_t i = 0; i < std::size(steps); ++i) {
        link.OnBytes(steps[i].first, milliseconds(i));
        EXPECT_EQ(out.TakeSent(), steps[i].second) << "step " << i;
    }
    link.OnTick(milliseconds(1010));
    EXPECT_EQ(link.GetState(), CAstmLink::State::kReceiving);
    link.OnTick(milliseconds(1011));  // a second after the last frame
    EXPECT_EQ(link.GetState(), CAstmLink::State::kIdle);
    EXPECT_EQ(out.records, (Strings{"P|1", "O|1|abc", "x", "C|1"}));
    EXPECT_EQ(out.notes,
              (Strings{"ACK outside a transfer ignored", "frame 1 repeated: ACK sent, kept once",
                       "frame 4: checksum 00, expected BC: NAK sent",
                       "frame 6: expected frame 4: NAK sent", "frame 5 outside a transfer ignored",
                       "frame incomplete when the line went quiet: 4 bytes dropped (<STX>2de)",
                       "no frame within 1 s: the link is idle again",
                       "transfer ended inside a record: its 3 characters are dropped"}));
}

using Clock = std::chrono::steady_clock;

// Thirteen records, so that the frame number wraps, one of 600 characters
// (three frames).
const Strings kMessage =
    CAstmLink::RecordsOfText("H|\\^&|||analyser\nP|1\nO|1|SID42\n" + std::string(600, 'c') +
                             "\nR|1\nR|2\nR|3\nR|4\nR|5\nR|6\nR|7\nC|1\nL|1|N");
const Strings kQuery = {"H|\\^&", "Q|1|^SID42", "L|1|N"};

// Two links over a serial port on a pty pair; the master side writes each piece
// in two parts 2 ms apart, cut inside the text (AstmFrameParser's test cuts at
// every position).
TEST(AstmOverRealLines, BothSendAtOnceTheInstrumentFirstAndEveryRecordArrivesWhole) {
    constexpr size_t cut = 9;
    testing_support::PtyDevice pty;
    StreamPort::CSerialPort serial;
    serial.SetComParam(0, 115200, pty.path.c_str());
    ASSERT_EQ(serial.Open(), 1);
    auto read = [&](int end) {
        char buf[4096];
        pollfd ready{pty.master, POLLIN, 0};
        const ssize_t n = end == 1
                              ? (serial.WaitForData(1) > 0 ? serial.Read(buf, sizeof buf) : 0)
                              : (poll(&ready, 1, 1) == 1 ? ::read(pty.master, buf, sizeof buf) : 0);
        return std::string(buf, size_t(std::max<ssize_t>(n, 0)));
    };
    auto write = [&](int end, std::string_view bytes) {
        if (end == 1) return void(serial.WriteString(std::string(bytes)));
        pty.Feed(bytes.substr(0, cut));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        pty.Feed(bytes.substr(std::min(cut, bytes.size())));
    };

    LinkRecorder out[2];
    CComSetting hostSettings;
    hostSettings.AstmRole = kAstmRoleHost;
    CAstmLink instrument(AstmLinkSettings{}, out[0]);
    CAstmLink host(AstmLinkSettings::From(hostSettings), out[1]);
    CAstmLink* links[2] = {&instrument, &host};
    const auto start = Clock::now();
    auto now = [&] { return std::chrono::duration_cast<Millis>(Clock::now() - start); };
    ASSERT_TRUE(instrument.Send(kMessage, now()) && host.Send(kQuery, now()));
    bool instrumentFirst = false;
    while (now() < std::chrono::seconds(10) && (instrument.HasMessage() || host.HasMessage())) {
        for (int end = 0; end < 2; ++end) {
            links[end]->OnBytes(read(end), now());
            links[end]->OnTick(now());
            if (!out[end].sent.empty()) write(end, std::exchange(out[end].sent, {}));
        }
        instrumentFirst |= !instrument.HasMessage() && host.HasMessage();
    }
    EXPECT_TRUE(instrumentFirst);
    EXPECT_EQ(std::make_tuple(out[1].records, out[0].records, out[0].results, out[1].results),
              std::make_tuple(kMessage, kQuery, std::vector<bool>{true}, std::vector<bool>{true}));
    // The host's ENQ was out before it saw the instrument's: both met contention.
    EXPECT_EQ(out[1].notes, Strings{"contention: the instrument goes first; ours follows its EOT"});
    EXPECT_EQ(out[0].notes, Strings{"contention: the host's ENQ is ignored; ours again in 1 s"});
}

}  // namespace
}  // namespace qelvor::astm
