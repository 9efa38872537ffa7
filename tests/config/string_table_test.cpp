#include "config/string_table.h"

#include <vector>

#include <gtest/gtest.h>

namespace qelvor {
namespace {

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
    for (int id = 21000; id <= 21071; ++id)
        if (id != 21033 && id != 21034 && id != 21057) ids.push_back(id);
    for (int id : ids) {
        const std::string english = LoadStrIn(UiLanguage::English, id);
        const std::string chinese = LoadStrIn(UiLanguage::Chinese, id);
        EXPECT_FALSE(english.empty() || chinese.empty()) << id;
        EXPECT_NE(english, chinese) << id;
        EXPECT_EQ(Conversions(english), Conversions(chinese)) << id;
    }
    for (int id : {0, 17, 21, 21033, 21057, 21072, -1}) {
        EXPECT_STREQ(LoadStrIn(UiLanguage::English, id), "") << id;
        EXPECT_STREQ(LoadStrIn(UiLanguage::Chinese, id), "") << id;
    }
    const std::string big(100000, 'z');  // longer than any first guess of the size
    EXPECT_EQ(StrPrintf("<%s>", big.c_str()), "<" + big + ">");
}

}  // namespace
}  // namespace qelvor
