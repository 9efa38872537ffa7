// The send box's history of the engine, kept per set in its own file.
#include "mainwnd/send_history.h"
#include "support/engine_fixture.h"

namespace qelvor::test {
namespace {

using SendHistory = EngineTest;

// The newest 50 texts, each set's apart, through a reload; a send ends a walk.
TEST_F(SendHistory, KeepsTheNewest50OfEachSetAndASendEndsTheWalk) {
    Socket peer = ConnectAsClient();
    Lines expected;
    for (int i = 0; i < 52; ++i)
        expected.push_back("t" + std::to_string(i));
    // Texts like the file's own lines, and line ends, survive; a repeat or "" is not kept.
    for (const char* odd : {"[Other]", "=x", "a\\nb", "cr\rlf\n", "\\", "\\", ""})
        expected.push_back(odd);
    for (const std::string& text : expected) {
        Engine().SetSendText(text);
        Engine().OnEnterKey();
    }
    expected.resize(expected.size() - 2);
    expected.erase(expected.begin(), expected.end() - 50);
    EXPECT_EQ(Engine().SendHistory().Texts(), expected);
    // Up and Down from a draft to past the oldest and back: the window tests.
    Engine().HistoryOlder();
    Engine().SetSendText("d");  // sent in the middle of the walk
    Engine().OnEnterKey();
    Engine().HistoryNewer();
    EXPECT_EQ(State().sendText, "d");
    expected.erase(expected.begin());
    expected.push_back("d");
    CSendHistory other;  // another set's texts are its own and kept apart
    ASSERT_TRUE(other.Load(CSendHistory::FileFor(settings.IniPath), "Other"));
    EXPECT_EQ(other.Older("typed"), "typed");  // nothing to walk
    ASSERT_EQ(other.Add("mine"), 0);

    engine.reset();
    settings = CComSetting::Loaded(settings.IniPath);
    EXPECT_EQ(Engine().SendHistory().Texts(), expected);
    ASSERT_TRUE(other.Load(CSendHistory::FileFor(settings.IniPath), "OTHER"));
    EXPECT_EQ(other.Texts(), Lines{"mine"});
}

}  // namespace
}  // namespace qelvor::test
