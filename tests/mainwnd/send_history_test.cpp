#include "mainwnd/send_history.h"

#include <sys/stat.h>

#include <string>

#include "mainwnd/engine_fixture.h"

namespace qelvor::test {
namespace {

// One key press of the walk: Up (older) or Down (newer) with the send box's
// text, and the text the box shows after it.
struct Step {
    bool up;
    std::string current;
    std::string shown;
};

TEST(SendHistory, UpAndDownWalkLikeAShellAndASendStartsAgain) {
    CSendHistory history;
    ASSERT_TRUE(history.Load("", "ComSet"));
    EXPECT_EQ(history.Older("typed"), "typed");  // nothing to walk
    for (const char* text : {"a", "b", "c", "c", ""})
        EXPECT_EQ(history.Add(text), 0);
    EXPECT_EQ(history.Texts(), (Lines{"a", "b", "c"}));  // no repeat, no empty text
    const Step walk[] = {
        {false, "typed", "typed"},  // not walking: Down changes nothing
        {true, "typed", "c"},      {true, "c", "b"},
        {true, "b", "a"},          {true, "a", "a"},  // the oldest stays
        {false, "a", "b"},         {false, "b", "c"},
        {false, "c", "typed"},  // past the newest: the text typed before
        {false, "typed", "typed"},
    };
    for (size_t i = 0; i < std::size(walk); ++i) {
        const Step& step = walk[i];
        EXPECT_EQ(step.up ? history.Older(step.current) : history.Newer(step.current), step.shown)
            << "step " << i;
    }
    EXPECT_EQ(history.Older("x"), "c");
    EXPECT_EQ(history.Older("c"), "b");
    EXPECT_EQ(history.Add("d"), 0);  // a send in the middle of a walk ends it
    EXPECT_EQ(history.Newer("d"), "d");
    EXPECT_EQ(history.Older("y"), "d");
}

TEST(SendHistory, KeepsTheNewest50OfEachSetInItsFile) {
    testing_support::TempFolder dir;
    const std::string file = CSendHistory::FileFor(dir.File("q.ini"));
    CSendHistory first;
    ASSERT_TRUE(first.Load(file, "ComSet"));  // no file yet
    Lines expected;
    for (int i = 0; i < 55; ++i) {
        ASSERT_EQ(first.Add("t" + std::to_string(i)), 0);
        if (i >= 5) expected.push_back("t" + std::to_string(i));
    }
    // Texts that look like the file's own lines, and line ends, survive.
    for (const char* odd : {"[Other]", "=x", "a\\nb", "cr\rlf\n", "\\"}) {
        ASSERT_EQ(first.Add(odd), 0);
        expected.erase(expected.begin());
        expected.push_back(odd);
    }
    EXPECT_EQ(first.Texts(), expected);
    CSendHistory other;
    ASSERT_TRUE(other.Load(file, "Other"));
    EXPECT_TRUE(other.Texts().empty());
    ASSERT_EQ(other.Add("mine"), 0);

    CSendHistory again;  // the set's name in another case is the same set
    ASSERT_TRUE(again.Load(file, "COMSET"));
    EXPECT_EQ(again.Texts(), expected);
    ASSERT_TRUE(other.Load(file, "Other"));
    EXPECT_EQ(other.Texts(), Lines{"mine"});
}

TEST(SendHistory, AFileThatCannotBeWrittenKeepsTheTextsAndSaysWhy) {
    testing_support::TempFolder dir;
    const std::string file = dir.File("h.history");
    ASSERT_EQ(mkdir((file + ".new").c_str(), 0755), 0);  // the new file's place is taken
    CSendHistory history;
    ASSERT_TRUE(history.Load(file, "ComSet"));
    EXPECT_NE(history.Add("kept"), 0);
    EXPECT_EQ(history.Texts(), Lines{"kept"});
    EXPECT_EQ(history.Older(""), "kept");
    ASSERT_EQ(mkdir((file + "2").c_str(), 0755), 0);  // a folder is no history
    EXPECT_FALSE(history.Load(file + "2", "ComSet"));
    EXPECT_TRUE(history.Texts().empty());
}

class HistoryEngine : public EngineTest {};

TEST_F(HistoryEngine, SendBoxSendsAreWalkedAndKeptThroughAReloadOfTheIni) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    for (const char* text : {"first", "second"}) {
        Engine().SetSendText(text);
        Engine().OnEnterKey();
    }
    EXPECT_EQ(peer.Receive(11), "firstsecond");
    Engine().SetSendText("draft");
    Engine().HistoryOlder();
    EXPECT_EQ(State().sendText, "second");
    EXPECT_NE(view.changes & kChangedSendText, 0u);
    Engine().HistoryOlder();
    EXPECT_EQ(State().sendText, "first");
    Engine().HistoryNewer();
    Engine().HistoryNewer();
    EXPECT_EQ(State().sendText, "draft");

    engine.reset();
    settings = CComSetting::Loaded(settings.IniPath);
    Engine().SetSendText("");
    Engine().HistoryOlder();
    EXPECT_EQ(State().sendText, "second");
    EXPECT_EQ(Engine().SendHistory().Texts(), (Lines{"first", "second"}));
}

}  // namespace
}  // namespace qelvor::test
