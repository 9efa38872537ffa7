// The record, its timing and highlight colour, the data list, the matcher
// and stepped filter that search a store of records, and the exchange driven
// with real byte blocks and a real data list; its writes go through a real UDP
// port to a peer socket that reads each response back as one datagram, or
// through a pty whose other end stops reading.
#include "traffic/msg_exchange.h"

#include <malloc.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "data/ctrl_char_notation.h"
#include "ports/serial_port.h"
#include "ports/tcp_port.h"
#include "ports/udp_port.h"
#include "support/data_list_recorder.h"
#include "support/loopback.h"
#include "support/pty_pair.h"
#include "support/temp_folder.h"
#include "traffic/data_detail.h"
#include "traffic/data_list.h"
#include "traffic/exchange_view.h"
#include "traffic/highlight_rules.h"
#include "traffic/msg_record.h"
#include "traffic/record_filter.h"
#include "traffic/record_log.h"
#include "traffic/record_matcher.h"
#include "traffic/traffic_stats.h"

namespace qelvor {
namespace {

using Strings = std::vector<std::string>;
const std::string kAck("\x06"), kNak("\x15"), kEot("\x04"), kEnq("\x05"), kEtx("\x03"),
    kStx("\x02");

// Every field of the packed time at its largest, and types above 0x7F and 0.
TEST(MsgRecord, PackedTimeAndTypeSurviveAtTheirLimits) {
    const SystemTime top{65535, 12, 6, 31, 23, 59, 59, 999};
    for (const char type : {'R', '\0', '\xFF'}) {
        const CMsgRecord record(type, std::string("a\0b", 3), top);
        EXPECT_TRUE(record.Time() == top && record.Type() == type) << int{type};
        EXPECT_EQ(record.Data(), std::string("a\0b", 3));
    }
}

TEST(MsgRecord, StoreCostsAtMost64BytesPerRecordBeyondItsData) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's allocator does not report to mallinfo2";
#endif
    constexpr size_t kRecords = 100000, kDataSize = 100;
    const size_t before = mallinfo2().uordblks;
    MsgRecords store;
    for (size_t i = 0; i < kRecords; ++i)
        store.emplace_back('R', std::string(kDataSize, 'x'), SystemTime{});
    const size_t used = mallinfo2().uordblks - before;
    EXPECT_LE(used / kRecords, kDataSize + 64) << used / kRecords << " bytes a record";
}

using Kind = DataListChange::Kind;

// Each edit, the lines and selection after it and the one change it reports
// (none for an edit that changes nothing).
TEST(DataList, EachEditReportsOneTypedChangeAndSelectionFollowsItsLine) {
    using Lines = std::vector<std::string>;
    CDataList list;
    DataListRecorder recorder(list);
    DataListRecorder second(list);
    list.AddObserver(&second);  // added twice, told once
    // clang-format off
    const struct { const char* what; std::function<void()> edit; Lines lines; int selection;
                   std::vector<DataListChange> reported; } steps[] = {
        {"assign", [&] { list.Assign({"a", "b", "c"}); }, {"a", "b", "c"}, -1, {{Kind::Reset, 0, 3}}},
        {"select", [&] { list.SetCurSel(1); }, {"a", "b", "c"}, 1, {{Kind::Selection, 1}}},
        {"same selection", [&] { list.SetCurSel(1); }, {"a", "b", "c"}, 1, {}},
        {"insert above", [&] { list.Insert(0, "new"); }, {"new", "a", "b", "c"}, 2, {{Kind::Inserted, 0, 1}}},
        {"delete out of range", [&] { list.Delete(7); }, {"new", "a", "b", "c"}, 2, {}},
        {"delete above", [&] { list.Delete(0); }, {"a", "b", "c"}, 1, {{Kind::Removed, 0, 1}}},
        {"insert past end", [&] { list.Insert(99, "end"); }, {"a", "b", "c", "end"}, 1, {{Kind::Inserted, 3, 1}}},
        {"append", [&] { list.Append("z"); }, {"a", "b", "c", "end", "z"}, 1, {{Kind::Inserted, 4, 1}}},
        {"delete selected", [&] { list.Delete(1); }, {"a", "c", "end", "z"}, -1, {{Kind::Removed, 1, 1}}},
        {"select out of range", [&] { list.SetCurSel(9); }, {"a", "c", "end", "z"}, -1, {}},
        {"select last", [&] { list.SetCurSel(3); }, {"a", "c", "end", "z"}, 3, {{Kind::Selection, 3}}},
        {"assign drops selection", [&] { list.Assign({"x"}); }, {"x"}, -1, {{Kind::Reset, 0, 1}}},
        {"clear", [&] { list.Clear(); }, {}, -1, {{Kind::Reset, 0, 0}}},
    };
    // clang-format on
    for (const auto& step : steps) {
        recorder.changes.clear();
        second.changes.clear();
        step.edit();
        EXPECT_EQ(list.Lines(), step.lines) << step.what;
        EXPECT_EQ(list.CurSel(), step.selection) << step.what;
        EXPECT_EQ(recorder.changes, step.reported) << step.what;
        EXPECT_EQ(second.changes, step.reported) << step.what;
    }
    EXPECT_EQ(list.Line(-1) + list.Line(4), "");
    list.RemoveObserver(&second);
    list.Append("after");  // the removed observer hears nothing more
    EXPECT_EQ(recorder.changes.size() - second.changes.size(), 1u);
}

// Highlight rules read from a settings record's keys, as the INI file gives
// them, good and bad, and the colour they give real records.
TEST(HighlightRules, TheFirstMatchingRuleGivesTheColourAndBadKeysAreLeftOut) {
    CComSetting settings;
    const char* const keys[] = {"hex|#FF0000|15",     "regex|#000000|(",  "text|#12345|x",
                                "text|#00FF00|<ACK>", "word|#123456|x",   "text|123456|x",
                                "text|#12345G",       "REGEX|#00ff7F|<|>"};
    for (int n = 1; n <= 8; ++n)
        settings.HighlightKey(n) = keys[n - 1];
    CHighlightRules rules;
    rules.Load(settings);
    ASSERT_EQ(rules.Rules().size(), 3u);
    ASSERT_EQ(rules.Problems().size(), 5u);
    EXPECT_EQ(rules.Problems()[0].rfind("Highlight2: bad regular expression", 0), 0u);
    for (size_t i = 1; i < 5; ++i)
        EXPECT_NE(rules.Problems()[i].find("highlight rule is"), std::string::npos) << i;
    EXPECT_EQ(rules.ColorOf(CMsgRecord('R', "\x15")), 0xFF0000u);
    EXPECT_EQ(rules.ColorOf(CMsgRecord('S', "\x06")), 0x00FF00u);
    EXPECT_EQ(rules.ColorOf(CMsgRecord('R', "\x02")), 0x00FF7Fu);
    EXPECT_EQ(rules.ColorOf(CMsgRecord('R', "plain")), std::nullopt);
    CHighlightRules::Store({rules.Rules()[2], rules.Rules()[0]}, settings);
    EXPECT_EQ(settings.HighlightKey(1) + settings.HighlightKey(2) + settings.HighlightKey(8),
              "regex|#00FF7F|<|>hex|#FF0000|15");
}

// The "+ms" of a stored record since any record or the last of the same
// type, over the end of a day and of a month (in a leap year); none for a
// first record or pending bytes.
TEST(DataDetail, GapSinceThePreviousRecordInScope) {
    const MsgRecords records = {CMsgRecord('S', "a", {2024, 2, 3, 28, 23, 59, 59, 998}),
                                CMsgRecord('R', "b", {2024, 2, 4, 29, 0, 0, 0, 3}),
                                CMsgRecord('R', "c", {2024, 2, 4, 29, 0, 0, 0, 8}),
                                CMsgRecord('S', "d", {2024, 3, 5, 1, 0, 0, 0, 20})};
    using G = GapScope;
    const std::tuple<size_t, GapScope, std::string> cases[] = {
        {0, G::kAnyRecord, ""},         {1, G::kAnyRecord, "5"}, {2, G::kAnyRecord, "5"},
        {3, G::kAnyRecord, "86400012"}, {1, G::kSameType, ""},   {3, G::kSameType, "86400022"}};
    for (const auto& [index, scope, gap] : cases)
        EXPECT_EQ(CDataDetail(records, index, scope).GapText(), gap) << index;
    EXPECT_EQ(CDataDetail(CMsgRecord('R', "pending")).GapText(), "");
}

// The matcher over real records in each display style, its refusals of bad
// patterns, and find next / previous / count over a store and over an index.
using M = MatchMode;

TEST(RecordMatcher, MatchesTheRecordAsShownAndFindsGoingRoundOnlyWhenAsked) {
    const std::string kFrame = kStx + "1H|abc\x03" + "5A\r\n";
    // clang-format off
    const struct { MatchMode mode; std::string pattern; int style; char type; std::string bytes;
                   bool matches; } cases[] = {
        {M::kText, "<STX>1H", 1, 'R', kFrame, true}, {M::kText, "<STX>1H", 0, 'R', kFrame, false},
        {M::kText, kStx + "1H", 0, 'R', kFrame, true}, {M::kText, "02 31 48", 2, 'R', kFrame, true},
        {M::kText, "<CR>", 0, 'I', "a\rb", true},  // 'I' always in notation
        {M::kRegex, "<ETX>[0-9A-F]{2}<CR><LF>$", 1, 'R', kFrame, true},
        {M::kRegex, "(?i)ABC", 1, 'R', kFrame, true}, {M::kRegex, "^1H", 1, 'R', kFrame, false},
        {M::kHex, "02 ?? 48", 1, 'R', kFrame, true}, {M::kHex, "0D0A", 1, 'R', kFrame, true},
        {M::kHex, "?? 02", 1, 'R', kFrame, false},  // nothing before STX
        {M::kHex, "0A ??", 1, 'R', kFrame, false},  // nothing after LF
        {M::kHex, "?? 0A", 1, 'R', kFrame, true}, {M::kHex, "?? ?? ??", 1, 'R', "ab", false},
        {M::kHex, "00 ff", 1, 'R', std::string("a\0\xff", 3), true},
        // A backtracking engine tries about 2^30 ways to split the run of 'a'
        // before it gives up on the near miss; RE2 answers in linear time.
        {M::kRegex, "(a+)+$", 1, 'R', std::string(30, 'a') + "b", false},
        {M::kRegex, "(a+)+$", 1, 'R', std::string(30, 'a') + "ba", true}};
    // clang-format on
    for (const auto& c : cases) {
        std::string error;
        const auto matcher = CRecordMatcher::Create(c.mode, c.pattern, c.style, &error);
        ASSERT_TRUE(matcher) << error;
        EXPECT_EQ(matcher->Matches(CMsgRecord(c.type, c.bytes)), c.matches) << c.pattern;
    }
    // clang-format off
    const std::tuple<MatchMode, const char*, const char*> bad[] = {
        {M::kText, "", "empty"}, {M::kRegex, "a(b", "missing )"}, {M::kHex, "02 3", "position 4"},
        {M::kHex, "02 ?", "two hex digits"}, {M::kHex, "0x02", "'x' is no hex digit at position 2"},
        {M::kHex, "  ", "no byte"}};
    // clang-format on
    for (const auto& [mode, pattern, reason] : bad) {
        std::string error;
        EXPECT_FALSE(CRecordMatcher::Create(mode, pattern, 1, &error));
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
    MsgRecords records;
    for (const char* text : {"x", "hit", "y", "hit", "z"})
        records.emplace_back('R', text);
    const auto m = CRecordMatcher::Create(M::kText, "hit", 1, nullptr);
    const CRecordMatcher::Rows all{records};
    constexpr size_t kNone = CRecordMatcher::kNoRow;
    // Each row: forward or back, the row to start from, going round, the row found.
    const std::tuple<bool, size_t, bool, size_t> finds[] = {
        {true, kNone, true, 1},  {true, 3, true, 1},   {true, 3, false, kNone},
        {false, kNone, true, 3}, {false, 3, false, 1}, {false, 1, false, kNone}};
    for (const auto& [next, from, wrap, found] : finds)
        EXPECT_EQ(next ? m->FindNext(all, from, wrap) : m->FindPrevious(all, from, wrap), found);
    EXPECT_EQ(m->Count(all), 2u);
    // Over an index the rows are its positions; a lone match is found again
    // from itself when the search goes round.
    const std::vector<size_t> index{0, 3, 4};
    EXPECT_EQ(m->FindNext({records, &index}, 1, true), 1u);
    EXPECT_EQ(m->FindPrevious({records, &index}, 2, false), 1u);
    EXPECT_EQ(m->Count({records, &index}), 1u);
}

// The stepped filter over a real traffic store that grows and is cleared
// between steps, as the window's poll tick drives it.
using Rows = std::vector<size_t>;

class RecordFilterTest : public testing::Test {
  protected:
    void Add(const std::string& types) {
        for (char type : types)
            exchange_.AddRecord(type, type == 'R' ? "<hit>" : "miss");
    }
    bool StepAll() { return filter_.Step(CRecordFilter::Clock::now() + std::chrono::seconds(10)); }
    static std::optional<CRecordMatcher> Hits() {
        return CRecordMatcher::Create(MatchMode::kText, "hit", 1, nullptr);
    }

    CComSetting settings_;
    CMsgExchange exchange_{settings_};
    CRecordFilter filter_{exchange_};
};

TEST_F(RecordFilterTest, KeepsTheChosenTypesAsRecordsArriveAndAfterAClear) {
    filter_.Reset({.showSent = false}, std::nullopt);
    Add("SRIS");
    EXPECT_TRUE(StepAll());
    EXPECT_EQ(filter_.Rows(), (Rows{1, 2}));
    Add("RS");
    EXPECT_FALSE(filter_.CaughtUp());
    EXPECT_TRUE(StepAll());
    EXPECT_EQ(filter_.Rows(), (Rows{1, 2, 4}));
    EXPECT_EQ(filter_.MatchCount(), 0u);
    exchange_.ClearAll();
    Add("IS");
    EXPECT_FALSE(filter_.CaughtUp());
    EXPECT_TRUE(StepAll());
    EXPECT_EQ(filter_.Rows(), (Rows{0}));
}

TEST_F(RecordFilterTest, OnlyMatchingRowsOrAllRowsWithTheMatchesToStepThrough) {
    Add("RSRIR");
    filter_.Reset({.onlyMatching = true}, Hits());
    StepAll();
    EXPECT_EQ(filter_.Rows(), (Rows{0, 2, 4}));
    EXPECT_EQ(filter_.MatchRows(), (Rows{0, 1, 2}));
    filter_.Reset({.showInfo = false}, Hits());
    Add("SR");
    StepAll();
    EXPECT_EQ(filter_.Rows(), (Rows{0, 1, 2, 4, 5, 6}));
    EXPECT_EQ(filter_.MatchRows(), (Rows{0, 2, 3, 5}));
    constexpr size_t kNone = CRecordFilter::kNoRow;
    // Each row: forward or back, the row to start from, going round, the row found.
    const std::tuple<bool, size_t, bool, size_t> finds[] = {
        {true, 3, false, 5},      {true, 5, false, kNone}, {true, 6, true, 0},
        {false, kNone, false, 5}, {false, 0, true, 5},     {false, 0, false, kNone}};
    for (const auto& [next, from, wrap, found] : finds)
        EXPECT_EQ(next ? filter_.NextMatch(from, wrap) : filter_.PreviousMatch(from, wrap), found);
}

TEST_F(RecordFilterTest, AStepPastItsDeadlineStopsAndTheNextGoesOn) {
    Add(std::string(5000, 'R'));
    filter_.Reset({}, Hits());
    EXPECT_FALSE(filter_.Step(CRecordFilter::Clock::now()));
    const size_t taken = filter_.Rows().size();
    EXPECT_GT(taken, 0u);
    EXPECT_LT(taken, 5000u);
    EXPECT_DOUBLE_EQ(filter_.Progress(), static_cast<double>(taken) / 5000.0);
    while (!filter_.Step(CRecordFilter::Clock::now())) {
    }
    EXPECT_EQ(filter_.MatchCount(), 5000u);
    EXPECT_DOUBLE_EQ(filter_.Progress(), 1.0);
}

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
    void Feed(const std::string& block) {
        exchange_.OnReceive(block.data(), static_cast<int>(block.size()));
    }
    Strings RecordsOf(char type) const {
        Strings data;
        for (const CMsgRecord& record : exchange_.Records())
            if (record.Type() == type) data.push_back(record.Data());
        return data;
    }
    // Sends through a serial line on the pty instead of the UDP port.
    void UseSerial(const testing_support::PtyDevice& pty, StreamPort::CSerialPort& serial) {
        serial.SetComParam(0, 9600, pty.path.c_str());
        ASSERT_EQ(serial.Open(), 1);
        exchange_.InitExchange(nullptr, nullptr, &serial);
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
    CDataList dataList_;
    RecordingView view_;
    CMsgExchange exchange_{settings_};
};

TEST_F(ExchangeTest, StoreSendsLogsClearsAndRecordsFailedWrites) {
    EXPECT_EQ(exchange_.SendBytes(kAck, true) + exchange_.SendBytes("abc", false), 4);
    EXPECT_EQ(Drain(), (Strings{kAck, "abc"}));
    EXPECT_EQ(RecordsOf('S'), Strings{kAck});
    exchange_.SetRecordLog(&view_);
    exchange_.AddRecord('I', "off");
    settings_.AutoSaveLog = 1;
    exchange_.AddRecord('I', "on");
    EXPECT_EQ(view_.logged, Strings{"on"});
    exchange_.ClearAll();
    exchange_.ClearAll();  // an empty store tells the view nothing
    EXPECT_EQ(view_.counts, (std::vector<size_t>{1, 2, 3, 0}));
    EXPECT_EQ(exchange_.Generation(), 1u) << "one clear of a store that held records";
    // A datagram too large to send fails on an open port, which explains nothing more.
    EXPECT_LT(exchange_.SendBytes(std::string(70000, 'x'), true), 1);
    EXPECT_EQ(exchange_.LastSendFailure(), "");
    // A write through the closed port is recorded as an error and splitting goes on.
    port_.Close();
    EXPECT_LT(exchange_.SendBytes(kAck, true), 1);
    EXPECT_EQ(exchange_.LastSendFailure(), "port not open");
    Feed(kEnq + "abc\r\nrest\r");
    EXPECT_EQ(RecordsOf('I'), Strings(3, kSendErrorText));
    EXPECT_EQ(RecordsOf('R'), Strings{kEnq + "abc\r\n"});
    EXPECT_EQ(view_.bufferText, "rest<CR>");
}

// 200000 bytes to a serial line whose far end reads nothing and then goes
// away: the send returns at once, and once the line fails the 'S' record
// holds what was written, an 'I' record the rest.
TEST_F(ExchangeTest, PartialWriteRecordsTheBytesThatLeft) {
    testing_support::PtyDevice pty;
    StreamPort::CSerialPort serial;
    ASSERT_NO_FATAL_FAILURE(UseSerial(pty, serial));
    std::thread closer = testing_support::CloseOnceStalled(std::exchange(pty.master, -1));
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

// A serial line whose far end stays but reads nothing keeps its limit of 5 s
// for a send, at the poll ticks instead of inside one: the send then ends
// with what went out, and the next one gets its own 5 s.
TEST_F(ExchangeTest, AStalledSerialLineEndsASendAfterFiveSeconds) {
    testing_support::PtyDevice pty;
    StreamPort::CSerialPort serial;
    ASSERT_NO_FATAL_FAILURE(UseSerial(pty, serial));
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
    EXPECT_EQ(RecordsOf('I'),
              Strings{CMsgExchange::UnsentText("Send data", int(sent[0].size()), 200000)});
    EXPECT_EQ(exchange_.Outgoing().Count(), 1u) << "the next send waits its own turn";
}

// A TCP peer that reads nothing: every send returns at once, at most the
// queue's cap waits, the rest is dropped and told once; when the peer reads
// again it gets exactly the bytes of the 'S' records, in their order.
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
    // Each 'S' record is one whole send, later sends after earlier ones
    // (the sends dropped leave gaps), and the peer got exactly those bytes.
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
    // Told once the queue emptied to half its cap (and once a second
    // before that on a machine slow enough).
    size_t toldDropped = 0;
    for (const std::string& note : RecordsOf('I')) {
        size_t bytes = 0;
        ASSERT_EQ(std::sscanf(note.c_str(), "peer is not reading: %zu bytes not sent", &bytes), 1)
            << note;
        toldDropped += bytes;
    }
    EXPECT_EQ(toldDropped, (kSends - sent.size()) * kSize);
}

// A run of drops is due once the queue has emptied to half its cap, or once
// it has gone on for a while; not at every send the queue takes again.
TEST(OutgoingQueue, ARunOfDropsIsDueAtHalfTheCapOrAfterAWhile) {
    COutgoingQueue queue;
    const auto start = COutgoingQueue::Clock::now();
    ASSERT_TRUE(queue.Offer(std::string(COutgoingQueue::kCap - 1, 'q'), 0, true, start));
    EXPECT_FALSE(queue.Offer("xy", 0, true, start));
    queue.Advance(1, start);
    EXPECT_TRUE(queue.Offer("z", 0, true, start)) << "room for one byte";
    EXPECT_FALSE(queue.DropRunDue(start)) << "still full, and the run just began";
    EXPECT_TRUE(queue.DropRunDue(start + COutgoingQueue::kReportEvery));
    queue.Advance(COutgoingQueue::kCap / 2, start);
    EXPECT_TRUE(queue.DropRunDue(start));
    EXPECT_EQ(queue.TakeDropped(), 2u);
    EXPECT_FALSE(queue.DropRunDue(start + COutgoingQueue::kReportEvery));
    EXPECT_EQ(queue.Bytes(), COutgoingQueue::kCap / 2 - 1);
}

// One scenario: settings, blocks fed in turn, and everything observable after.
struct Scenario {
    const char* name;
    Strings blocks, frames = {}, sent = {};  // 'R' records; datagrams the peer got, = 'S' records
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
    settings_.SplitStrs = s.splits;
    settings_.RespondStrs = s.responses;
    settings_.Preamble = s.preamble;
    settings_.HandShake = s.handShake;
    settings_.WorkMode = s.workMode;
    settings_.CheckSum = s.checkSum;
    settings_.UsedCheckSum = s.usedCheckSum;
    settings_.SupportStress = s.stress;
    settings_.UsedResponseFile = s.responseFile;
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
    EXPECT_EQ(RecordsOf('R'), s.frames);
    EXPECT_EQ(Drain(), s.sent);
    EXPECT_EQ(RecordsOf('S'), s.sent);
    EXPECT_EQ(exchange_.Pending(), s.pending);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Exchange, ScenarioTest, testing::Values(
    Scenario{.name = "EnqFrameEotTogether", .blocks = {"\x05" "1H|x\r\n\x04"},
             .frames = {"\x05" "1H|x\r\n", kEot}, .sent = {kAck}},
    Scenario{.name = "HandShakeOff", .blocks = {"\x05\x06" "a\r\n"}, .frames = {"\x05\x06" "a\r\n"},
             .data = {"L0"}, .handShake = 0},
    // Bytes no split string ends go in chunks of 8192, also when the rest reaches exactly 8192.
    Scenario{.name = "UnendedBytesIn8192Chunks", .blocks = {std::string(10000, 'a'), std::string(6384, 'b')},
             .frames = {std::string(8192, 'a'), std::string(1808, 'a') + std::string(6384, 'b')}},
    // Each datagram is one frame answered once, by the first-listed split string in it.
    Scenario{.name = "Datagrams", .blocks = {"x\x06y\x05z", "\x15\r\n"}, .frames = {"x\x06y\x05z", "\x15\r\n"},
             .sent = {kAck, kAck}, .data = {"L0"}, .workMode = kWorkModeUdp},
    // An empty response sends nothing but keeps the later pairs in step.
    Scenario{.name = "EmptyResponse", .blocks = {"\x05", kAck}, .frames = {"\x05", kAck}, .sent = {"L0"},
             .data = {"L0"}, .splits = "<CR><LF>,<ENQ>,<ACK>", .responses = "<ACK>,,[DATA]"},
    // A list reloaded while a block is being framed applies to every pending byte from the next block on.
    Scenario{.name = "SplitListReloadedByARecord", .blocks = {"a\x03" "b;c", "d"}, .frames = {"a\x03", "b;"},
             .pending = "cd", .splits = "<ETX>", .responses = "", .reloadedSplits = "<ETX>,;"},
    Scenario{.name = "EmptySplitItemNeverMatches", .blocks = {"ab\x03" "cd"}, .frames = {"ab\x03"},
             .sent = {kAck}, .pending = "cd", .splits = ",<ETX>", .responses = "<NAK>,<ACK>"},
    Scenario{.name = "LaterDuplicateWins", .blocks = {"ab\x03"}, .frames = {"ab\x03"}, .sent = {"B"},
             .splits = "<ETX>,<ETX>", .responses = "A,B"},
    Scenario{.name = "TokenInsideTextIsLiteral", .blocks = {"\x05"}, .frames = {"\x05"}, .sent = {"[DATA]\r"},
             .data = {"L0"}, .splits = "<ENQ>", .responses = "[DATA]<CR>"},
    Scenario{.name = "NoSplitsEndFramesAtLineFeeds", .blocks = {"one\ntwo\r\nthr"},
             .frames = {"one\n", "two\r\n"}, .pending = "thr", .splits = "", .responses = ""},
    Scenario{.name = "DataWalkEndsWithEot", .blocks = {kAck, kNak, kAck, kAck, kAck},
             .frames = {kAck, kNak, kAck, kAck, kAck}, .sent = {"L0\r", "L0\r", "L1", kEot, kEot},
             .data = {"L0<CR>", "L1"}, .sendBox = "typed"},
    Scenario{.name = "DataWalkWrapsUnderStress", .blocks = {kAck, kNak, kAck, kAck, kAck},
             .frames = {kAck, kNak, kAck, kAck, kAck}, .sent = {"L0\r", "L0\r", "L1", "L0\r", "L1"},
             .data = {"L0<CR>", "L1"}, .stress = 1, .sendBox = "typed"},
    // A response file's line goes out through the plug-in, then composed and cut at a zero
    // byte; a repeat goes out as it went before, neither composed again nor taken anew.
    Scenario{.name = "ResponseFileLinesPassThroughThePlugin", .blocks = {kAck, kNak, kAck, kAck, kNak},
             .frames = {kAck, kNak, kAck, kAck, kNak}, .sent = {kStx + "1AB", kStx + "1AB", kStx + "2C", kEot, kEot},
             .data = {"<FN8>AxBx", std::string("<FN8>Cx\0D", 9)}, .preamble = "<STX>", .usedCheckSum = 1,
             .responseFile = 1, .plugin = true},
    // With a response file but no plug-in to pass its lines, only the EOT at the end goes out.
    Scenario{.name = "ResponseFileWithoutPluginSendsNothingButEot", .blocks = {kAck, kAck},
             .frames = {kAck, kAck}, .sent = {kEot}, .data = {"line"}, .responseFile = 1},
    Scenario{.name = "NakRecomposesWithNextFrameNumber", .blocks = {kAck, kNak}, .frames = {kAck, kNak},
             .sent = {"1X", "2X"}, .data = {"<FN8>X"}, .usedCheckSum = 1},
    Scenario{.name = "NakRepeatsTheSendBox", .blocks = {kNak}, .frames = {kNak}, .sent = {"typed\x03"},
             .sendBox = "typed<ETX>"},
    // The box is never written: a repeat takes the last data line until the user types anew.
    Scenario{.name = "NakRepeatsWhatWasTypedAfterADataLine", .blocks = {kAck, kNak}, .frames = {kAck, kNak},
             .sent = {"L0", "again"}, .data = {"L0"}, .sendBox = "typed", .retyped = "again"},
    // Acknowledges alternate ACK, ETX; EOT SOH starts again at ACK; a data line counts as a turn.
    Scenario{.name = "AlternationResetByEotSoh", .blocks = {"a\r\nb\r\nc\r\n", "\x04\x01", "d\r\n"},
             .frames = {"a\r\n", "b\r\n", "c\r\n", "\x04\x01", "d\r\n"},
             .sent = {kAck, "\x03", kAck, kAck, "\x03"}, .checkSum = 1},
    Scenario{.name = "AlternationCountsDataLines", .blocks = {"a\r\n", kAck, "b\r\n"},
             .frames = {"a\r\n", kAck, "b\r\n"}, .sent = {kAck, "L0", kAck}, .data = {"L0"}, .checkSum = 1}),
    [](const testing::TestParamInfo<Scenario>& row) { return std::string(row.param.name); });
// clang-format on

// Random streams, split lists and idle flushes against the plain rule: for
// every frame, search the pending bytes from the start with each split string
// in list order; a flush records whatever is pending.
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

using std::chrono::seconds;

// A second's bytes as "in/out", so that a whole series compares at once.
std::string Text(const CTrafficStats::Second& s) {
    return std::to_string(s.in) + "/" + std::to_string(s.out);
}

// What was written and what the splitter cut (at CR LF, ENQ and NAK by
// default) is traffic; information records and failed writes are not.
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

TEST(TrafficStats, TheLast60SecondsRollAndQuietSecondsAreZero) {
    CTrafficStats stats;
    const CTrafficStats::Clock::time_point t0{seconds(1000)};
    stats.OnRecord('R', std::string(10, 'r'), t0);
    stats.OnRecord('S', "abc", t0 + std::chrono::milliseconds(999));
    stats.OnRecord('R', std::string(7, 'r'), t0 + seconds(1));
    stats.OnRecord('I', "not traffic", t0 + seconds(1));
    // The series at a time, oldest first, with only the seconds named set.
    auto expectSeries = [&](int at, std::map<int, std::string> set) {
        const CTrafficStats::Series series = stats.LastSeconds(t0 + seconds(at));
        for (int i = 0; i < CTrafficStats::kSeconds; ++i)
            EXPECT_EQ(Text(series[size_t(i)]), set.count(i) ? set[i] : "0/0") << at << ":" << i;
    };
    expectSeries(1, {{58, "10/3"}, {59, "7/0"}});
    EXPECT_EQ(Text(stats.Rate(t0 + seconds(2))), "7/0");  // the last whole second
    EXPECT_EQ(Text(stats.Rate(t0 + seconds(3))), "0/0");
    expectSeries(60, {{0, "7/0"}});  // the first second has left the window
    // After a pause the seconds passed over are empty, the recent ones kept.
    stats.OnRecord('S', "xy", t0 + seconds(30));
    expectSeries(30, {{29, "10/3"}, {30, "7/0"}, {59, "0/2"}});
    stats.OnRecord('R', "z", t0 + seconds(500));  // a long pause empties the ring
    expectSeries(500, {{59, "1/0"}});
}

}  // namespace
}  // namespace qelvor
