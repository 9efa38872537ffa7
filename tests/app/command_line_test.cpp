#include "app/command_line.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qelvor {
namespace {

using Tokens = std::vector<std::string>;

// What a command line means: the console mode, the settings file of "-n" and
// the data file. A name that merely holds an option's letters is a name.
TEST(CommandLine, OptionsCountOnlyAsWholeArgumentsInAnyCase) {
    const struct Case {
        Tokens args;
        bool zip;
        std::optional<std::string> ini;
        std::string dataFile;
        std::string session = "";
    } cases[] = {{{"/tmp/run-zip-delta.txt"}, false, std::nullopt, "/tmp/run-zip-delta.txt"},
                 {{"-ZIP", "a.zip", "dir"}, true, std::nullopt, "-ZIP a.zip dir"},
                 {{"-N", "My.ini", "-x"}, false, "My.ini -x", ""},
                 {{"-n"}, false, "", ""},
                 {{"/home/Ann/a b.txt", "-nope"}, false, std::nullopt, "/home/Ann/a b.txt -nope"},
                 {{"--Session", "/s/a", "b.qcap"}, false, std::nullopt, "", "/s/a b.qcap"}};
    for (const Case& c : cases) {
        const CCommandLine line(c.args);
        EXPECT_EQ(line.IsConsoleZip(), c.zip) << line.Text();
        EXPECT_EQ(line.IniName(), c.ini) << line.Text();
        EXPECT_EQ(line.DataFilePath(), c.dataFile) << line.Text();
        EXPECT_EQ(line.SessionPath(), c.session) << line.Text();
    }
    EXPECT_EQ(CCommandLine({"-n", "my set.ini"}).Text(), "-n \"my set.ini\"");
}

}  // namespace
}  // namespace qelvor
