// The command line of qelvor-cli: accepted forms and the usage errors.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/cli/cli_options.h"

namespace qelvor {
namespace {

TEST(CliOptions, AcceptsEveryOptionInBothFormsAndDefaultsToRunUntilASignal) {
    CCliOptions options;
    std::string error;
    ASSERT_EQ(ParseCliOptions({}, options, error), CliAction::Run);
    EXPECT_EQ(options.iniFile, "");
    EXPECT_FALSE(options.autoSend);
    EXPECT_LT(options.seconds, 0);
    ASSERT_EQ(ParseCliOptions({"--ini", "a.ini", "--set=Lab", "--data", "/tmp/d.txt", "--auto-send",
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

TEST(CliOptions, HelpVersionAndUsageErrors) {
    const std::vector<std::pair<std::vector<std::string>, CliAction>> cases = {
        {{"--ini", "x", "--help"}, CliAction::Help},
        {{"-h"}, CliAction::Help},
        {{"--version"}, CliAction::Version},
        {{"--bogus"}, CliAction::UsageError},
        {{"positional"}, CliAction::UsageError},
        {{"--ini"}, CliAction::UsageError},
        {{"--seconds", "soon"}, CliAction::UsageError},
        {{"--seconds", "-1"}, CliAction::UsageError},
        {{"--seconds", "1e99"}, CliAction::UsageError},
        {{"--seconds", "nan"}, CliAction::UsageError},
        {{"--seconds="}, CliAction::UsageError},
        {{"--data="}, CliAction::UsageError},
        {{"--auto-send=yes"}, CliAction::UsageError},
        {{"--set", ""}, CliAction::UsageError},
    };
    for (const auto& [args, action] : cases) {
        CCliOptions options;
        std::string error;
        EXPECT_EQ(ParseCliOptions(args, options, error), action) << args[0];
        // A usage error gives a one-line reason.
        EXPECT_EQ(error.empty(), action != CliAction::UsageError) << args[0];
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
    EXPECT_NE(CliUsageText().find("--auto-send"), std::string::npos);
}

}  // namespace
}  // namespace qelvor
