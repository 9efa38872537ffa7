// The host against real libraries copied into a program folder as LuaPlugins.so.
#include "plugin/plugin_host.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace qelvor {
namespace {

using testing_support::TempFolder;

// Installs the library (none when null) in the folder and loads it afresh.
int Install(CPluginHost& host, const TempFolder& folder, const char* library) {
    if (library != nullptr)
        std::filesystem::copy_file(library, folder.File(kPluginLibraryName),
                                   std::filesystem::copy_options::overwrite_existing);
    return host.LoadPlugin(folder.Path(), true);
}

TEST(PluginHost, FormatsOnlyWithinTheBufferItOwns) {
    std::string longLine;  // longer than the first buffer
    for (int i = 0; i < 700000; ++i)
        longLine += "xa";
    // clang-format off
    const struct FormatCase { const char* library; int loaded; std::string text; int result;
                              std::string after; } cases[] = {
        {nullptr, 0, "axbx", 0, "axbx"},
        {QELVOR_TEST_PLUGIN_SHORTEN, 1, std::string("axb\0xc", 6), 1, std::string("ab\0c", 4)},
        {QELVOR_TEST_PLUGIN_SHORTEN, 1, longLine, 1, std::string(700000, 'a')},
        {QELVOR_TEST_PLUGIN_KEEP, 1, "keep me", 1, "keep me"},
        {QELVOR_TEST_PLUGIN_KEEP, 1, "-no", 0, "-no"},
        {QELVOR_TEST_PLUGIN_LIAR, 1, "abc", 0, "abc"},
        {QELVOR_TEST_PLUGIN_LIAR, 1, "Huge", 0, "Huge"},
        {QELVOR_TEST_PLUGIN_INCOMPLETE, 0, "abc", 0, "abc"}};
    // clang-format on
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(std::string(c.library ? c.library : "no library") + " " + c.text.substr(0, 8));
        TempFolder folder;
        CPluginHost host;
        EXPECT_EQ(Install(host, folder, c.library), c.loaded);
        std::string text = c.text;
        EXPECT_EQ(host.FormatMsg(text), c.result);
        EXPECT_TRUE(text == c.after) << text.substr(0, 40);
    }
}

TEST(PluginHost, LargerAnswerIsFetchedThroughGetMsg) {
    TempFolder folder;
    CPluginHost host;
    ASSERT_EQ(Install(host, folder, QELVOR_TEST_PLUGIN_GROW), 1);
    std::string text = "0123456789abcdef";
    const int length = host.FormatMsg(text);
    EXPECT_GT(length, 1048576);
    std::string repeated;
    while (repeated.size() < static_cast<size_t>(length))
        repeated += "0123456789abcdef";
    EXPECT_TRUE(text == repeated) << text.size() << " bytes, not the line repeated " << length;
    // A library without the script hooks has none to call.
    std::string answer = "left";
    EXPECT_EQ(host.OnFrame('R', "x", answer), CPluginHost::HookResult::Missing);
    EXPECT_EQ(host.OnTimer(answer), CPluginHost::HookResult::Missing);
    EXPECT_EQ(answer, "");
}

// Which library formats: the one beside the program before lib/qelvor/plugins/ of an
// installed program, kept until a reload is asked, none after FreePlugin.
TEST(PluginHost, LoadKeepsTheLibraryUntilAReloadAndLooksBesideTheProgramFirst) {
    TempFolder root;
    std::filesystem::create_directories(root.File("bin"));
    std::filesystem::create_directories(root.File("lib/qelvor/plugins"));
    CPluginHost host;
    const auto formatted = [&host] {
        std::string text = "axa";
        return host.FormatMsg(text) == 1 ? text : "not formatted";
    };
    EXPECT_EQ(host.LoadPlugin(root.File("bin/"), false), 0);
    std::filesystem::copy_file(QELVOR_TEST_PLUGIN_KEEP,
                               root.File("lib/qelvor/plugins/LuaPlugins.so"));
    std::filesystem::copy_file(QELVOR_TEST_PLUGIN_SHORTEN, root.File("bin/LuaPlugins.so"));
    ASSERT_EQ(host.LoadPlugin(root.File("bin/"), false), 1);
    EXPECT_EQ(formatted(), "aa");
    std::filesystem::remove(root.File("bin/LuaPlugins.so"));
    EXPECT_EQ(host.LoadPlugin(root.File("bin/"), false), 1);
    EXPECT_EQ(formatted(), "aa") << "no reload asked";
    ASSERT_EQ(host.LoadPlugin(root.File("bin/"), true), 1);
    EXPECT_EQ(formatted(), "axa");
    host.FreePlugin();
    EXPECT_EQ(formatted(), "not formatted");
}

}  // namespace
}  // namespace qelvor
