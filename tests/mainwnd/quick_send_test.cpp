#include <string>

#include "mainwnd/engine_fixture.h"

namespace qelvor::test {
namespace {

class QuickSendTest : public EngineTest {};

// STX, the text, ETX and the ASTM sum of "1H" and ETX (0x31 + 0x48 + 0x03 =
// 0x7C), then the postamble.
const std::string kFramed =
    "\x02"
    "1H\x03"
    "7C\r\n";

TEST_F(QuickSendTest, ButtonBytesReachThePeerComposedLikeTheSendBox) {
    settings.Preamble = "<STX>";
    settings.Postamble = "<CR><LF>";
    settings.UsedCheckSum = 1;
    settings.CheckSum = 0;
    const std::string text = "1H<ETX><CheckSum>";
    ASSERT_TRUE(Engine().SetQuickSend(0, {"Header", text}));
    EXPECT_EQ(Engine().SendQuick(0), 0);  // the port is not open yet
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    EXPECT_EQ(Engine().SendQuick(0), static_cast<int>(kFramed.size()));
    EXPECT_EQ(peer.Receive(kFramed.size()), kFramed);
    // The same text from the send box gives the same bytes; only that one
    // joins the send history.
    Engine().SetSendText(text);
    Engine().OnEnterKey();
    EXPECT_EQ(peer.Receive(kFramed.size()), kFramed);
    EXPECT_EQ(RecordsOf('S'), (Lines{kFramed, kFramed}));
    EXPECT_EQ(Engine().SendHistory().Texts(), Lines{text});
    // Empty buttons and indexes beyond the row send nothing.
    for (int index : {1, -1, 12})
        EXPECT_EQ(Engine().SendQuick(index), 0) << index;
    EXPECT_EQ(RecordsOf('S').size(), 2u);
    EXPECT_EQ(RecordsOf('I'), Lines{});
}

TEST_F(QuickSendTest, ButtonsAndTheirRowAreKeptInTheSetAcrossARun) {
    const QuickSend blanks{" two words ", "  <ENQ>  "};
    ASSERT_TRUE(Engine().SetQuickSend(0, blanks));
    ASSERT_TRUE(Engine().SetQuickSend(11, {"last", "L"}));
    ASSERT_TRUE(Engine().SetQuickSend(5, {"gone", "G"}));
    ASSERT_TRUE(Engine().SetQuickSend(5, {}));  // emptied again
    Engine().SetQuickSendsShown(true);
    EXPECT_NE(view.changes & kChangedQuickSends, 0u);
    // What one INI line cannot hold, or no button of the row, is refused
    // and changes nothing.
    const struct {
        int index;
        QuickSend button;
    } refused[] = {{1, {"a\tb", "x"}},
                   {1, {"a", "x\ry"}},
                   {1, {"a\nb", "x"}},
                   {12, {"a", "x"}},
                   {-1, {"a", "x"}}};
    for (const auto& bad : refused)
        EXPECT_FALSE(Engine().SetQuickSend(bad.index, bad.button)) << bad.index;
    // A value written by hand without a TAB names its button by its text.
    settings.WriteProfileString(settings.GetCurrentSet(), "QuickSend3", "PING");

    engine.reset();  // the next run reads the file
    const CQuickSends& quick = Engine().QuickSends();
    EXPECT_TRUE(quick.Shown());
    EXPECT_EQ(quick.Button(0).name, blanks.name);
    EXPECT_EQ(quick.Button(0).text, blanks.text);
    EXPECT_EQ(quick.Button(11).text, "L");
    EXPECT_TRUE(quick.Button(1).Empty());
    EXPECT_TRUE(quick.Button(5).Empty());
    EXPECT_EQ(quick.Button(2).name, "PING");
    EXPECT_EQ(quick.Button(2).text, "PING");
    EXPECT_TRUE(quick.Button(12).Empty());
}

}  // namespace
}  // namespace qelvor::test
