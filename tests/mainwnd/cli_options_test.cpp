// The command line of qelvor-cli: accepted forms and the usage errors; the
// reading of its standard input.
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/cli/cli_options.h"
#include "app/cli/stdin_reader.h"

namespace qelvor {
namespace {

TEST(CliOptions, AcceptsEveryOptionInBothFormsAndDefaultsToRunUntilASignal) {
    CCliOptions options;
    std::string error;
    ASSERT_EQ(ParseCliOptions({}, options, error), CliAction::Run);
    EXPECT_EQ(options.iniFile, "");
    EXPECT_FALSE(options.autoSend);
    EXPECT_LT(options.seconds, 0);
    EXPECT_FALSE(options.astm || options.astmHost || options.exitAfterMessage);
    ASSERT_EQ(ParseCliOptions({"--ini", "a.ini", "--set=Lab", "--data", "/tmp/d.txt", "--auto-send",
                               "--seconds=2.5", "--astm-host", "--exit-after-message"},
                              options, error),
              CliAction::Run);
    EXPECT_TRUE(options.astm && options.astmHost && options.exitAfterMessage);
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
        {{"--astm", "--data", "d"}, CliAction::Run},
        {{"--astm=1"}, CliAction::UsageError},
        {{"--exit-after-message", "--astm"}, CliAction::UsageError},
        {{"--exit-after-message", "--data", "d"}, CliAction::UsageError},
    };
    for (const auto& [args, action] : cases) {
        CCliOptions options;
        std::string error;
        EXPECT_EQ(ParseCliOptions(args, options, error), action) << args[0];
        // A usage error gives a one-line reason.
        EXPECT_EQ(error.empty(), action != CliAction::UsageError) << args[0];
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
    for (const char* option : {"--auto-send", "--astm-host", "--exit-after-message"})
        EXPECT_NE(CliUsageText().find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace qelvor

TEST(StdinReader, LinesLoseTheirEndsAndEndlessInputComesInBoundedPieces) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string endless(2'500'000, 'a');
    std::thread writer([&] {
        const std::string input = "one\r\ntwo\n" + endless;
        for (size_t done = 0; done < input.size();) {
            const ssize_t n = write(fds[1], input.data() + done, input.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        close(fds[1]);
    });
    qelvor::CStdinReader reader;
    reader.Start(fds[0]);
    writer.join();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!reader.Ended() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    reader.Stop();
    close(fds[0]);

    std::vector<std::string> lines;
    for (std::string line; reader.PopLine(line);)
        lines.push_back(line);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "one");
    EXPECT_EQ(lines[1], "two");
    std::string rest;
    for (size_t i = 2; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 1024u * 1024 + 4096) << "piece " << i;
        rest += lines[i];
    }
    EXPECT_EQ(rest, endless);
}
