// The send commands over a real TCP connection: the send box, the Enter key,
// control characters, auto-send and the stress test, the CheckSum button and
// the captions that follow the settings.
#include <string>

#include "mainwnd/engine_fixture.h"
#include "mainwnd/send_operations.h"

namespace qelvor::test {
namespace {

using SendOperations = EngineTest;

TEST_F(SendOperations, SendDataAndEnterComposeTheSendBoxOnlyWhileOpen) {
    Engine().SetSendText("<STX>abc<ETX>");
    Engine().OnEnterKey();
    EXPECT_TRUE(Engine().Exchange().Records().empty());

    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    EXPECT_EQ(Engine().OnSendData(), 5);
    EXPECT_EQ(peer.Receive(5),
              "\x02"
              "abc\x03");
    Engine().SetSendText("hi");
    Engine().OnEnterKey();
    EXPECT_EQ(peer.Receive(2), "hi");
    Engine().SetSendText("");
    EXPECT_EQ(Engine().OnSendData(), 0);
    EXPECT_EQ(RecordsOf('S'), (Lines{"\x02"
                                     "abc\x03",
                                     "hi"}));
}

TEST_F(SendOperations, ControlItemsSendAndNameTheSendCtrlButton) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    Engine().OnSendCtrl();  // no item chosen yet: nothing to repeat
    EXPECT_TRUE(RecordsOf('S').empty());
    struct Case {
        int id;
        std::string bytes;
        std::string caption;
    };
    const Case cases[] = {
        {kCmdCrLf, "\r\n", "CRLF"},
        {kCmdEotSoh, std::string("\x04\x01", 2), "EOTSOH"},
        {kCmdCtrlCharFirst + 0, std::string(1, '\0'), "<NUL>"},
        {kCmdCtrlCharFirst + 31, "\x1f", "<UP>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        ASSERT_TRUE(Engine().OnCtrlMenu(c.id));
        EXPECT_EQ(Button(kIdSendCtrl).caption, c.caption);
        EXPECT_EQ(peer.Receive(c.bytes.size()), c.bytes);
        Engine().OnSendCtrl();
        EXPECT_EQ(peer.Receive(c.bytes.size()), c.bytes);
        EXPECT_EQ(RecordsOf('S').back(), c.bytes);
    }
    EXPECT_FALSE(Engine().OnCtrlMenu(kCmdCtrlCharFirst + 32));
    EXPECT_EQ(Button(kIdSendCtrl).caption, "<UP>");
}

TEST_F(SendOperations, AutoSendStartsAtTheSelectionReportsCompletionAndStopsOnClose) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    SetLines({"L0", "L1", "L2", "L3", "L4"});
    Engine().DataList().SetCurSel(3);
    Engine().OnAutoSend();
    EXPECT_EQ(view.Period(kTimerAutoSend), 200);
    Engine().RefreshCaptions();  // must keep the running caption
    EXPECT_EQ(Button(kIdAutoSend).caption, "StopSend");
    EXPECT_EQ(Button(kIdSetPort).caption, "Setup");
    const struct {
        std::string line;
        std::string pane;
        int selection;
    } ticks[] = {{"L3", "Send=4,Count=1", 4}, {"L4", "Send=5,Count=2", -1}};
    for (const auto& tick : ticks) {
        Engine().OnTimer(kTimerAutoSend);
        EXPECT_EQ(peer.Receive(2), tick.line);
        EXPECT_EQ(State().sendText, tick.line);
        EXPECT_EQ(Pane(1), tick.pane);
        EXPECT_EQ(Engine().DataList().CurSel(), tick.selection);
    }
    Engine().OnTimer(kTimerAutoSend);
    EXPECT_FALSE(view.Running(kTimerAutoSend));
    EXPECT_TRUE(State().autoSend.idle);
    EXPECT_EQ(Button(kIdAutoSend).caption, "AutoSend");
    EXPECT_EQ(Pane(1), "send completed count = 2");

    Engine().DataList().SetCurSel(0);
    Engine().OnAutoSend();
    Engine().OnTimer(kTimerAutoSend);
    ASSERT_EQ(Pane(1), "Send=1,Count=1");
    Engine().OnClosePort();
    EXPECT_FALSE(view.Running(kTimerAutoSend));
    EXPECT_TRUE(State().autoSend.idle);
    EXPECT_EQ(Pane(1), "");
    EXPECT_EQ(Button(kIdAutoSend).caption, "AutoSend");
    Engine().OnTimer(kTimerAutoSend);  // a tick the view had queued already
    EXPECT_EQ(RecordsOf('S'), (Lines{"L3", "L4", "L0"}));
}

TEST_F(SendOperations, StressTestWrapsToTheFirstLineWithoutSendingInThatTick) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    Engine().OnAutoSend();  // an empty list completes at the first tick
    Engine().OnTimer(kTimerAutoSend);
    EXPECT_EQ(Pane(1), "send completed count = 0");

    settings.SupportStress = 1;
    SetLines({"A", "B"});
    Engine().OnAutoSend();
    EXPECT_EQ(Button(kIdAutoSend).caption, "StopTest");
    for (int i = 0; i < 6; ++i)  // A, B, wrap, A, B, wrap
        Engine().OnTimer(kTimerAutoSend);
    EXPECT_EQ(peer.Receive(4), "ABAB");
    EXPECT_EQ(Engine().DataList().CurSel(), 0);
    EXPECT_EQ(Pane(1), "Send=2,Count=4");
    EXPECT_TRUE(view.Running(kTimerAutoSend));
    Engine().OnAutoSend();
    EXPECT_FALSE(view.Running(kTimerAutoSend));
    EXPECT_EQ(Button(kIdAutoSend).caption, "StressTest");
}

TEST_F(SendOperations, AutoSendElapseBelowOneBecomesThreeAndIsStored) {
    for (int elapse : {0, -7}) {
        SCOPED_TRACE(elapse);
        settings.AutoSendElapse = elapse;
        Engine().OnAutoSend();
        EXPECT_EQ(view.Period(kTimerAutoSend), 30);
        EXPECT_EQ(settings.AutoSendElapse, 3);
        Engine().OnAutoSend();
        EXPECT_EQ(CComSetting(dir.File("t.ini")).AutoSendElapse, 3);
        WriteFile(dir.File("t.ini"), "");
    }
}

TEST_F(SendOperations, CheckSumButtonRewritesTheSendTextWithoutSending) {
    settings.CheckSum = 0;
    Engine().SetSendText(
        "\x02"
        "1abc\x03");
    Engine().OnCheckSumButton();
    EXPECT_EQ(State().sendText,
              "1abc\x03"
              "5A");
    settings.CheckSum = 1;
    Engine().SetSendText("x[abc]y");
    Engine().OnCheckSumButton();
    EXPECT_EQ(State().sendText, "[abc]22");
    EXPECT_TRUE(Engine().Exchange().Records().empty());
}

TEST_F(SendOperations, CaptionsFollowTheSettings) {
    struct Case {
        int hex, fileFmt, checkSum, stress, responseFile;
        std::string sendData, sendFile, checkSumCaption, autoSend, pane2;
    };
    const Case cases[] = {
        {1, 2, 1, 1, 1, "SendData Hex", "SendFile Hex", "CheckSum(LX20)", "StressTest",
         "response file"},
        {0, 1, 2, 0, 0, "SendData", "SendFile Fmt", "CheckSum BCC", "AutoSend", ""},
        {0, 7, 7, 0, 0, "SendData", "SendFile Raw", "CheckSum ASTM", "AutoSend", ""},
    };
    settings.HandShake = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sendFile);
        settings.HexSendData = c.hex;
        settings.SendFileFMT = c.fileFmt;
        settings.CheckSum = c.checkSum;
        settings.SupportStress = c.stress;
        settings.UsedResponseFile = c.responseFile;
        Engine().RefreshCaptions();
        EXPECT_EQ(Button(kIdSendData).caption, c.sendData);
        EXPECT_EQ(Button(kIdSendFile).caption, c.sendFile);
        EXPECT_EQ(Button(kIdCheckSum).caption, c.checkSumCaption);
        EXPECT_NE(Button(kIdCheckSum).toolTip, "");
        EXPECT_EQ(Button(kIdAutoSend).caption, c.autoSend);
        EXPECT_EQ(Button(kIdSetPort).caption, "PortSet");
        EXPECT_EQ(Pane(2), c.pane2);
    }
}

}  // namespace
}  // namespace qelvor::test
