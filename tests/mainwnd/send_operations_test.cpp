// The send commands: send box, control items, auto-send, stress test, captions, CheckSum.
#include <clocale>
#include <cstdlib>

#include "support/engine_fixture.h"

namespace qelvor::test {
namespace {

// An engine connected as a TCP client to the test's peer.
class SendOperations : public EngineTest {
  protected:
    void SetUp() override { ASSERT_TRUE((peer = ConnectAsClient()).Valid()); }
    bool AutoSendStopped() {
        return !view.Running(kTimerAutoSend) && Button(kIdAutoSend).caption == "AutoSend";
    }
    Socket peer;
};

// Closed, Enter sends nothing; a server without a client records the failure and says why.
TEST_F(SendOperations, SendDataAndEnterComposeTheSendBoxOrSayWhyNot) {
    Engine().SetSendText("<STX>abc<ETX>");
    EXPECT_EQ(Engine().OnSendData(), 5);
    Engine().SetSendText("hi");
    Engine().OnEnterKey();
    EXPECT_EQ(peer.Receive(7), "\002abc\003hi");
    Engine().SetSendText("");
    EXPECT_EQ(Engine().OnSendData(), 0);
    EXPECT_EQ(RecordsOf('S'), (Lines{"\002abc\003", "hi"}));
    // The set's line end follows typed text out; the box keeps the text as typed.
    settings.SendLineEnd = 3;
    Engine().SetSendText("ok");
    Engine().OnEnterKey();
    EXPECT_EQ(peer.Receive(4) + "|" + State().sendText, "ok\r\n|ok");
    settings.SendLineEnd = 0;
    Engine().SetSendText("hi");
    Engine().OnClosePort();
    Engine().OnEnterKey();  // closed: nothing sent, nothing recorded
    EXPECT_EQ(Engine().Exchange().RecordCount(), 3u);
    OpenTcp(kWorkModeTcpServer, loopback::FreePort(SOCK_STREAM));
    view.changes = 0;
    EXPECT_EQ(Engine().OnSendData(), 0);
    Engine().OnCtrlMenu(kCmdCrLf);
    EXPECT_EQ(RecordsOf('I'), Lines(2, kSendErrorText));
    EXPECT_EQ(State().pane0ToolTip, "no client connected");
    EXPECT_NE(view.changes & kChangedStatus, 0u);
}

// A locale of a character set no conversion knows, built in the test's folder.
bool UseUnknownCharsetLocale(const TempFolder& dir) {
    WriteFile(dir.File("charmap"),
              "<code_set_name> QELVOR-UNKNOWN\nCHARMAP\n<U0041> /x41\nEND CHARMAP\n");
    WriteFile(dir.File("source"), "LC_CTYPE\nEND LC_CTYPE\n");
    const std::string build = "localedef -c -i " + dir.File("source") + " -f " +
                              dir.File("charmap") + " " + dir.File("unknown") + " >/dev/null 2>&1";
    if (std::system(build.c_str()) == -1) return false;
    setenv("LOCPATH", dir.Path().c_str(), 1);
    const bool ok = std::setlocale(LC_CTYPE, "unknown") != nullptr;
    unsetenv("LOCPATH");
    return ok;
}

TEST_F(SendOperations, FrameEmptiedByTheConversionLeavesARecordWhy) {
    ASSERT_TRUE(UseUnknownCharsetLocale(dir));
    settings.SenDataEncodeCov = 1;
    Engine().SetSendText("A");
    const int sent = Engine().OnSendData();
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(std::make_tuple(sent, RecordsOf('S'), RecordsOf('I')),
              std::make_tuple(0, Lines{},
                              Lines{"Send data: nothing sent, cannot convert from "
                                    "QELVOR-UNKNOWN to UTF-16LE"}));
}

TEST_F(SendOperations, ControlItemsSendAndNameTheSendCtrlButton) {
    Engine().OnSendCtrl();  // no item chosen yet: nothing to repeat
    EXPECT_TRUE(RecordsOf('S').empty());
    // clang-format off
    const struct { int id; std::string bytes, caption; } cases[] = {
        {kCmdCrLf, "\r\n", "CRLF"}, {kCmdEotSoh, "\x04\x01", "EOTSOH"},
        {kCmdCtrlCharFirst, std::string(1, '\0'), "<NUL>"}, {kCmdCtrlCharFirst + 31, "\x1f", "<UP>"}};
    // clang-format on
    for (const auto& c : cases) {
        ASSERT_TRUE(Engine().OnCtrlMenu(c.id));
        EXPECT_EQ(Button(kIdSendCtrl).caption, c.caption);
        Engine().OnSendCtrl();
        EXPECT_EQ(peer.Receive(2 * c.bytes.size()), c.bytes + c.bytes) << c.caption;
    }
    EXPECT_FALSE(Engine().OnCtrlMenu(kCmdCtrlCharFirst + 32));
    EXPECT_EQ(Button(kIdSendCtrl).caption, "<UP>");
}

TEST_F(SendOperations, AutoSendStartsAtTheSelectionReportsCompletionAndStopsOnClose) {
    SetLines({"L0", "L1", "L2", "L3", "L4"});
    Engine().DataList().SetCurSel(3);
    Engine().OnAutoSend();
    EXPECT_EQ(view.Period(kTimerAutoSend), 200);
    Engine().RefreshCaptions();  // must keep the running caption
    EXPECT_EQ(Button(kIdAutoSend).caption, "StopSend");
    // clang-format off
    const struct { std::string line, pane; int selection; } ticks[] = {
        {"L3", "Send=4,Count=1", 4}, {"L4", "Send=5,Count=2", -1}};
    // clang-format on
    for (const auto& tick : ticks) {
        Engine().OnTimer(kTimerAutoSend);
        EXPECT_EQ(std::make_tuple(peer.Receive(2), State().sendText + Pane(1),
                                  Engine().DataList().CurSel()),
                  std::make_tuple(tick.line, tick.line + tick.pane, tick.selection));
    }
    Engine().OnTimer(kTimerAutoSend);
    EXPECT_TRUE(AutoSendStopped());
    EXPECT_EQ(Pane(1), "send completed count = 2");
    Engine().DataList().SetCurSel(0);
    Engine().OnAutoSend();
    Engine().OnTimer(kTimerAutoSend);
    ASSERT_EQ(Pane(1), "Send=1,Count=1");
    Engine().OnClosePort();
    EXPECT_TRUE(AutoSendStopped());
    EXPECT_EQ(Pane(1), "");
    Engine().OnTimer(kTimerAutoSend);  // a tick the view had queued already
    EXPECT_EQ(RecordsOf('S'), (Lines{"L3", "L4", "L0"}));
}

TEST_F(SendOperations, StressTestWrapsToTheFirstLineWithoutSendingInThatTick) {
    settings.AutoSendElapse = -7;  // below 1: every 30 ms (stored: EngineSettingWrites)
    Engine().OnAutoSend();         // an empty list completes at the first tick
    EXPECT_EQ(view.Period(kTimerAutoSend), 30);
    Engine().OnTimer(kTimerAutoSend);
    EXPECT_EQ(Pane(1), "send completed count = 0");
    settings.SupportStress = 1;
    SetLines({"A", "B"});
    Engine().OnAutoSend();
    EXPECT_EQ(Button(kIdAutoSend).caption, "StopTest");
    for (int i = 0; i < 6; ++i)  // A, B, wrap, A, B, wrap
        Engine().OnTimer(kTimerAutoSend);
    EXPECT_EQ(std::make_tuple(peer.Receive(4), Engine().DataList().CurSel(), Pane(1)),
              std::make_tuple("ABAB", 0, "Send=2,Count=4"));
    Engine().OnAutoSend();
    EXPECT_EQ(Button(kIdAutoSend).caption, "StressTest");
}

TEST_F(SendOperations, CheckSumButtonAndCaptionsFollowTheSettings) {
    // The tool tip names the bytes the sum covers: the brackets for LX20, else STX to ETX/ETB.
    // clang-format off
    const struct { int hex, fileFmt, checkSum, stress, responseFile; std::string captions, toolTip, text; } cases[] = {
        {1, 2, 1, 1, 1, "SendData Hex|SendFile Hex|CheckSum(LX20)|StressTest|response file", "'['(included)", "[abc]22"},
        {0, 1, 2, 0, 0, "SendData|SendFile Fmt|CheckSum BCC|AutoSend|", "<STX>(not included)", "[abc]y\x03\x1C"},
        {0, 7, 7, 0, 0, "SendData|SendFile Raw|CheckSum ASTM|AutoSend|", "<STX>(not included)", "x[abc]y\x03" "D2"}};
    // clang-format on
    settings.HandShake = 1;
    for (const auto& c : cases) {
        std::tie(settings.HexSendData, settings.SendFileFMT, settings.CheckSum,
                 settings.SupportStress, settings.UsedResponseFile) =
            std::tie(c.hex, c.fileFmt, c.checkSum, c.stress, c.responseFile);
        Engine().RefreshCaptions();
        EXPECT_EQ(Button(kIdSendData).caption + "|" + Button(kIdSendFile).caption + "|" +
                      Button(kIdCheckSum).caption + "|" + Button(kIdAutoSend).caption + "|" +
                      Pane(2),
                  c.captions);
        EXPECT_NE(Button(kIdCheckSum).toolTip.find(c.toolTip), std::string::npos) << c.captions;
        Engine().SetSendText("x[abc]y");
        Engine().OnCheckSumButton();
        EXPECT_EQ(State().sendText, c.text) << c.captions;
    }
    EXPECT_TRUE(Engine().Exchange().Records().empty());  // the CheckSum button sends nothing
}

}  // namespace
}  // namespace qelvor::test
