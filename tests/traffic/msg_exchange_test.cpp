// The exchange fed real byte blocks; it writes to a UDP peer (a datagram a response) or a pty.
#include "traffic/msg_exchange.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "data/ctrl_char_notation.h"
#include "ports/serial_port.h"
#include "ports/tcp_port.h"
#include "ports/udp_port.h"
#include "support/loopback.h"
#include "support/pty_pair.h"
#include "support/temp_folder.h"
#include "traffic/data_list.h"
#include "traffic/exchange_view.h"
#include "traffic/record_log.h"

namespace qelvor {
namespace {

using Strings = std::vector<std::string>;
const std::string kAck("\x06"), kNak("\x15"), kEot("\x04"), kEnq("\x05"), kEtx("\x03"),
    kStx("\x02");

// The view and the continuous log: records what the exchange tells them.
class RecordingView : public IExchangeView, public IRecordLog {
  public:
    void OnRecordCountChanged(size_t count) override {
        counts.push_back(count);
        if (onCount) std::exchange(onCount, nullptr)();
    }
    void ScrollToNewest() override {}
    std::string GetSendText() override { return sendText; }
    void SetBufferText(const std::string& text) override { bufferText = text; }
    void LogRecord(const CMsgRecord& record) override { logged.push_back(record.Data()); }
    std::vector<size_t> counts;
    std::string sendText, bufferText;
    Strings logged;
    std::function<void()> onCount;  // run once, at the next count change
};

class ExchangeTest : public testing::Test {
  protected:
    void SetUp() override {
        port_.SetNetParam(0, peer_.Port(), htonl(INADDR_LOOPBACK));
        ASSERT_EQ(port_.Open(), 1);
        settings_.ExeDir = dir_.Path();
        settings_.HandShake = 1;
        exchange_.InitExchange(&view_, &dataList_, &port_);
    }
    // Sends through a serial line on the pty instead of the UDP port.
    void UseSerial() {
        serial_.SetComParam(0, 9600, pty_.path.c_str());
        ASSERT_EQ(serial_.Open(), 1);
        exchange_.InitExchange(nullptr, nullptr, &serial_);
    }
    void Feed(const std::string& block) {
        exchange_.OnReceive(block.data(), static_cast<int>(block.size()));
    }
    Strings RecordsOf(char type) const {
        Strings data;
        for (const CMsgRecord& record : exchange_.Records())
            if (record.Type() == type) data.push_back(record.Data());
        return data;
    }
    // Every datagram the peer got until none has come for 100 ms.
    Strings Drain() {
        Strings datagrams;
        int from = 0;
        for (std::string d; !(d = peer_.Receive(70000, 100, &from)).empty();)
            datagrams.push_back(d);
        return datagrams;
    }

    testing_support::TempFolder dir_;
    CComSetting settings_ = CComSetting::Loaded(dir_.File("t.ini"));
    loopback::Peer peer_ = loopback::Peer::Udp();
    StreamPort::CUDPPort port_;
    testing_support::PtyDevice pty_;
    StreamPort::CSerialPort serial_;
    CDataList dataList_;
    RecordingView view_;
    CMsgExchange exchange_{settings_};
};

TEST_F(ExchangeTest, StoreSendsLogsClearsAndRecordsFailedWrites) {
    EXPECT_EQ(exchange_.SendBytes(kAck, true) + exchange_.SendBytes("abc", false), 4);
    EXPECT_EQ(std::make_tuple(Drain(), RecordsOf('S')),
              std::make_tuple(Strings{kAck, "abc"}, Strings{kAck}));
    exchange_.SetRecordLog(&view_);
    exchange_.AddRecord('I', "off");
    settings_.AutoSaveLog = 1;
    exchange_.AddRecord('I', "on");
    EXPECT_EQ(view_.logged, Strings{"on"});
    exchange_.ClearAll();
    exchange_.ClearAll();  // an empty store tells the view nothing
    // One clear of a store that held records.
    EXPECT_EQ(std::make_tuple(view_.counts, exchange_.Generation()),
              std::make_tuple(std::vector<size_t>{1, 2, 3, 0}, 1u));
    // A datagram too large to send fails on an open port, with no explanation.
    EXPECT_LT(exchange_.SendBytes(std::string(70000, 'x'), true), 1);
    EXPECT_EQ(exchange_.LastSendFailure(), "");
    // A write through the closed port is recorded as an error and splitting goes on.
    port_.Close();
    EXPECT_LT(exchange_.SendBytes(kAck, true), 1);
    EXPECT_EQ(exchange_.LastSendFailure(), "port not open");
    Feed(kEnq + "abc\r\nrest\r");
    EXPECT_EQ(std::make_tuple(RecordsOf('I'), RecordsOf('R'), view_.bufferText),
              std::make_tuple(Strings(3, kSendErrorText), Strings{kEnq + "abc\r\n"}, "rest<CR>"));
}

// A far end that stops reading and goes away: 'S' holds what was written, an 'I' the rest.
TEST_F(ExchangeTest, PartialWriteRecordsTheBytesThatLeft) {
    ASSERT_NO_FATAL_FAILURE(UseSerial());
    std::thread closer = testing_support::CloseOnceStalled(std::exchange(pty_.master, -1));
    EXPECT_EQ(exchange_.SendBytes(std::string(200000, 'x'), true), 200000);
    EXPECT_TRUE(RecordsOf('S').empty()) << "recorded before its bytes went out";
    closer.join();
    exchange_.DrainOutgoing();
    EXPECT_TRUE(exchange_.Outgoing().Empty());
    const Strings sent = RecordsOf('S');
    ASSERT_EQ(sent.size(), 1u);
    const size_t written = sent[0].size();
    ASSERT_TRUE(written > 0 && written < 200000) << written;
    EXPECT_EQ(sent[0], std::string(written, 'x'));
    EXPECT_EQ(RecordsOf('I'), Strings{"Send data: " + std::to_string(200000 - written) +
                                      " of 200000 bytes were not sent"});
}

// A far end that reads nothing: a send ends after 5 s with what went out; the next gets its own.
TEST_F(ExchangeTest, AStalledSerialLineEndsASendAfterFiveSeconds) {
    ASSERT_NO_FATAL_FAILURE(UseSerial());
    EXPECT_EQ(exchange_.SendBytes(std::string(200000, 'x'), true), 200000);
    EXPECT_EQ(exchange_.SendBytes("next", true), 4);
    const auto start = std::chrono::steady_clock::now();
    while (exchange_.Outgoing().Count() == 2 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
        exchange_.DrainOutgoing();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, CMsgExchange::kSerialStallLimit);
    const Strings sent = RecordsOf('S');
    ASSERT_EQ(sent.size(), 1u);
    // The next send waits its own turn.
    EXPECT_EQ(std::make_tuple(RecordsOf('I'), exchange_.Outgoing().Count()),
              std::make_tuple(
                  Strings{CMsgExchange::UnsentText("Send data", int(sent[0].size()), 200000)}, 1u));
}

// A TCP peer that reads nothing: sends return at once, at most the queue's cap
// waits, the rest is dropped and told; the peer then gets the 'S' records' bytes.
TEST_F(ExchangeTest, APeerThatDoesNotReadGetsTheQueuedSendsInOrderAndTheRestIsCounted) {
    const loopback::Peer listener = loopback::Peer::Listen();
    StreamPort::CTCPPort tcp;
    tcp.SetNetParam(1, listener.Port(), htonl(INADDR_LOOPBACK));
    ASSERT_EQ(tcp.Open(), 1);
    const loopback::Peer reader = listener.Accept();
    while (tcp.PollConnect() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    exchange_.InitExchange(nullptr, nullptr, &tcp);
    constexpr size_t kSends = 40, kSize = 1 << 20;
    for (size_t i = 0; i < kSends; ++i) {
        EXPECT_GE(exchange_.SendBytes(std::string(kSize, char('a' + i)), true), 0);
        exchange_.DrainOutgoing();
        EXPECT_LE(exchange_.Outgoing().Bytes(), COutgoingQueue::kCap);
    }
    EXPECT_GT(exchange_.Outgoing().Bytes(), 0u) << "the peer's buffers took 40 MiB";
    std::string got;
    for (int i = 0; i < 20000 && !exchange_.Outgoing().Empty(); ++i) {
        got += reader.Receive(kSize, 5);
        exchange_.DrainOutgoing();
    }
    const Strings sent = RecordsOf('S');
    got += reader.Receive(sent.size() * kSize - got.size(), 3000);
    // Each 'S' record is one whole send, in order (dropped sends leave gaps).
    std::string expected;
    for (size_t i = 0; i < sent.size(); ++i) {
        const char send = sent[i].empty() ? '?' : sent[i][0];
        ASSERT_TRUE(sent[i] == std::string(kSize, send)) << "record " << i << " is not one send";
        ASSERT_TRUE(i == 0 || uint8_t(send) > uint8_t(sent[i - 1][0]))
            << "record " << i << " out of order";
        expected += sent[i];
    }
    EXPECT_TRUE(got == expected) << got.size() << " bytes received of " << expected.size();
    ASSERT_LT(sent.size(), kSends);
    // Told at half the cap (and once a second before that on a slow machine).
    size_t toldDropped = 0;
    for (const std::string& note : RecordsOf('I')) {
        size_t bytes = 0;
        ASSERT_EQ(std::sscanf(note.c_str(), "peer is not reading: %zu bytes not sent", &bytes), 1)
            << note;
        toldDropped += bytes;
    }
    EXPECT_EQ(toldDropped, (kSends - sent.size()) * kSize);
}

// One scenario: settings, blocks fed in turn, and everything observable after.
struct Scenario {
    const char* name;
    // 'R' records (none given: one a block); datagrams the peer got, = 'S' records
    Strings blocks, frames = {}, sent = {};
    std::string pending = "";
    Strings data = {};
    const char* splits = "<CR><LF>,<ENQ>,<ACK>,<NAK>,<ETX>,<ETB>,<EOT><SOH>,<EOT>";
    const char* responses = "<ACK>,<ACK>,[DATA],[RDATA],<ACK>,<ACK>,<ACK>";
    const char* preamble = "";
    int handShake = 1, workMode = kWorkModeSerial, checkSum = 0, usedCheckSum = 0, stress = 0;
    int responseFile = 0;
    const char* reloadedSplits = nullptr;  // loaded when the first record is stored
    bool plugin = false;       // the test plug-in, which drops every 'x', sits beside the program
    std::string sendBox = "";  // the send box while the blocks arrive
    const char* retyped = nullptr;  // when set, the send box from the second block on
};

class ScenarioTest : public ExchangeTest, public testing::WithParamInterface<Scenario> {};

TEST_P(ScenarioTest, FramesResponsesAndPendingBytes) {
    const Scenario& s = GetParam();
    std::tie(settings_.SplitStrs, settings_.RespondStrs, settings_.Preamble) =
        std::make_tuple(s.splits, s.responses, s.preamble);
    std::tie(settings_.HandShake, settings_.WorkMode, settings_.CheckSum, settings_.UsedCheckSum,
             settings_.SupportStress, settings_.UsedResponseFile) =
        std::tie(s.handShake, s.workMode, s.checkSum, s.usedCheckSum, s.stress, s.responseFile);
    if (s.plugin)
        std::filesystem::copy_file(QELVOR_TEST_PLUGIN_SHORTEN, dir_.File(kPluginLibraryName));
    exchange_.InitExchange(&view_, &dataList_, &port_);
    dataList_.Assign(s.data);
    view_.sendText = s.sendBox;
    if (s.reloadedSplits != nullptr) {
        view_.onCount = [&] {
            settings_.SplitStrs = s.reloadedSplits;
            exchange_.LoadSplitConfig();
        };
    }
    for (const std::string& block : s.blocks) {
        if (s.retyped != nullptr && &block != &s.blocks.front()) view_.sendText = s.retyped;
        Feed(block);
    }
    EXPECT_EQ(std::make_tuple(RecordsOf('R'), Drain(), RecordsOf('S'), exchange_.Pending()),
              std::make_tuple(s.frames.empty() ? s.blocks : s.frames, s.sent, s.sent, s.pending));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Exchange, ScenarioTest, testing::Values(
    Scenario{.name = "EnqFrameEotTogether", .blocks = {"\x05" "1H|x\r\n\x04"}, .frames = {"\x05" "1H|x\r\n", kEot},
             .sent = {kAck}},
    Scenario{.name = "HandShakeOff", .blocks = {"\x05\x06" "a\r\n"}, .data = {"L0"}, .handShake = 0},
    // Bytes no split string ends go in chunks of 8192, also when the rest reaches exactly 8192.
    Scenario{.name = "UnendedBytesIn8192Chunks", .blocks = {std::string(10000, 'a'), std::string(6384, 'b')},
             .frames = {std::string(8192, 'a'), std::string(1808, 'a') + std::string(6384, 'b')}},
    // Each datagram is one frame answered once, by the first-listed split string in it.
    Scenario{.name = "Datagrams", .blocks = {"x\x06y\x05z", "\x15\r\n"}, .sent = {kAck, kAck}, .data = {"L0"},
             .workMode = kWorkModeUdp},
    // An empty response sends nothing but keeps the later pairs in step.
    Scenario{.name = "EmptyResponse", .blocks = {"\x05", kAck}, .sent = {"L0"}, .data = {"L0"},
             .splits = "<CR><LF>,<ENQ>,<ACK>", .responses = "<ACK>,,[DATA]"},
    // A list reloaded while a block is being framed applies to every pending byte from the next block on.
    Scenario{.name = "SplitListReloadedByARecord", .blocks = {"a\x03" "b;c", "d"}, .frames = {"a\x03", "b;"},
             .pending = "cd", .splits = "<ETX>", .responses = "", .reloadedSplits = "<ETX>,;"},
    Scenario{.name = "EmptySplitItemNeverMatches", .blocks = {"ab\x03" "cd"}, .frames = {"ab\x03"}, .sent = {kAck},
             .pending = "cd", .splits = ",<ETX>", .responses = "<NAK>,<ACK>"},
    Scenario{.name = "LaterDuplicateWins", .blocks = {"ab\x03"}, .sent = {"B"}, .splits = "<ETX>,<ETX>",
             .responses = "A,B"},
    Scenario{.name = "TokenInsideTextIsLiteral", .blocks = {"\x05"}, .sent = {"[DATA]\r"}, .data = {"L0"},
             .splits = "<ENQ>", .responses = "[DATA]<CR>"},
    Scenario{.name = "NoSplitsEndFramesAtLineFeeds", .blocks = {"one\ntwo\r\nthr"}, .frames = {"one\n", "two\r\n"},
             .pending = "thr", .splits = "", .responses = ""},
    Scenario{.name = "DataWalkEndsWithEot", .blocks = {kAck, kNak, kAck, kAck, kAck},
             .sent = {"L0\r", "L0\r", "L1", kEot, kEot}, .data = {"L0<CR>", "L1"}, .sendBox = "typed"},
    Scenario{.name = "DataWalkWrapsUnderStress", .blocks = {kAck, kNak, kAck, kAck, kAck},
             .sent = {"L0\r", "L0\r", "L1", "L0\r", "L1"}, .data = {"L0<CR>", "L1"}, .stress = 1, .sendBox = "typed"},
    // A response file's line goes out through the plug-in, then composed and cut at a zero
    // byte; a repeat goes out as it went before, neither composed again nor taken anew.
    Scenario{.name = "ResponseFileLinesPassThroughThePlugin", .blocks = {kAck, kNak, kAck, kAck, kNak},
             .sent = {kStx + "1AB", kStx + "1AB", kStx + "2C", kEot, kEot},
             .data = {"<FN8>AxBx", std::string("<FN8>Cx\0D", 9)}, .preamble = "<STX>", .usedCheckSum = 1,
             .responseFile = 1, .plugin = true},
    // With a response file but no plug-in to pass its lines, only the EOT at the end goes out.
    Scenario{.name = "ResponseFileWithoutPluginSendsNothingButEot", .blocks = {kAck, kAck}, .sent = {kEot},
             .data = {"line"}, .responseFile = 1},
    Scenario{.name = "NakRecomposesWithNextFrameNumber", .blocks = {kAck, kNak}, .sent = {"1X", "2X"},
             .data = {"<FN8>X"}, .usedCheckSum = 1},
    Scenario{.name = "NakRepeatsTheSendBox", .blocks = {kNak}, .sent = {"typed\x03"}, .sendBox = "typed<ETX>"},
    // The box is never written: a repeat takes the last data line until the user types anew.
    Scenario{.name = "NakRepeatsWhatWasTypedAfterADataLine", .blocks = {kAck, kNak}, .sent = {"L0", "again"},
             .data = {"L0"}, .sendBox = "typed", .retyped = "again"},
    // Acknowledges alternate ACK, ETX; EOT SOH starts again at ACK; a data line counts as a turn.
    Scenario{.name = "AlternationResetByEotSoh", .blocks = {"a\r\nb\r\nc\r\n", "\x04\x01", "d\r\n"},
             .frames = {"a\r\n", "b\r\n", "c\r\n", "\x04\x01", "d\r\n"}, .sent = {kAck, "\x03", kAck, kAck, "\x03"},
             .checkSum = 1},
    Scenario{.name = "AlternationCountsDataLines", .blocks = {"a\r\n", kAck, "b\r\n"}, .sent = {kAck, "L0", kAck},
             .data = {"L0"}, .checkSum = 1}),
    [](const testing::TestParamInfo<Scenario>& row) { return std::string(row.param.name); });
// clang-format on

// Random streams, split lists and flushes against the plain rule: each frame ends at
// the first split string in list order found in the pending bytes; a flush takes all.
TEST(Splitter, MatchesThePlainSearchOnRandomStreams) {
    CComSetting settings;
    const std::string alphabet = "ab\x03\r\n\x06\x04\x01";
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 random(seed);
        const auto bytes = [&](size_t length) {
            std::string text;
            while (text.size() < length)
                text += alphabet[random() % alphabet.size()];
            return text;
        };
        CMsgExchange exchange(settings);
        exchange.InitExchange(nullptr, nullptr, nullptr);
        std::string pending;
        Strings frames;
        for (int step = 0; step < 300; ++step) {
            if (step % 30 == 0) {  // a new list of up to four items of up to three bytes
                settings.SplitStrs.clear();
                for (size_t i = random() % 4; i < 4; ++i)
                    settings.SplitStrs += EscapeCtrlChars(bytes(random() % 4)) + ",";
                exchange.LoadSplitConfig();
            }
            if (random() % 8 == 0) {
                ASSERT_EQ(exchange.FlushPending(), pending.empty() ? 0 : 1);
                if (!pending.empty()) frames.push_back(std::exchange(pending, std::string()));
            }
            const std::string block = bytes(random() % 30 == 0 ? 9000 : random() % 41);
            exchange.SplitReceived(block, kWorkModeSerial);
            pending += block;
            for (size_t i = 0; i < exchange.SplitList().size(); ++i) {
                const std::string& split = exchange.SplitList()[i];
                const size_t at = split.empty() ? std::string::npos : pending.find(split);
                if (at == std::string::npos) continue;
                frames.push_back(pending.substr(0, at + split.size()));
                pending.erase(0, at + split.size());
                i = static_cast<size_t>(-1);  // the next frame starts again with the first item
            }
            for (; pending.size() >= 8192; pending.erase(0, 8192))
                frames.push_back(pending.substr(0, 8192));
            ASSERT_EQ(exchange.Pending(), pending) << "seed " << seed << " step " << step;
        }
        ASSERT_EQ(exchange.RecordCount(), frames.size()) << "seed " << seed;
        for (size_t i = 0; i < frames.size(); ++i)
            ASSERT_EQ(exchange.Record(i).Data(), frames[i]) << "seed " << seed << " frame " << i;
    }
}

// Writes and cut frames (CR LF, ENQ, NAK by default) count; 'I' records and failed writes don't.
TEST_F(ExchangeTest, StatsCountWhatTheStoreRecords) {
    settings_.HandShake = 0;
    EXPECT_EQ(exchange_.SendBytes("hello", true), 5);
    const std::string received = "ABC\r\n\x05\x15xy";
    exchange_.OnReceive(received.data(), static_cast<int>(received.size()));
    exchange_.FlushPending();  // "xy" becomes a record of its own
    exchange_.Stats().AddBadFrame(2);
    port_.Close();
    EXPECT_LT(exchange_.SendBytes("lost", true), 1);
    exchange_.ClearAll();  // the statistics outlive the store's records
    const CTrafficStats::Totals& t = exchange_.Stats().Counts();
    EXPECT_EQ(std::vector<uint64_t>({t.bytesSent, t.recordsSent, t.bytesReceived, t.recordsReceived,
                                     t.enqReceived, t.nakReceived, t.badCheckFrames}),
              std::vector<uint64_t>({5, 1, received.size(), 4, 1, 1, 2}));
    exchange_.Stats().Reset();
    EXPECT_EQ(t.bytesReceived + t.badCheckFrames, 0u);
}

}  // namespace
}  // namespace qelvor
