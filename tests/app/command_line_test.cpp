#include "app/command_line.h"

#include <gtest/gtest.h>

namespace qelvor {
namespace {

TEST(CommandLine, ArgumentsAreJoinedAndQuotedWhenTheyHoldBlanksOrQuotes) {
    CCommandLine line({"-zip", "/tmp/Out.zip", "/data/my logs", "it's", "x"});
    EXPECT_EQ(line.Text(), "-zip /tmp/Out.zip \"/data/my logs\" \"it's\" x");
    EXPECT_EQ(line.DataFilePath(), "-zip /tmp/Out.zip /data/my logs it's x");
    EXPECT_TRUE(CCommandLine(std::vector<std::string>{}).Empty());
    EXPECT_EQ(CCommandLine(std::vector<std::string>{}).Text(), "");
}

TEST(CommandLine, OptionsAreFoundWithoutRegardToCaseAnywhere) {
    CCommandLine line({"/Data/-ZIP-files/a.log"});
    EXPECT_TRUE(line.IsConsoleZip()) << "the letters inside a path count too";
    EXPECT_EQ(line.Find("-zip"), 6u);
    EXPECT_EQ(line.Text(), "/Data/-ZIP-files/a.log") << "the text keeps its case";
    EXPECT_FALSE(CCommandLine({"zip", "-zi", "p"}).IsConsoleZip());
    CCommandLine del({"-Del", "-zip", "-DEL"});
    EXPECT_EQ(del.Find("-del"), 0u);
    EXPECT_EQ(del.Find("-del", 1), 10u);
    EXPECT_EQ(del.Find("-del", 100), std::string::npos);
}

TEST(CommandLine, IniNameIsTheRestBehindTheOption) {
    EXPECT_EQ(CCommandLine({"-n", "My.ini"}).IniName(), "My.ini") << "the name keeps its case";
    EXPECT_EQ(CCommandLine({"-N", "my.ini", "-x"}).IniName(), "my.ini -x");
    EXPECT_EQ(CCommandLine({"-n", "/home/Ann/my set.ini"}).IniName(), "/home/Ann/my set.ini")
        << "quotes added by joining are not part of the name";
    EXPECT_EQ(CCommandLine({"data-n", "x.ini"}).IniName(), "x.ini");
    EXPECT_FALSE(CCommandLine({"-n"}).IniName().has_value()) << "needs the blank behind it";
    EXPECT_FALSE(CCommandLine({"a.txt"}).IniName().has_value());
    EXPECT_EQ(CCommandLine({"-n x"}).IniName(), "x\"")
        << "a name starting inside an argument is the text as joined";
}

}  // namespace
}  // namespace qelvor
