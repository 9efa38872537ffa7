#include "config/string_table.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qelvor {
namespace {

// Every text id the program shows.
std::vector<int> ShownIds() {
    std::vector<int> ids{18, 19, 20, 32, 33};
    for (int id = 21000; id <= 21062; ++id) {
        if (id != 21033 && id != 21034 && id != 21057) ids.push_back(id);
    }
    return ids;
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
    for (int id : ShownIds()) {
        const std::string english = LoadStrIn(UiLanguage::English, id);
        const std::string chinese = LoadStrIn(UiLanguage::Chinese, id);
        EXPECT_FALSE(english.empty()) << id;
        EXPECT_FALSE(chinese.empty()) << id;
        EXPECT_NE(english, chinese) << id;
        EXPECT_EQ(Conversions(english), Conversions(chinese)) << id;
    }
}

TEST(StringTable, UnknownIdsGiveEmptyText) {
    for (int id : {0, 17, 21, 21033, 21057, 21063, -1}) {
        EXPECT_STREQ(LoadStrIn(UiLanguage::English, id), "") << id;
        EXPECT_STREQ(LoadStrIn(UiLanguage::Chinese, id), "") << id;
    }
}

TEST(StringTable, MendedTextsNameTheRightThings) {
    EXPECT_STREQ(LoadStrIn(UiLanguage::English, 21047), "SendData Hex");
    EXPECT_STREQ(LoadStrIn(UiLanguage::English, 21045), "SendFile Hex");
    EXPECT_STREQ(LoadStrIn(UiLanguage::English, 21031),
                 "save log data and zipped into MsgLogData.zip successed!");
    EXPECT_NE(std::string(LoadStrIn(UiLanguage::Chinese, 21031)).find("MsgLogData.zip"),
              std::string::npos);
}

TEST(StringTable, ChosenLanguageDecidesLoadStr) {
    const UiLanguage before = StringLanguage();
    SetStringLanguage(UiLanguage::Chinese);
    EXPECT_STREQ(LoadStr(21000), "这是默认模板,你不能删除它!");
    EXPECT_STREQ(LoadStr(21060), "界面显示语言已经变更,设置将在重启后生效.");
    SetStringLanguage(UiLanguage::English);
    EXPECT_STREQ(LoadStr(21060),
                 "UI Language settings have been modified.It will take effect after restart");
    EXPECT_STREQ(LoadStr(21016),
                 "File already exists, you want to overwrite it?\n  Yes = overwrite  \n  No  = "
                 "append to the end of the file \n  Cancle = Cancle save");
    SetStringLanguage(before);
}

TEST(StringTable, StrPrintfFormatsTableTexts) {
    EXPECT_EQ(StrPrintf(LoadStrIn(UiLanguage::English, 21054), "127.0.0.1", 9000),
              "TCP-Client(127.0.0.1:9000) connected");
    EXPECT_EQ(StrPrintf(LoadStrIn(UiLanguage::English, 21062), "/tmp/a.txt", 40.0),
              "data file </tmp/a.txt>,size =40 MB.\nThe file is too large to load.");
    EXPECT_EQ(StrPrintf("%s", ""), "");
    const std::string big(100000, 'z');
    EXPECT_EQ(StrPrintf("<%s>", big.c_str()), "<" + big + ">");
}

}  // namespace
}  // namespace qelvor
