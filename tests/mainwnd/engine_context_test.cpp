// Settings the engine changes outside the dialog, written to the current set or told why not.
#include "support/engine_fixture.h"

namespace qelvor::test {
namespace {

struct SettingWrite {
    std::function<void(CMainEngine&)> command;
    const char* line;     // the line the current set holds after it
    const char* subject;  // what the 'I' record says was not saved
};

class EngineSettingWrites : public EngineTest {
  protected:
    EngineSettingWrites() {
        WriteFile(dataFile, "one\r\ntwo\r\n");
        settings.AutoSendElapse = 0;  // the auto-send start stores its default
        settings.SetCurrentSet("Lab");
    }
    // The 'I' records the command added.
    Lines Run(const SettingWrite& write) {
        const size_t before = RecordsOf('I').size();
        write.command(Engine());
        Lines added = RecordsOf('I');
        added.erase(added.begin(), added.begin() + static_cast<std::ptrdiff_t>(before));
        return added;
    }

    const std::string dataFile = dir.File("data.txt");
    // clang-format off
    const std::vector<SettingWrite> writes = {
        {[](CMainEngine& e) { e.SetViewOption(SettingKey::EchoFree, true); }, "\nEchoFree=1\r\n", "setting EchoFree"},
        {[](CMainEngine& e) { e.SetViewOption(SettingKey::StatisticsShown, true); }, "\nStatisticsShown=1\r\n",
         "setting StatisticsShown"},
        {[](CMainEngine& e) { e.SetHighlightRules({{MatchMode::kRegex, "a|b", 0x102030}}); },
         "\nHighlight1=regex|#102030|a|b\r\nHighlight2=\r\n", "highlight rules"},
        {[](CMainEngine& e) { e.ToggleDataList(); }, "\nShowDataListWnd=0\r\n", "setting ShowDataListWnd"},
        {[](CMainEngine& e) { e.OnAutoSend(); }, "\nAutoSendElapse=3\r\n", "setting AutoSendElapse"},
        {[](CMainEngine& e) { e.OnSelectUI(kCmdSelectUiEnglish); }, "\nUsedUILangCode=2\r\n", "setting UsedUILangCode"},
        {[](CMainEngine& e) { e.SetQuickSend(2, {"ping", "PING<CR>"}); }, "\nQuickSend3=ping\tPING<CR>\r\n",
         "quick send QuickSend3"},
        {[](CMainEngine& e) { e.SetQuickSendsShown(true); }, "\nQuickSendShown=1\r\n", "quick send row shown"},
        // These two write the whole set.
        {[](CMainEngine& e) { e.SetScrollToNewest(true); }, "\nScrollRSWnd=1\r\n", "settings"},
        {[](CMainEngine& e) { e.ToggleSendNow(); }, "\nLButtonDblClkSend=1\r\n", "settings"}};
    // clang-format on
};

TEST_F(EngineSettingWrites, EachCommandWritesItsKeyIntoTheCurrentSet) {
    for (const SettingWrite& write : writes) {
        SCOPED_TRACE(write.line);
        EXPECT_EQ(Run(write), Lines{});
        const std::string text = ReadFile(settings.IniPath);
        const size_t section = text.find("[Lab]\r\n");
        ASSERT_NE(section, std::string::npos) << text;
        EXPECT_NE(text.find(write.line, section), std::string::npos) << text;
    }
    // Keys outside the set's table keep their place: the data file in ComSet.
    ASSERT_TRUE(Engine().LoadDataFile(dataFile));
    EXPECT_EQ(settings.ReadProfileString("ComSet", "LoadFile", ""), dataFile);
    // A key that is no view option is refused and changes nothing.
    const std::string before = ReadFile(settings.IniPath);
    EXPECT_FALSE(Engine().SetViewOption(SettingKey::BaudRate, true));
    EXPECT_EQ(std::make_tuple(settings.BaudRate, ReadFile(settings.IniPath)),
              std::make_tuple(9600, before));
}

// The file's folder is a regular file: that fails for root too.
TEST_F(EngineSettingWrites, AFileThatCannotBeWrittenIsToldOnceAndTheValueHolds) {
    Engine();
    WriteFile(dir.File("plain"), "x");
    settings.IniPath = dir.File("plain/t.ini");
    for (const SettingWrite& write : writes) {
        EXPECT_EQ(Run(write),
                  Lines{std::string(write.subject) + " not saved to " + settings.IniPath})
            << write.line;
    }
    EXPECT_EQ(settings.EchoFree + settings.StatisticsShown + settings.ScrollRSWnd +
                  settings.LButtonDblClkSend,
              4);
    EXPECT_EQ(std::make_tuple(settings.Highlight1, settings.AutoSendElapse,
                              Engine().QuickSends().Shown()),
              std::make_tuple("regex|#102030|a|b", 3, true));
    EXPECT_FALSE(Engine().SetViewOption(SettingKey::GapScope, true));
    EXPECT_EQ(settings.GapScope, 1);
    ASSERT_TRUE(Engine().LoadDataFile(dataFile));
    EXPECT_EQ(RecordsOf('I').back(), "setting LoadFile not saved to " + settings.IniPath);
    // The theme is the user's, kept beside the user's settings.
    testing_support::ScopedEnv xdg("XDG_CONFIG_HOME", dir.File("plain"));
    EXPECT_FALSE(Engine().SetTheme("dark"));
    EXPECT_EQ(RecordsOf('I').back(), "theme not saved to " + dir.File("plain/qelvor/qelvor.conf"));
}

}  // namespace
}  // namespace qelvor::test
