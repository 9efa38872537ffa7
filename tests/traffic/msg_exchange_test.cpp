#include "traffic/msg_exchange.h"

#include <arpa/inet.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "ports/udp_port.h"
#include "traffic/data_list.h"
#include "traffic/record_log.h"
#include "traffic_test_support.h"

namespace qelvor {
namespace {

using test::RecordingView;
using test::TempDir;
using test::UdpPeer;

const char* const kDefaultSplits = "<CR><LF>,<ENQ>,<ACK>,<NAK>,<ETX>,<ETB>,<EOT><SOH>,<EOT>";
const char* const kDefaultResponses = "<ACK>,<ACK>,[DATA],[RDATA],<ACK>,<ACK>,<ACK>";

class CollectingLog : public IRecordLog {
  public:
    void LogRecord(const CMsgRecord& record) override { lines.push_back(record.Data()); }
    std::vector<std::string> lines;
};

// An exchange whose writes go through a real UDP port to a peer socket, so
// that every response can be read back as one datagram.
class ExchangeTest : public testing::Test {
  protected:
    void SetUp() override {
        settings_ = std::make_unique<CComSetting>(dir_.Path() + "/t.ini");
        settings_->ExeDir = dir_.Path() + "/";
        settings_->SplitStrs = kDefaultSplits;
        settings_->RespondStrs = kDefaultResponses;
        settings_->HandShake = 1;
        settings_->WorkMode = kWorkModeSerial;
        settings_->CheckSum = 0;
        settings_->UsedCheckSum = 0;
        settings_->HexSendData = 0;
        settings_->Preamble.clear();
        settings_->Postamble.clear();
        settings_->SenDataEncodeCov = 0;
        settings_->Replace_Old = 0;
        settings_->Replace_New = 0;
        settings_->SupportStress = 0;
        settings_->UsedResponseFile = 0;
        settings_->AutoSaveLog = 0;
        settings_->ScrollRSWnd = 0;
        port_.SetNetParam(0, peer_.Port(), htonl(INADDR_LOOPBACK));
        ASSERT_EQ(port_.Open(), 1);
        exchange_ = std::make_unique<CMsgExchange>(*settings_);
        exchange_->InitExchange(&view_, &dataList_, &port_);
    }
    void TearDown() override { port_.Close(); }

    void Feed(const std::string& block) {
        exchange_->OnReceive(block.data(), static_cast<int>(block.size()));
    }
    std::vector<std::string> RecordsOf(char type) const {
        std::vector<std::string> data;
        for (const CMsgRecord& record : exchange_->Records()) {
            if (record.Type() == type) data.push_back(record.Data());
        }
        return data;
    }
    void Reload() { exchange_->LoadSplitConfig(); }

    TempDir dir_;
    std::unique_ptr<CComSetting> settings_;
    UdpPeer peer_;
    StreamPort::CUDPPort port_;
    CDataList dataList_;
    RecordingView view_;
    std::unique_ptr<CMsgExchange> exchange_;
};

using Strings = std::vector<std::string>;
const std::string kAck("\x06", 1);
const std::string kEot("\x04", 1);

// --- the store ---

TEST_F(ExchangeTest, SentBytesBecomeOneStampedRecordAndReachThePeer) {
    EXPECT_EQ(exchange_->SendBytes(kAck, true), 1);
    ASSERT_EQ(exchange_->RecordCount(), 1u);
    const CMsgRecord& record = exchange_->Record(0);
    EXPECT_EQ(record.Type(), 'S');
    EXPECT_EQ(record.Data(), kAck);
    const SystemTime time = record.Time();
    EXPECT_GE(time.wYear, 2020);
    EXPECT_LT(time.wMilliseconds, 1000);
    EXPECT_EQ(peer_.Drain(), Strings{kAck});
    EXPECT_EQ(view_.counts, std::vector<size_t>{1});
}

TEST_F(ExchangeTest, UnrecordedSendAddsNothingAndNoPortSendsNothing) {
    EXPECT_EQ(exchange_->SendBytes("abc", false), 3);
    EXPECT_EQ(exchange_->RecordCount(), 0u);
    EXPECT_EQ(peer_.Drain(), Strings{"abc"});
    exchange_->SetPort(nullptr);
    EXPECT_EQ(exchange_->SendBytes("abc", true), 0);
    EXPECT_EQ(exchange_->RecordCount(), 0u);
    EXPECT_TRUE(view_.counts.empty());
}

TEST_F(ExchangeTest, FailedWriteIsRecordedAsSendErrorAndSplittingGoesOn) {
    // A UDP port in answer mode has nobody to answer before a datagram came.
    StreamPort::CUDPPort answering;
    answering.SetNetParam(test::FreeUdpPort(), 0, htonl(INADDR_LOOPBACK));
    ASSERT_EQ(answering.Open(), 1);
    exchange_->SetPort(&answering);
    EXPECT_LT(exchange_->SendBytes(kAck, true), 1);
    Feed(
        "\x05"
        "abc\r\n");
    answering.Close();
    EXPECT_EQ(RecordsOf('S'), Strings{});
    EXPECT_EQ(RecordsOf('I'), Strings(2, kSendErrorText));
    EXPECT_EQ(RecordsOf('R'), Strings{"\x05"
                                      "abc\r\n"});
}

TEST_F(ExchangeTest, ClearAllEmptiesTheStoreAndTellsTheViewOnlyWhenFull) {
    exchange_->ClearAll();
    EXPECT_TRUE(view_.counts.empty());
    exchange_->AddRecord('I', "one");
    exchange_->AddRecord('I', "two");
    exchange_->ClearAll();
    EXPECT_EQ(exchange_->RecordCount(), 0u);
    EXPECT_EQ(view_.counts, (std::vector<size_t>{1, 2, 0}));
}

TEST_F(ExchangeTest, NewestRecordIsScrolledIntoViewOnlyWhenAsked) {
    exchange_->AddRecord('I', "quiet");
    EXPECT_EQ(view_.scrolls, 0);
    settings_->ScrollRSWnd = 1;
    exchange_->AddRecord('I', "loud");
    Feed("a\r\nb\r\n");
    EXPECT_EQ(view_.scrolls, 5);  // the record, two frames, two responses
}

TEST_F(ExchangeTest, ContinuousLogGetsRecordsOnlyWhileAutoSaveIsOn) {
    CollectingLog log;
    exchange_->SetRecordLog(&log);
    exchange_->AddRecord('I', "off");
    settings_->AutoSaveLog = 1;
    exchange_->AddRecord('I', "on");
    EXPECT_EQ(log.lines, Strings{"on"});
    exchange_->SetRecordLog(nullptr);
    EXPECT_EQ(exchange_->AddRecord('I', "no log"), 1);
    EXPECT_EQ(exchange_->RecordCount(), 3u);
}

TEST_F(ExchangeTest, AppendingNeverMovesRecordsAlreadyHeld) {
    exchange_->AddRecord('I', "first");
    const CMsgRecord* first = &exchange_->Record(0);
    for (int i = 0; i < 5000; ++i)
        exchange_->AddRecord('R', "x");
    EXPECT_EQ(&exchange_->Record(0), first);
    EXPECT_EQ(first->Data(), "first");
}

// --- the split configuration ---

TEST(NotationList, KeepsInnerEmptyItemsButNoTrailingOne) {
    size_t longest = 99;
    EXPECT_EQ(CMsgExchange::ParseNotationList("<CR><LF>,,<ETX>,", &longest),
              (Strings{"\r\n", "", "\x03"}));
    EXPECT_EQ(longest, 2u);
    EXPECT_EQ(CMsgExchange::ParseNotationList("", &longest), Strings{});
    EXPECT_EQ(longest, 0u);
    EXPECT_EQ(CMsgExchange::ParseNotationList(",", nullptr), Strings{""});
    EXPECT_EQ(CMsgExchange::ParseNotationList("ab<NUL>", nullptr), Strings{std::string("ab\0", 3)});
}

TEST_F(ExchangeTest, SplitConfigPairsInStepAndLaterDuplicateWins) {
    settings_->SplitStrs = "<ETX>,,<ETX>,<EOT>";
    settings_->RespondStrs = "A,B,C";
    Reload();
    EXPECT_EQ(exchange_->SplitList(), (Strings{"\x03", "", "\x03", "\x04"}));
    const std::map<std::string, std::string> expected{{"\x03", "C"}, {"", "B"}};
    EXPECT_EQ(exchange_->ResponseMap(), expected);
    settings_->SplitStrs.clear();
    Reload();
    EXPECT_EQ(exchange_->SplitList(), Strings{"\n"});
}

// --- stream splitting ---

TEST_F(ExchangeTest, FrameStraddlingBlocksIsRecordedWhenItsEndArrives) {
    Feed("1H|");
    EXPECT_EQ(exchange_->RecordCount(), 0u);
    EXPECT_EQ(exchange_->Pending(), "1H|");
    EXPECT_EQ(view_.bufferText, "1H|");
    Feed("abc\r");
    EXPECT_EQ(view_.bufferText, "1H|abc<CR>");
    Feed("\nrest");
    EXPECT_EQ(RecordsOf('R'), Strings{"1H|abc\r\n"});
    EXPECT_EQ(RecordsOf('S'), Strings{kAck});
    EXPECT_EQ(peer_.Drain(), Strings{kAck});
    EXPECT_EQ(exchange_->Pending(), "rest");
    EXPECT_EQ(view_.counts.back(), 2u);
}

TEST_F(ExchangeTest, EarlierListedSplitWinsOverEarlierPosition) {
    dataList_.Assign({"line0"});
    Feed(
        "A\x06"
        "B\r\n");
    EXPECT_EQ(RecordsOf('R'), Strings{"A\x06"
                                      "B\r\n"});
    EXPECT_EQ(peer_.Drain(), Strings{kAck});
    EXPECT_EQ(exchange_->DataIndex(), -1);
}

TEST_F(ExchangeTest, EnquiryFrameAndEndGetTwoAnswersApartButOneTogether) {
    Feed("\x05");
    Feed("1H|x\r\n");
    Feed("\x04");
    EXPECT_EQ(RecordsOf('R'), (Strings{"\x05", "1H|x\r\n", "\x04"}));
    EXPECT_EQ(peer_.Drain(), (Strings{kAck, kAck}));
    exchange_->ClearAll();
    // Together, CR LF (listed first) takes the ENQ into its frame.
    Feed(
        "\x05"
        "1H|x\r\n\x04");
    EXPECT_EQ(RecordsOf('R'), (Strings{"\x05"
                                       "1H|x\r\n",
                                       "\x04"}));
    EXPECT_EQ(peer_.Drain(), Strings{kAck});
    EXPECT_TRUE(exchange_->Pending().empty());
}

TEST_F(ExchangeTest, UnendedBytesAreRecordedInChunksWithoutAnswer) {
    Feed(std::string(10000, 'a'));
    EXPECT_EQ(RecordsOf('R'), Strings{std::string(8192, 'a')});
    EXPECT_EQ(exchange_->Pending().size(), 1808u);
    Feed(std::string(8192 - 1808, 'b'));
    ASSERT_EQ(RecordsOf('R').size(), 2u);
    EXPECT_EQ(RecordsOf('R')[1], std::string(1808, 'a') + std::string(8192 - 1808, 'b'));
    EXPECT_TRUE(exchange_->Pending().empty());
    EXPECT_EQ(RecordsOf('S'), Strings{});
}

TEST_F(ExchangeTest, FramesBeforeAnUnendedTailAreCutFirst) {
    Feed("ab\r\n" + std::string(20000, 'z'));
    const Strings frames = RecordsOf('R');
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], "ab\r\n");
    EXPECT_EQ(frames[1], std::string(8192, 'z'));
    EXPECT_EQ(exchange_->Pending().size(), 20000u - 2 * 8192);
}

TEST_F(ExchangeTest, HandShakeOffSplitsButSendsNothing) {
    settings_->HandShake = 0;
    dataList_.Assign({"line0"});
    Feed(
        "\x05"
        "\x06"
        "a\r\n");
    EXPECT_EQ(RecordsOf('R'), (Strings{"\x05"
                                       "\x06"
                                       "a\r\n"}));
    EXPECT_EQ(RecordsOf('S'), Strings{});
    EXPECT_TRUE(peer_.Drain().empty());
    EXPECT_EQ(exchange_->DataIndex(), -1);
}

TEST_F(ExchangeTest, EmptyResponseIsNotSentAndPairingStaysInStep) {
    settings_->SplitStrs = "<CR><LF>,<ENQ>,<ACK>";
    settings_->RespondStrs = "<ACK>,,[DATA]";
    Reload();
    dataList_.Assign({"L0"});
    Feed("\x05");
    Feed("\x06");
    EXPECT_EQ(RecordsOf('R'), (Strings{"\x05", "\x06"}));
    EXPECT_EQ(peer_.Drain(), Strings{"L0"});
}

TEST_F(ExchangeTest, EmptySplitItemNeverEndsAFrame) {
    settings_->SplitStrs = ",<ETX>";
    settings_->RespondStrs = "<NAK>,<ACK>";
    Reload();
    Feed(
        "ab\x03"
        "cd");
    EXPECT_EQ(RecordsOf('R'), Strings{"ab\x03"});
    EXPECT_EQ(peer_.Drain(), Strings{kAck});
    EXPECT_EQ(exchange_->Pending(), "cd");
}

TEST_F(ExchangeTest, ResponseTextAroundATokenIsSentAsItsBytes) {
    settings_->SplitStrs = "<ENQ>";
    settings_->RespondStrs = "[DATA]<CR>";
    Reload();
    dataList_.Assign({"L0"});
    Feed("\x05");
    EXPECT_EQ(peer_.Drain(), Strings{"[DATA]\r"});
    EXPECT_EQ(exchange_->DataIndex(), -1);
}

TEST_F(ExchangeTest, EmptySplitListEndsFramesAtLineFeedAndFlushTakesTheRest) {
    settings_->SplitStrs.clear();
    settings_->RespondStrs.clear();
    Reload();
    Feed("one\ntwo\r\nthr");
    EXPECT_EQ(RecordsOf('R'), (Strings{"one\n", "two\r\n"}));
    EXPECT_EQ(exchange_->Pending(), "thr");
    EXPECT_EQ(exchange_->FlushPending(), 1);
    EXPECT_EQ(RecordsOf('R').back(), "thr");
    EXPECT_TRUE(exchange_->Pending().empty());
    EXPECT_EQ(exchange_->FlushPending(), 0);
    EXPECT_EQ(exchange_->RecordCount(), 3u);
    EXPECT_TRUE(peer_.Drain().empty());
}

TEST_F(ExchangeTest, ReloadedSplitStringIsFoundInBytesAlreadyPending) {
    Feed("ab;cd");
    EXPECT_EQ(exchange_->RecordCount(), 0u);
    settings_->SplitStrs = ";";
    Reload();
    EXPECT_EQ(exchange_->Pending(), "ab;cd");
    Feed("e");
    EXPECT_EQ(RecordsOf('R'), Strings{"ab;"});
    EXPECT_EQ(exchange_->Pending(), "cde");
}

TEST_F(ExchangeTest, ZeroOrNegativeCountDoesNothing) {
    view_.sendText = "typed";
    exchange_->OnReceive("\x05", 0);
    exchange_->OnReceive("\x05", -3);
    exchange_->OnReceive(nullptr, 5);
    EXPECT_EQ(exchange_->RecordCount(), 0u);
    EXPECT_TRUE(view_.counts.empty());
    EXPECT_EQ(exchange_->CurrentLine(), "");
}

// --- datagram mode ---

TEST_F(ExchangeTest, DatagramIsOneRecordAnsweredOnceByListOrder) {
    Feed("half");
    settings_->WorkMode = kWorkModeUdp;
    dataList_.Assign({"L0"});
    Feed(
        "x\x06"
        "y\x05"
        "z");
    settings_->WorkMode = 3;
    Feed("\x15\r\n");
    EXPECT_EQ(RecordsOf('R'), (Strings{"x\x06"
                                       "y\x05"
                                       "z",
                                       "\x15\r\n"}));
    // ENQ is listed before ACK; CR LF before NAK.
    EXPECT_EQ(peer_.Drain(), (Strings{kAck, kAck}));
    EXPECT_EQ(exchange_->Pending(), "half");
    EXPECT_EQ(exchange_->DataIndex(), -1);
}

// --- the data list walked by ACK and NAK ---

class DataWalkTest : public ExchangeTest, public testing::WithParamInterface<bool> {};

TEST_P(DataWalkTest, AckSendsNextLineNakRepeatsAndTheEndIsEot) {
    settings_->SupportStress = GetParam() ? 1 : 0;
    dataList_.Assign({"L0<CR>", "L1"});
    view_.sendText = "typed";
    Feed("\x06");
    EXPECT_EQ(view_.sendText, "L0<CR>");
    EXPECT_EQ(dataList_.CurSel(), 0);
    Feed("\x15");
    Feed("\x06");
    EXPECT_EQ(view_.sendText, "L1");
    Feed("\x06");
    Feed("\x06");
    const Strings sent = peer_.Drain();
    const Strings expected = GetParam() ? Strings{"L0\r", "L0\r", "L1", "L0\r", "L1"}
                                        : Strings{"L0\r", "L0\r", "L1", kEot, kEot};
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(RecordsOf('S'), expected);
    EXPECT_EQ(exchange_->DataIndex(), GetParam() ? 1 : 2);
    EXPECT_EQ(view_.sendText, GetParam() ? "L1" : "");
}

INSTANTIATE_TEST_SUITE_P(Stress, DataWalkTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& param) {
                             return param.param ? "Wrapping" : "Ending";
                         });

TEST_F(ExchangeTest, NakRecomposesTheLineWithTheNextFrameNumber) {
    settings_->UsedCheckSum = 1;
    dataList_.Assign({"<FN8>X"});
    Feed("\x06");
    Feed("\x15");
    EXPECT_EQ(peer_.Drain(), (Strings{"1X", "2X"}));
    EXPECT_EQ(exchange_->FrameCounter(), 2);
}

TEST_F(ExchangeTest, NakRepeatsWhatTheSendBoxShows) {
    view_.sendText = "typed<ETX>";
    Feed("\x15");
    EXPECT_EQ(peer_.Drain(), Strings{"typed\x03"});
    EXPECT_EQ(exchange_->DataIndex(), -1);
}

TEST_F(ExchangeTest, AlternatingAcknowledgeRestartsAtEotSoh) {
    settings_->CheckSum = 1;
    Feed("a\r\nb\r\nc\r\n");
    Feed("\x04\x01");
    Feed("d\r\n");
    EXPECT_EQ(peer_.Drain(), (Strings{"\x06", "\x03", "\x06", "\x06", "\x03"}));
}

TEST_F(ExchangeTest, AlternationAppliesOnlyToAcknowledgeResponses) {
    settings_->CheckSum = 1;
    dataList_.Assign({"L0"});
    Feed("a\r\n");
    Feed("\x06");  // a data line is not an acknowledge, but it still flips
    Feed("b\r\n");
    EXPECT_EQ(peer_.Drain(), (Strings{"\x06", "L0", "\x06"}));
}

}  // namespace
}  // namespace qelvor
