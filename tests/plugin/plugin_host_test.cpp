#include "plugin/plugin_host.h"

#include <stdlib.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace qelvor {
namespace {

// A temporary program folder into which a test plug-in is copied as
// LuaPlugins.so.
class PluginFolder {
  public:
    PluginFolder() {
        std::string pattern = testing::TempDir() + "qelvor_plugin_XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern + "/";
    }
    ~PluginFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    PluginFolder(const PluginFolder&) = delete;
    PluginFolder& operator=(const PluginFolder&) = delete;

    const std::string& Path() const { return path_; }
    void Install(const char* library) const {
        std::filesystem::copy_file(library, path_ + kPluginLibraryName,
                                   std::filesystem::copy_options::overwrite_existing);
    }

  private:
    std::string path_;
};

TEST(PluginHost, WithoutLibraryNothingIsFormatted) {
    PluginFolder folder;
    CPluginHost host;
    EXPECT_EQ(host.LoadPlugin(folder.Path(), false), 0);
    std::string text = "axbx";
    EXPECT_EQ(host.FormatMsg(text), 0);
    EXPECT_EQ(text, "axbx");
}

TEST(PluginHost, ShorterLineReplacesTheTextAfterSetUp) {
    PluginFolder folder;
    folder.Install(QELVOR_TEST_PLUGIN_SHORTEN);
    CPluginHost host;
    ASSERT_EQ(host.LoadPlugin(folder.Path(), false), 1);
    std::string text("axb\0xc", 6);
    EXPECT_EQ(host.FormatMsg(text), 1);
    EXPECT_EQ(text, std::string("ab\0c", 4));
}

TEST(PluginHost, TextLongerThanTheBufferGrowsIt) {
    PluginFolder folder;
    folder.Install(QELVOR_TEST_PLUGIN_SHORTEN);
    CPluginHost host;
    ASSERT_EQ(host.LoadPlugin(folder.Path(), false), 1);
    std::string text;
    for (int i = 0; i < 700000; ++i)
        text += "xa";
    EXPECT_EQ(host.FormatMsg(text), 1);
    EXPECT_EQ(text, std::string(700000, 'a'));
}

TEST(PluginHost, LargerAnswerIsFetchedThroughGetMsg) {
    PluginFolder folder;
    folder.Install(QELVOR_TEST_PLUGIN_GROW);
    CPluginHost host;
    ASSERT_EQ(host.LoadPlugin(folder.Path(), false), 1);
    std::string text = "0123456789abcdef";
    const int length = host.FormatMsg(text);
    EXPECT_GT(length, 1048576);
    EXPECT_EQ(static_cast<size_t>(length), text.size());
    EXPECT_EQ(text.substr(0, 20), "0123456789abcdef0123");
    EXPECT_EQ(text.size() % 16, 0u);
}

TEST(PluginHost, ZeroKeepsTheLineAndNegativeRefusesIt) {
    PluginFolder folder;
    folder.Install(QELVOR_TEST_PLUGIN_KEEP);
    CPluginHost host;
    ASSERT_EQ(host.LoadPlugin(folder.Path(), false), 1);
    std::string kept = "keep me";
    EXPECT_EQ(host.FormatMsg(kept), 1);
    EXPECT_EQ(kept, "keep me");
    std::string refused = "-no";
    EXPECT_EQ(host.FormatMsg(refused), 0);
    EXPECT_EQ(refused, "-no");
}

TEST(PluginHost, LengthsPastTheBufferAreRefused) {
    PluginFolder folder;
    folder.Install(QELVOR_TEST_PLUGIN_LIAR);
    CPluginHost host;
    ASSERT_EQ(host.LoadPlugin(folder.Path(), false), 1);
    std::string text = "abc";
    EXPECT_EQ(host.FormatMsg(text), 0);
    EXPECT_EQ(text, "abc");
    std::string huge = "Huge";
    EXPECT_EQ(host.FormatMsg(huge), 0);
    EXPECT_EQ(huge, "Huge");
}

TEST(PluginHost, LibraryMissingAnExportIsNeverCalled) {
    PluginFolder folder;
    folder.Install(QELVOR_TEST_PLUGIN_INCOMPLETE);
    CPluginHost host;
    EXPECT_EQ(host.LoadPlugin(folder.Path(), false), 0);
    std::string text = "abc";
    EXPECT_EQ(host.FormatMsg(text), 0);
    EXPECT_EQ(text, "abc");
}

TEST(PluginHost, SecondLoadKeepsTheLibraryUnlessReloadIsAsked) {
    PluginFolder first;
    first.Install(QELVOR_TEST_PLUGIN_SHORTEN);
    PluginFolder second;
    second.Install(QELVOR_TEST_PLUGIN_KEEP);
    CPluginHost host;
    ASSERT_EQ(host.LoadPlugin(first.Path(), false), 1);
    EXPECT_EQ(host.LoadPlugin(second.Path(), false), 1);
    std::string text = "axa";
    host.FormatMsg(text);
    EXPECT_EQ(text, "aa");
    ASSERT_EQ(host.LoadPlugin(second.Path(), true), 1);
    text = "axa";
    EXPECT_EQ(host.FormatMsg(text), 1);
    EXPECT_EQ(text, "axa");
}

TEST(PluginHost, FreedHostFormatsNothing) {
    PluginFolder folder;
    folder.Install(QELVOR_TEST_PLUGIN_SHORTEN);
    CPluginHost host;
    ASSERT_EQ(host.LoadPlugin(folder.Path(), false), 1);
    host.FreePlugin();
    std::string text = "axa";
    EXPECT_EQ(host.FormatMsg(text), 0);
    EXPECT_EQ(text, "axa");
    ASSERT_EQ(host.LoadPlugin(folder.Path(), false), 1);
    EXPECT_EQ(host.FormatMsg(text), 1);
    EXPECT_EQ(text, "aa");
}

}  // namespace
}  // namespace qelvor
