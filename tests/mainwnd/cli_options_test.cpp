// The command line of qelvor-cli: accepted forms and the usage errors.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/cli/cli_options.h"

namespace qelvor {
namespace {

CliAction Parse(const std::vector<std::string>& args, CCliOptions& options, std::string& error) {
    return ParseCliOptions(args, options, error);
}

TEST(CliOptions, AcceptsEveryOptionInBothForms) {
    CCliOptions options;
    std::string error;
    ASSERT_EQ(Parse({"--ini", "a.ini", "--set=Lab", "--data", "/tmp/d.txt", "--auto-send",
                     "--seconds=2.5"},
                    options, error),
              CliAction::Run);
    EXPECT_EQ(options.iniFile, "a.ini");
    EXPECT_EQ(options.setName, "Lab");
    EXPECT_EQ(options.dataFile, "/tmp/d.txt");
    EXPECT_TRUE(options.autoSend);
    EXPECT_DOUBLE_EQ(options.seconds, 2.5);
    EXPECT_EQ(error, "");
}

TEST(CliOptions, DefaultsRunUntilASignal) {
    CCliOptions options;
    std::string error;
    ASSERT_EQ(Parse({}, options, error), CliAction::Run);
    EXPECT_EQ(options.iniFile, "");
    EXPECT_FALSE(options.autoSend);
    EXPECT_LT(options.seconds, 0);
}

TEST(CliOptions, HelpAndVersionWinOverTheRest) {
    CCliOptions options;
    std::string error;
    EXPECT_EQ(Parse({"--ini", "x", "--help"}, options, error), CliAction::Help);
    EXPECT_EQ(Parse({"-h"}, options, error), CliAction::Help);
    EXPECT_EQ(Parse({"--version"}, options, error), CliAction::Version);
    EXPECT_NE(CliUsageText().find("--auto-send"), std::string::npos);
}

TEST(CliOptions, BadInputIsAUsageErrorWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},           {"positional"},      {"--ini"},
        {"--seconds", "soon"}, {"--seconds", "-1"}, {"--seconds", "1e99"},
        {"--seconds", "nan"},  {"--seconds="},      {"--data="},
        {"--auto-send=yes"},   {"--set", ""},
    };
    for (const auto& args : bad) {
        CCliOptions options;
        std::string error;
        EXPECT_EQ(Parse(args, options, error), CliAction::UsageError) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

}  // namespace
}  // namespace qelvor
