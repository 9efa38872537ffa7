#include "mainwnd/engine_fixture.h"

namespace qelvor::test {
namespace {

TEST_F(EngineTest, QuickSendBytesReachThePeerComposedLikeTheSendBox) {
    settings.Preamble = "<STX>";
    settings.Postamble = "<CR><LF>";
    settings.UsedCheckSum = 1;
    settings.CheckSum = 0;
    // The ASTM sum covers "1H" and ETX: 0x31 + 0x48 + 0x03 = 0x7C.
    const std::string framed =
        "\x02"
        "1H\x03"
        "7C\r\n";
    const std::string text = "1H<ETX><CheckSum>";
    ASSERT_TRUE(Engine().SetQuickSend(0, {"Header", text}));
    EXPECT_EQ(Engine().SendQuick(0), 0);  // the port is not open yet
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    for (int index : {0, 1, -1, 12})  // empty buttons and others send nothing
        Engine().SendQuick(index);
    EXPECT_EQ(peer.Receive(framed.size()), framed);
    // The send box's text gives the same bytes; only it joins the history.
    Engine().SetSendText(text);
    Engine().OnEnterKey();
    EXPECT_EQ(peer.Receive(framed.size()), framed);
    EXPECT_EQ(RecordsOf('S'), (Lines{framed, framed}));
    EXPECT_EQ(Engine().SendHistory().Texts(), Lines{text});
}

TEST_F(EngineTest, QuickSendsAndTheirRowAreKeptInTheSetAcrossARun) {
    const QuickSend blanks{" two words ", "  <ENQ>  "};
    ASSERT_TRUE(Engine().SetQuickSend(0, blanks) && Engine().SetQuickSend(5, {"gone", "G"}) &&
                Engine().SetQuickSend(5, {}));
    Engine().SetQuickSendsShown(true);
    EXPECT_NE(view.changes & kChangedQuickSends, 0u);
    // What one INI line cannot hold, or no button of the row, is refused.
    for (const auto& [index, name, text] : {std::tuple{1, "a\tb", "x"},
                                            {1, "a", "x\ry"},
                                            {1, "a\nb", "x"},
                                            {12, "a", "x"},
                                            {-1, "a", "x"}})
        EXPECT_FALSE(Engine().SetQuickSend(index, {name, text})) << index << name << text;
    // A value written by hand without a TAB names its button by its text.
    settings.WriteProfileString(settings.GetCurrentSet(), "QuickSend3", "PING");
    engine.reset();  // the next run reads the file
    const CQuickSends& quick = Engine().QuickSends();
    EXPECT_TRUE(quick.Shown());
    EXPECT_EQ(quick.Button(0).name + "|" + quick.Button(0).text, blanks.name + "|" + blanks.text);
    EXPECT_EQ(quick.Button(2).name + "|" + quick.Button(2).text, "PING|PING");
    EXPECT_TRUE(quick.Button(1).Empty() && quick.Button(5).Empty());
}

}  // namespace
}  // namespace qelvor::test
