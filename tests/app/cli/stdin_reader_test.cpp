#include "app/cli/stdin_reader.h"

#include <fcntl.h>

#include <string>
#include <vector>

#include <gmock/gmock.h>

#include "support/engine_fixture.h"

namespace qelvor::test {
namespace {

// A file as standard input, faster than it is taken: reading stops while the queue is
// full, lines lose their ends, an endless line comes in bounded pieces, nothing is lost.
TEST(StdinReader, StopsWhileItsQueueIsFullAndCutsAnEndlessLineIntoBoundedPieces) {
    TempFolder dir;
    constexpr size_t kNumbered = 400'000;
    std::string numbered;
    for (size_t i = 0; i < kNumbered; ++i)
        numbered += StrPrintf("%07zu\n", i);
    const std::string endless(2'500'000, 'a');
    WriteFile(dir.File("in"), "one\r\ntwo\n" + numbered + endless);
    const int fd = open(dir.File("in").c_str(), O_RDONLY | O_CLOEXEC);
    CStdinReader reader;
    reader.Start(fd);
    ASSERT_TRUE(testing_support::WaitUntil([&] { return reader.HeldBack(); }));
    EXPECT_FALSE(reader.Ended());
    std::vector<std::string> lines;
    for (std::string line; !reader.Ended() || reader.HasLines();) {
        if (reader.PopLine(line)) lines.push_back(line);
    }
    reader.Stop();
    close(fd);
    ASSERT_GE(lines.size(), kNumbered + 5);
    EXPECT_EQ(lines[0] + "|" + lines[1], "one|two");
    std::string taken, rest;
    for (size_t i = 2; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 1024u * 1024 + 4096) << "piece " << i;
        if (i < kNumbered + 2) taken += lines[i] + "\n";
        if (i >= kNumbered + 2) rest += lines[i];
    }
    EXPECT_TRUE(taken == numbered) << taken.size() << " of " << numbered.size() << " bytes";
    EXPECT_EQ(rest, endless);
    EXPECT_LE(reader.PeakBytes(), CStdinReader::kQueueCap);
    EXPECT_GT(reader.PeakBytes(), CStdinReader::kQueueCap / 2);
}

}  // namespace
}  // namespace qelvor::test
