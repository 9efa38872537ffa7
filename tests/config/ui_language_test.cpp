#include "config/ui_language.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "support/recording_box.h"
#include "support/temp_folder.h"

namespace qelvor {
namespace {

using namespace testing_support;

// Each row: LC_ALL, LC_MESSAGES, LANG ("-": not set; empty counts as not set), code, language.
TEST(UiLanguage, CodesFollowTheLocaleTheMenuStoresItsKeyAndOnlyTheSameVersionLoads) {
    const auto E = UiLanguage::English, Z = UiLanguage::Chinese;
    // clang-format off
    const struct { const char *all, *messages, *lang; int code; UiLanguage want; } rows[] = {
        {"zh_CN.UTF-8", "-", "-", 2, E}, {"-", "-", "-", 0, E}, {"-", "-", "-", 1, Z},
        {"-", "-", "zh_TW.UTF-8", 7, Z}, {"-", "en_US.UTF-8", "zh_TW.UTF-8", 0, E},
        {"zh_CN", "en_US.UTF-8", "-", -3, Z}, {"", "-", "zh_TW.UTF-8", 0, Z}};
    // clang-format on
    const auto value = [](const char* v) { return *v == '-' ? std::nullopt : std::optional(v); };
    for (const auto& r : rows) {
        ScopedEnv all("LC_ALL", value(r.all)), messages("LC_MESSAGES", value(r.messages)),
            lang("LANG", value(r.lang));
        EXPECT_EQ(UiLanguageFor(r.code), r.want) << r.all << "," << r.messages << "," << r.lang;
    }
    // The menu stores only its key; the choice applies at the next start.
    TempFolder dir;
    CComSetting settings = CComSetting::Loaded(dir.File("q.ini"));
    const UiLanguage before = StringLanguage();
    SetStringLanguage(UiLanguage::English);
    RecordingBox box;
    ChooseUILanguage(0, settings, box);  // the checked item does nothing
    EXPECT_EQ(box.Take(), "");
    EXPECT_FALSE(std::filesystem::exists(dir.File("q.ini")));
    ASSERT_EQ(settings.SetCurrentSet("Lab"), 1);
    ChooseUILanguage(2, settings, box);
    EXPECT_EQ(ReadFile(dir.File("q.ini")),
              "[Public]\r\nCurrentSet=Lab\r\n[Lab]\r\nUsedUILangCode=2\r\n");
    EXPECT_EQ(box.Take(),
              "Qelvor (info, ok): UI Language settings have been modified.It will "
              "take effect after restart\n");
    ChooseUILanguage(1, settings, box);
    EXPECT_EQ(settings.ReadProfileInt("lab", "usedUILangCode", 0), 1);
    EXPECT_EQ(StringLanguage(), UiLanguage::English);
    ApplyUILanguage(settings);
    EXPECT_EQ(StringLanguage(), UiLanguage::Chinese);  // the code is UiLanguageFor's, tested above
    // A resource library is taken only at exactly the program's version; a mismatch is told.
    const ResourceLibraryDecision spaced = DecideResourceLibrary(true, "2.9.0.1 ", "2.9.0.1");
    SetStringLanguage(before);
    EXPECT_TRUE(DecideResourceLibrary(true, "2.9.0.1", "2.9.0.1").use);
    EXPECT_TRUE(DecideResourceLibrary(true, "", "2.9.0.1").message.empty());  // no library at all
    EXPECT_FALSE(spaced.use);
    EXPECT_EQ(spaced.message,
              "资源文件版本(Ver=2.9.0.1 )和主程序版本(Ver=2.9.0.1)不匹配,"
              "无法加载资源文件,程序将启用中文界面");
}

}  // namespace
}  // namespace qelvor
