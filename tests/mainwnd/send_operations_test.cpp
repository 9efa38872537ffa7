// The send commands over a real TCP connection: the send box, the Enter key,
// control characters, auto-send and the stress test, the CheckSum button and
// the captions that follow the settings.
#include <string>
#include <vector>

#include "mainwnd/engine_fixture.h"
#include "mainwnd/send_operations.h"

namespace qelvor::test {
namespace {

using SendOperations = EngineTest;

TEST_F(SendOperations, SendDataComposesTheSendBoxAndRecordsIt) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    Engine().SetSendText("<STX>abc<ETX>");
    EXPECT_EQ(Engine().OnSendData(), 5);
    EXPECT_EQ(peer.Receive(5),
              "\x02"
              "abc\x03");
    EXPECT_EQ(RecordsOf('S'), std::vector<std::string>{"\x02"
                                                       "abc\x03"});

    // Nothing to send sends nothing and records nothing.
    Engine().SetSendText("");
    EXPECT_EQ(Engine().OnSendData(), 0);
    EXPECT_EQ(RecordsOf('S').size(), 1u);
}

TEST_F(SendOperations, EnterSendsOnlyWhileThePortIsOpen) {
    Engine().SetSendText("hello");
    Engine().OnEnterKey();
    EXPECT_TRUE(Engine().Exchange().Records().empty());

    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    Engine().OnEnterKey();
    EXPECT_EQ(peer.Receive(5), "hello");
    EXPECT_EQ(RecordsOf('S'), std::vector<std::string>{"hello"});
}

TEST_F(SendOperations, ControlItemsSendAndNameTheSendCtrlButton) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    // Before any item was chosen the button names nothing and sends nothing.
    Engine().OnSendCtrl();
    EXPECT_TRUE(RecordsOf('S').empty());

    struct Case {
        int id;
        std::string bytes;
        std::string caption;
    };
    const Case cases[] = {
        {kCmdCrLf, "\r\n", "CRLF"},
        {kCmdEotSoh, std::string("\x04\x01", 2), "EOTSOH"},
        {kCmdCtrlCharFirst + 5, "\x05", "<ENQ>"},
        {kCmdCtrlCharFirst + 0, std::string(1, '\0'), "<NUL>"},
        {kCmdCtrlCharFirst + 31, "\x1f", "<UP>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        ASSERT_TRUE(Engine().OnCtrlMenu(c.id));
        EXPECT_EQ(Button(kIdSendCtrl).caption, c.caption);
        EXPECT_EQ(peer.Receive(c.bytes.size()), c.bytes);
        // The button repeats what its caption names.
        Engine().OnSendCtrl();
        EXPECT_EQ(peer.Receive(c.bytes.size()), c.bytes);
        EXPECT_EQ(RecordsOf('S').back(), c.bytes);
    }
    EXPECT_FALSE(Engine().OnCtrlMenu(kCmdCtrlCharFirst + 32));
    EXPECT_EQ(Button(kIdSendCtrl).caption, "<UP>");
}

TEST_F(SendOperations, AutoSendWalksTheListFromTheSelectionAndReportsCompletion) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    SetLines({"L0", "L1", "L2", "L3", "L4"});
    Engine().DataList().SetCurSel(3);
    Engine().OnAutoSend();
    EXPECT_EQ(view.Period(kTimerAutoSend), 200);
    EXPECT_EQ(Button(kIdAutoSend).caption, "StopSend");

    Engine().OnTimer(kTimerAutoSend);
    EXPECT_EQ(peer.Receive(2), "L3");
    EXPECT_EQ(Pane(1), "Send=4,Count=1");
    EXPECT_EQ(State().sendText, "L3");
    EXPECT_EQ(Engine().DataList().CurSel(), 4);

    Engine().OnTimer(kTimerAutoSend);
    EXPECT_EQ(peer.Receive(2), "L4");
    EXPECT_EQ(Pane(1), "Send=5,Count=2");
    EXPECT_EQ(Engine().DataList().CurSel(), -1);

    Engine().OnTimer(kTimerAutoSend);
    EXPECT_FALSE(view.Running(kTimerAutoSend));
    EXPECT_TRUE(State().autoSend.idle);
    EXPECT_EQ(Button(kIdAutoSend).caption, "AutoSend");
    EXPECT_EQ(Pane(1), "send completed count = 2");
    EXPECT_EQ(RecordsOf('S'), (std::vector<std::string>{"L3", "L4"}));
}

TEST_F(SendOperations, AutoSendOnAnEmptyListStopsAtOnceButTheStressTestRuns) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    Engine().OnAutoSend();
    Engine().OnTimer(kTimerAutoSend);
    EXPECT_FALSE(view.Running(kTimerAutoSend));
    EXPECT_EQ(Pane(1), "send completed count = 0");

    settings.SupportStress = 1;
    Engine().OnAutoSend();
    EXPECT_EQ(Button(kIdAutoSend).caption, "StopTest");
    for (int i = 0; i < 5; ++i)
        Engine().OnTimer(kTimerAutoSend);
    EXPECT_TRUE(view.Running(kTimerAutoSend));
    EXPECT_TRUE(RecordsOf('S').empty());
    Engine().OnAutoSend();
    EXPECT_FALSE(view.Running(kTimerAutoSend));
    EXPECT_EQ(Button(kIdAutoSend).caption, "StressTest");
}

TEST_F(SendOperations, StressTestWrapsToTheFirstLineWithoutSendingInThatTick) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    settings.SupportStress = 1;
    SetLines({"A", "B"});
    Engine().OnAutoSend();
    for (int i = 0; i < 6; ++i)
        Engine().OnTimer(kTimerAutoSend);
    // Ticks: A, B, wrap, A, B, wrap.
    EXPECT_EQ(RecordsOf('S'), (std::vector<std::string>{"A", "B", "A", "B"}));
    EXPECT_EQ(peer.Receive(4), "ABAB");
    EXPECT_EQ(Engine().DataList().CurSel(), 0);
    EXPECT_EQ(Pane(1), "Send=2,Count=4");
}

TEST_F(SendOperations, ClosingThePortStopsAutoSend) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    SetLines({"A", "B", "C"});
    Engine().OnAutoSend();
    Engine().OnTimer(kTimerAutoSend);
    ASSERT_EQ(Pane(1), "Send=1,Count=1");
    Engine().OnClosePort();
    EXPECT_FALSE(view.Running(kTimerAutoSend));
    EXPECT_TRUE(State().autoSend.idle);
    EXPECT_EQ(State().autoSend.count, 0u);
    EXPECT_EQ(Pane(1), "");
    EXPECT_EQ(Button(kIdAutoSend).caption, "AutoSend");
    // A tick already queued by the view sends nothing more.
    Engine().OnTimer(kTimerAutoSend);
    EXPECT_EQ(RecordsOf('S').size(), 1u);
}

TEST_F(SendOperations, AutoSendElapseBelowOneBecomesThreeAndIsStored) {
    for (int elapse : {0, -7}) {
        SCOPED_TRACE(elapse);
        settings.AutoSendElapse = elapse;
        Engine().OnAutoSend();
        EXPECT_EQ(view.Period(kTimerAutoSend), 30);
        EXPECT_EQ(settings.AutoSendElapse, 3);
        Engine().OnAutoSend();
        CComSetting reread(dir.File("t.ini"));
        EXPECT_EQ(reread.AutoSendElapse, 3);
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
    settings.HexSendData = 1;
    settings.SendFileFMT = 2;
    settings.CheckSum = 1;
    settings.SupportStress = 1;
    settings.HandShake = 1;
    settings.UsedResponseFile = 1;
    Engine().RefreshCaptions();
    EXPECT_EQ(Button(kIdSendData).caption, "SendData Hex");
    EXPECT_EQ(Button(kIdSendFile).caption, "SendFile Hex");
    EXPECT_EQ(Button(kIdCheckSum).caption, "CheckSum(LX20)");
    EXPECT_EQ(Button(kIdAutoSend).caption, "StressTest");
    EXPECT_EQ(Button(kIdSetPort).caption, "PortSet");
    EXPECT_EQ(Pane(2), "response file");

    settings.HexSendData = 0;
    settings.SendFileFMT = 1;
    settings.CheckSum = 2;
    settings.SupportStress = 0;
    settings.UsedResponseFile = 0;
    Engine().RefreshCaptions();
    EXPECT_EQ(Button(kIdSendData).caption, "SendData");
    EXPECT_EQ(Button(kIdSendFile).caption, "SendFile Fmt");
    EXPECT_EQ(Button(kIdCheckSum).caption, "CheckSum BCC");
    EXPECT_EQ(Button(kIdAutoSend).caption, "AutoSend");
    EXPECT_EQ(Pane(2), "");

    settings.SendFileFMT = 7;
    settings.CheckSum = 7;
    Engine().RefreshCaptions();
    EXPECT_EQ(Button(kIdSendFile).caption, "SendFile Raw");
    EXPECT_EQ(Button(kIdCheckSum).caption, "CheckSum ASTM");
    EXPECT_FALSE(Button(kIdCheckSum).toolTip.empty());
}

TEST_F(SendOperations, RefreshWhileAutoSendRunsKeepsTheStopCaption) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    SetLines({"A"});
    Engine().OnAutoSend();
    Engine().RefreshCaptions();
    EXPECT_EQ(Button(kIdAutoSend).caption, "StopSend");
    EXPECT_EQ(Button(kIdSetPort).caption, "Setup");
}

}  // namespace
}  // namespace qelvor::test
