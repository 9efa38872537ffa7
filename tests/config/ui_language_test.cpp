#include "config/ui_language.h"

#include <vector>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace qelvor {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempFolder;

struct ShownBox {
    std::string text;
    std::string caption;
    MsgIcon icon;
    MsgButtons buttons;
};

class RecordingBox : public IMessageBox {
  public:
    MsgResult ShowMessageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                             MsgButtons buttons) override {
        shown.push_back({text, caption, icon, buttons});
        return MsgResult::Ok;
    }
    std::vector<ShownBox> shown;
};

TEST(UiLanguage, ExplicitCodesIgnoreTheLocale) {
    ScopedEnv all("LC_ALL", "zh_CN.UTF-8");
    EXPECT_EQ(UiLanguageFor(1), UiLanguage::Chinese);
    EXPECT_EQ(UiLanguageFor(2), UiLanguage::English);
}

TEST(UiLanguage, OtherCodesFollowTheLocaleVariablesInOrder) {
    ScopedEnv all("LC_ALL", std::nullopt);
    ScopedEnv messages("LC_MESSAGES", std::nullopt);
    ScopedEnv lang("LANG", std::nullopt);
    EXPECT_EQ(UiLanguageFor(0), UiLanguage::English);
    {
        ScopedEnv zh("LANG", "zh_TW.UTF-8");
        EXPECT_EQ(UiLanguageFor(0), UiLanguage::Chinese);
        EXPECT_EQ(UiLanguageFor(7), UiLanguage::Chinese);
        ScopedEnv en("LC_MESSAGES", "en_US.UTF-8");
        EXPECT_EQ(UiLanguageFor(0), UiLanguage::English);
        ScopedEnv zhAll("LC_ALL", "zh_CN");
        EXPECT_EQ(UiLanguageFor(0), UiLanguage::Chinese);
        ScopedEnv emptyAll("LC_ALL", "");
        EXPECT_EQ(UiLanguageFor(0), UiLanguage::English);
    }
    ScopedEnv notZh("LANG", "C.UTF-8");
    EXPECT_EQ(UiLanguageFor(-3), UiLanguage::English);
}

TEST(UiLanguage, ApplySetsTheStringTable) {
    TempFolder dir;
    CComSetting settings(dir.File("q.ini"));
    const UiLanguage before = StringLanguage();
    settings.UsedUILangCode = 1;
    ApplyUILanguage(settings);
    EXPECT_EQ(StringLanguage(), UiLanguage::Chinese);
    settings.UsedUILangCode = 2;
    ApplyUILanguage(settings);
    EXPECT_EQ(StringLanguage(), UiLanguage::English);
    SetStringLanguage(before);
}

TEST(UiLanguage, SelectingTheCheckedItemDoesNothing) {
    TempFolder dir;
    CComSetting settings(dir.File("q.ini"));
    RecordingBox box;
    OnSelectUI(kCmdSelectUiSystem, settings, box);
    EXPECT_EQ(settings.UsedUILangCode, 0);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("q.ini")));
}

TEST(UiLanguage, SelectingAnotherItemStoresOnlyThatKeyInTheCurrentSet) {
    TempFolder dir;
    CComSetting settings(dir.File("q.ini"));
    ASSERT_EQ(settings.SetCurrentSet("Lab"), 1);
    const UiLanguage before = StringLanguage();
    SetStringLanguage(UiLanguage::English);
    RecordingBox box;
    OnSelectUI(kCmdSelectUiEnglish, settings, box);

    EXPECT_EQ(settings.UsedUILangCode, 2);
    EXPECT_EQ(ReadFile(dir.File("q.ini")),
              "[Public]\r\nCurrentSet=Lab\r\n\r\n\r\n[Lab]\r\nUsedUILangCode=2\r\n");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text,
              "UI Language settings have been modified.It will take effect after restart");
    EXPECT_EQ(box.shown[0].caption, "Qelvor");
    EXPECT_EQ(box.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(box.shown[0].buttons, MsgButtons::Ok);

    // The running language is not changed by the menu: it applies at the next start.
    OnSelectUI(kCmdSelectUiChinese, settings, box);
    EXPECT_EQ(settings.UsedUILangCode, 1);
    EXPECT_EQ(settings.ReadProfileInt("lab", "usedUILangCode", 0), 1);
    EXPECT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(StringLanguage(), UiLanguage::English);
    SetStringLanguage(before);
}

}  // namespace
}  // namespace qelvor
