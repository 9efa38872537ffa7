#include "config/ui_language.h"
#include "config/string_table.h"

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

// The printf conversions of a format, in order ("%%" is not one).
std::string Conversions(const std::string& format) {
    std::string found;
    for (size_t pos = format.find('%'); pos != std::string::npos; pos = format.find('%', pos)) {
        size_t end = pos + 1;
        while (end < format.size() &&
               std::string("-+ #0123456789.lh").find(format[end]) != std::string::npos)
            ++end;
        if (end < format.size() && format[end] != '%') found += format.substr(pos, end - pos + 1);
        pos = end + 1;
    }
    return found;
}

TEST(StringTable, EveryShownIdHasBothLanguagesWithTheSameConversions) {
    // The comparison below is only as good as the scanner: make sure it sees them.
    ASSERT_EQ(Conversions(LoadStrIn(UiLanguage::English, 21055)), "%s%d");
    ASSERT_EQ(Conversions("100%% of %5.2f"), "%5.2f");
    std::vector<int> ids{18, 19, 20, 32, 33};
    for (int id = 21000; id <= 21065; ++id) {
        if (id != 21033 && id != 21034 && id != 21057) ids.push_back(id);
    }
    for (int id : ids) {
        const std::string english = LoadStrIn(UiLanguage::English, id);
        const std::string chinese = LoadStrIn(UiLanguage::Chinese, id);
        EXPECT_FALSE(english.empty() || chinese.empty()) << id;
        EXPECT_NE(english, chinese) << id;
        EXPECT_EQ(Conversions(english), Conversions(chinese)) << id;
    }
    for (int id : {0, 17, 21, 21033, 21057, 21066, -1}) {
        EXPECT_STREQ(LoadStrIn(UiLanguage::English, id), "") << id;
        EXPECT_STREQ(LoadStrIn(UiLanguage::Chinese, id), "") << id;
    }
}

TEST(StringTable, StrPrintfFormatsTableTextsOfAnyLength) {
    EXPECT_EQ(StrPrintf(LoadStrIn(UiLanguage::English, 21054), "127.0.0.1", 9000),
              "TCP-Client(127.0.0.1:9000) connected");
    EXPECT_EQ(StrPrintf("%s", ""), "");
    const std::string big(100000, 'z');
    EXPECT_EQ(StrPrintf("<%s>", big.c_str()), "<" + big + ">");
}

struct LibraryCase {
    const char* name;
    bool found;
    const char* libraryVersion;
    UiLanguage language;
    const char* message;  // "" none: the library is used exactly when found
};

class ResourceLibraryVersion : public testing::TestWithParam<LibraryCase> {};

// The library is taken only when it carries exactly the program's version;
// a file that is there but does not match is reported, library first.
TEST_P(ResourceLibraryVersion, DecidesUseAndMessage) {
    const LibraryCase& c = GetParam();
    const UiLanguage before = StringLanguage();
    SetStringLanguage(c.language);
    const ResourceLibraryDecision d = DecideResourceLibrary(c.found, c.libraryVersion, "2.9.0.1");
    SetStringLanguage(before);
    EXPECT_EQ(d.use, c.found && *c.message == '\0');
    EXPECT_EQ(d.message, c.message);
}

#define MISMATCH(lib)                                        \
    "Resource file(Ver=" lib                                 \
    ") and Program file (Ver=2.9.0.1) does not match,can't " \
    "load resource file.\nprogram will used original language!"
constexpr UiLanguage kEn = UiLanguage::English;

INSTANTIATE_TEST_SUITE_P(
    Cases, ResourceLibraryVersion,
    testing::Values(LibraryCase{"NoFile", false, "", kEn, ""},
                    LibraryCase{"SameVersion", true, "2.9.0.1", kEn, ""},
                    LibraryCase{"NewerBuild", true, "2.9.0.2", kEn, MISMATCH("2.9.0.2")},
                    LibraryCase{"TrailingBlank", true, "2.9.0.1 ", kEn, MISMATCH("2.9.0.1 ")},
                    LibraryCase{"NoVersionInside", true, "", kEn, MISMATCH("")},
                    LibraryCase{"InChinese", true, "3.0.0.0", UiLanguage::Chinese,
                                "资源文件版本(Ver=3.0.0.0)和主程序版本(Ver=2.9.0.1)不匹配,"
                                "无法加载资源文件,程序将启用中文界面"}),
    [](const testing::TestParamInfo<LibraryCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace qelvor
