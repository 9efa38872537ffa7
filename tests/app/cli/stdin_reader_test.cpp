#include "app/cli/stdin_reader.h"

#include <fcntl.h>

#include <string>
#include <vector>

#include <gmock/gmock.h>

#include "support/engine_fixture.h"

namespace qelvor::test {
namespace {

// A file as standard input: its lines lose their ends, and a line that never
// ends comes in bounded pieces.
TEST(StdinReader, LinesLoseTheirEndsAndEndlessInputComesInBoundedPieces) {
    TempFolder dir;
    const std::string endless(2'500'000, 'a');
    WriteFile(dir.File("in"), "one\r\ntwo\n" + endless);
    const int fd = open(dir.File("in").c_str(), O_RDONLY | O_CLOEXEC);
    CStdinReader reader;
    reader.Start(fd);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return reader.Ended(); }));
    reader.Stop();
    close(fd);
    std::vector<std::string> lines;
    for (std::string line; reader.PopLine(line);)
        lines.push_back(line);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0] + "|" + lines[1], "one|two");
    std::string rest;
    for (size_t i = 2; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 1024u * 1024 + 4096) << "piece " << i;
        rest += lines[i];
    }
    EXPECT_EQ(rest, endless);
}

// Input faster than it is taken: reading stops while the queue is full, so
// the queue stays under its cap and every line still comes, in order.
TEST(StdinReader, StopsReadingWhileItsQueueIsFullAndLosesNothing) {
    TempFolder dir;
    std::string input;
    for (int i = 0; i < 400'000; ++i)
        input += StrPrintf("%07d\n", i);
    WriteFile(dir.File("in"), input);
    const int fd = open(dir.File("in").c_str(), O_RDONLY | O_CLOEXEC);
    CStdinReader reader;
    reader.Start(fd);
    ASSERT_TRUE(testing_support::WaitUntil([&] { return reader.HeldBack(); }));
    EXPECT_FALSE(reader.Ended());
    std::string taken;
    for (std::string line; !reader.Ended() || reader.HasLines();) {
        if (reader.PopLine(line)) taken += line + "\n";
    }
    reader.Stop();
    close(fd);
    EXPECT_TRUE(taken == input) << taken.size() << " of " << input.size() << " bytes";
    EXPECT_LE(reader.PeakBytes(), CStdinReader::kQueueCap);
    EXPECT_GT(reader.PeakBytes(), CStdinReader::kQueueCap / 2);
}

}  // namespace
}  // namespace qelvor::test
