#include "config/ui_language.h"

#include <vector>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace qelvor {
namespace {

using namespace testing_support;

class RecordingBox : public IMessageBox {
  public:
    MsgResult ShowMessageBox(const std::string& text, const std::string& caption, MsgIcon,
                             MsgButtons) override {
        shown.push_back(caption + ": " + text);
        return MsgResult::Ok;
    }
    std::vector<std::string> shown;
};

TEST(UiLanguage, CodesOneAndTwoAreFixedOthersFollowTheLocaleVariablesInOrder) {
    ScopedEnv all("LC_ALL", "zh_CN.UTF-8");
    ScopedEnv messages("LC_MESSAGES", std::nullopt);
    ScopedEnv lang("LANG", std::nullopt);
    EXPECT_EQ(UiLanguageFor(2), UiLanguage::English);
    ScopedEnv noAll("LC_ALL", std::nullopt);
    EXPECT_EQ(UiLanguageFor(0), UiLanguage::English);  // no locale variable at all
    EXPECT_EQ(UiLanguageFor(1), UiLanguage::Chinese);
    ScopedEnv zh("LANG", "zh_TW.UTF-8");
    EXPECT_EQ(UiLanguageFor(7), UiLanguage::Chinese);
    ScopedEnv en("LC_MESSAGES", "en_US.UTF-8");
    EXPECT_EQ(UiLanguageFor(0), UiLanguage::English);
    ScopedEnv zhAll("LC_ALL", "zh_CN");
    EXPECT_EQ(UiLanguageFor(-3), UiLanguage::Chinese);
    ScopedEnv emptyAll("LC_ALL", "");
    EXPECT_EQ(UiLanguageFor(0), UiLanguage::English);
}

TEST(UiLanguage, MenuStoresOnlyItsKeyAndTheChoiceAppliesAtTheNextStart) {
    TempFolder dir;
    CComSetting settings = CComSetting::Loaded(dir.File("q.ini"));
    const UiLanguage before = StringLanguage();
    SetStringLanguage(UiLanguage::English);
    RecordingBox box;
    OnSelectUI(kCmdSelectUiSystem, settings, box);  // the checked item does nothing
    EXPECT_TRUE(box.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("q.ini")));
    ASSERT_EQ(settings.SetCurrentSet("Lab"), 1);
    OnSelectUI(kCmdSelectUiEnglish, settings, box);
    EXPECT_EQ(ReadFile(dir.File("q.ini")),
              "[Public]\r\nCurrentSet=Lab\r\n[Lab]\r\nUsedUILangCode=2\r\n");
    EXPECT_EQ(box.shown, std::vector<std::string>{"Qelvor: UI Language settings have been "
                                                  "modified.It will take effect after restart"});
    OnSelectUI(kCmdSelectUiChinese, settings, box);
    EXPECT_EQ(settings.ReadProfileInt("lab", "usedUILangCode", 0), 1);
    EXPECT_EQ(StringLanguage(), UiLanguage::English);
    ApplyUILanguage(settings);
    EXPECT_EQ(StringLanguage(), UiLanguage::Chinese);
    EXPECT_STREQ(LoadStr(21060), LoadStrIn(UiLanguage::Chinese, 21060));
    settings.UsedUILangCode = 2;
    ApplyUILanguage(settings);
    EXPECT_EQ(StringLanguage(), UiLanguage::English);
    SetStringLanguage(before);
}

}  // namespace
}  // namespace qelvor
