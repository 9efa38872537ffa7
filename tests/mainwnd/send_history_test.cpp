#include "mainwnd/send_history.h"

#include "mainwnd/engine_fixture.h"

namespace qelvor::test {
namespace {

TEST(SendHistory, UpAndDownWalkLikeAShellAndASendStartsAgain) {
    CSendHistory history;
    ASSERT_TRUE(history.Load("", "ComSet"));
    EXPECT_EQ(history.Older("typed"), "typed");  // nothing to walk
    for (const char* text : {"a", "b", "c", "c", ""})
        history.Add(text);
    EXPECT_EQ(history.Texts(), (Lines{"a", "b", "c"}));  // no repeat, no empty text
    // Each key (Up true), the box's text, and what the box shows after it.
    const std::tuple<bool, std::string, std::string> walk[] = {
        {false, "typed", "typed"}, {true, "typed", "c"}, {true, "c", "b"},  {true, "b", "a"},
        {true, "a", "a"},          {false, "a", "b"},    {false, "b", "c"}, {false, "c", "typed"},
        {false, "typed", "typed"}, {true, "x", "c"},     {true, "c", "b"}};
    for (const auto& [up, current, shown] : walk)
        EXPECT_EQ(up ? history.Older(current) : history.Newer(current), shown) << current;
    history.Add("d");  // a send in the middle of a walk ends it
    EXPECT_EQ(history.Newer("d"), "d");
    EXPECT_EQ(history.Older("y"), "d");
}

TEST_F(EngineTest, SendHistoryKeepsTheNewest50OfEachSetThroughAReloadOfTheIni) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    Lines expected;
    for (int i = 0; i < 52; ++i)
        expected.push_back("t" + std::to_string(i));
    // Texts that look like the file's own lines, and line ends, survive.
    for (const char* odd : {"[Other]", "=x", "a\\nb", "cr\rlf\n", "\\"})
        expected.push_back(odd);
    for (const std::string& text : expected) {
        Engine().SetSendText(text);
        Engine().OnEnterKey();
    }
    expected.erase(expected.begin(), expected.end() - 50);
    EXPECT_EQ(Engine().SendHistory().Texts(), expected);
    CSendHistory other;  // another set's texts are its own and kept apart
    ASSERT_TRUE(other.Load(CSendHistory::FileFor(settings.IniPath), "Other"));
    EXPECT_TRUE(other.Texts().empty());
    ASSERT_EQ(other.Add("mine"), 0);

    engine.reset();
    settings = CComSetting::Loaded(settings.IniPath);
    EXPECT_EQ(Engine().SendHistory().Texts(), expected);
    Engine().SetSendText("draft");
    Engine().HistoryOlder();
    EXPECT_EQ(State().sendText, "\\");
    Engine().HistoryNewer();
    EXPECT_EQ(State().sendText, "draft");
    ASSERT_TRUE(other.Load(CSendHistory::FileFor(settings.IniPath), "OTHER"));
    EXPECT_EQ(other.Texts(), Lines{"mine"});
}

}  // namespace
}  // namespace qelvor::test
