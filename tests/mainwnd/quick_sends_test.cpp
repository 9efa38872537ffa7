// The quick-send row of the engine: kept in the set, sent like the send box.
#include <tuple>

#include "support/engine_fixture.h"

namespace qelvor::test {
namespace {

using QuickSends = EngineTest;

// Kept across a run; only the send box has a history.
TEST_F(QuickSends, AreKeptInTheSetAndSentComposedLikeTheSendBox) {
    const QuickSend blanks{" two words ", "  <ENQ>  "};
    ASSERT_TRUE(Engine().SetQuickSend(0, blanks) && Engine().SetQuickSend(5, {"gone", "G"}) &&
                Engine().SetQuickSend(5, {}));
    Engine().SetQuickSendsShown(true);
    EXPECT_NE(view.changes & kChangedQuickSends, 0u);
    // What one INI line cannot hold, or no button of the row, is refused.
    for (const auto& [index, name, text] :
         {std::tuple{1, "a\tb", "x"}, {1, "a", "x\ry"}, {12, "a", "x"}, {-1, "a", "x"}})
        EXPECT_FALSE(Engine().SetQuickSend(index, {name, text})) << index << name << text;
    // A value written by hand without a TAB names its button by its text.
    settings.WriteProfileString(settings.GetCurrentSet(), "QuickSend3", "PING");
    engine.reset();  // the next run reads the file
    const CQuickSends& quick = Engine().QuickSends();
    EXPECT_TRUE(quick.Shown() && quick.Button(1).Empty() && quick.Button(5).Empty());
    EXPECT_EQ(quick.Button(0).name + "|" + quick.Button(0).text + "|" + quick.Button(2).name + "|" +
                  quick.Button(2).text,
              blanks.name + "|" + blanks.text + "|PING|PING");

    std::tie(settings.Preamble, settings.Postamble, settings.UsedCheckSum, settings.CheckSum) =
        std::make_tuple("<STX>", "<CR><LF>", 1, 0);
    // The ASTM sum covers "1H" and ETX: 0x31 + 0x48 + 0x03 = 0x7C.
    const std::string framed = "\0021H\0037C\r\n";
    ASSERT_TRUE(Engine().SetQuickSend(1, {"Header", "1H<ETX><CheckSum>"}));
    EXPECT_EQ(Engine().SendQuick(1), 0);  // the port is not open yet
    Socket peer = ConnectAsClient();
    for (int index : {1, 3, -1, 12})  // empty buttons and others send nothing
        Engine().SendQuick(index);
    EXPECT_EQ(std::make_tuple(peer.Receive(framed.size()), RecordsOf('S')),
              std::make_tuple(framed, Lines{framed}));
    EXPECT_TRUE(Engine().SendHistory().Texts().empty()) << "only the send box has a history";
}

}  // namespace
}  // namespace qelvor::test
