#include "hl7/mllp_framer.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qelvor::hl7 {
namespace {

using Kind = CMllpFramer::Event::Kind;
using namespace std::string_literals;

// Every event as one line: "M:bytes", "O:bytes" or "T:size".
std::vector<std::string> Lines(const std::vector<CMllpFramer::Event>& events) {
    std::vector<std::string> lines;
    for (const auto& e : events)
        lines.push_back(e.kind == Kind::kMessage   ? "M:" + e.bytes
                        : e.kind == Kind::kOutside ? "O:" + e.bytes
                                                   : "T:" + std::to_string(e.size));
    return lines;
}

// The stream fed whole, cut in two at every place, and byte by byte gives
// the same events: bytes before a frame, two segments, an empty message, an
// <FS> without <CR> kept as data, a frame cut by a new <VT>, and a message
// beyond the limit refused up to the next <VT>.
TEST(MllpFramer, MessagesAndEverythingElseInStreamOrderHoweverTheStreamIsCut) {
    const std::string stream =
        "junk\x0bMSH|^~\\&|A\rPID|1\r\x1c\r\x0b\x1c\r\x0bx\x1cy\x1c\r"
        "\x0b"
        "cut\x0b"
        "ok\x1c\r\x0b"
        "" +
        std::string(40, '1') + "\x1c\r\x0bnext\x1c\rtail"s;
    const std::vector<std::string> expected{"O:junk",
                                            "M:MSH|^~\\&|A\rPID|1\r",
                                            "M:",
                                            "M:x\x1cy",
                                            "O:\x0b"
                                            "cut",
                                            "M:ok",
                                            "T:43",
                                            "M:next",
                                            "O:tail"};
    std::vector<std::vector<size_t>> cuts{{}, {}};
    for (size_t at = 1; at < stream.size(); ++at)
        cuts.push_back({at});
    for (size_t at = 1; at < stream.size(); ++at)
        cuts[1].push_back(at);
    for (const auto& at : cuts) {
        CMllpFramer framer(32);
        std::vector<CMllpFramer::Event> events;
        size_t from = 0;
        for (const size_t to : at) {
            framer.Feed(std::string_view(stream).substr(from, to - from), events);
            from = to;
        }
        framer.Feed(std::string_view(stream).substr(from), events);
        EXPECT_FALSE(framer.InFrame());
        framer.Flush(events);
        ASSERT_EQ(Lines(events), expected)
            << at.size() << " cuts, the first at " << (at.empty() ? 0 : at[0]);
    }
}

TEST(MllpFramer, BytesOutsideAFrameComeBackInBoundedRunsAndAFrameWaitsForItsEnd) {
    CMllpFramer framer;
    std::vector<CMllpFramer::Event> events;
    framer.Feed(std::string(10000, 'x') + "\x0bMSH|", events);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].bytes.size() + events[1].bytes.size() + events[2].bytes.size(), 10000u);
    EXPECT_EQ(events[0].bytes.size(), CMllpFramer::kOutsideChunk);
    events.clear();
    framer.Flush(events);
    EXPECT_TRUE(events.empty() && framer.InFrame());  // the frame under way stays
    framer.Feed("\x1c", events);
    EXPECT_TRUE(events.empty() && framer.InFrame());
    framer.Feed("\r", events);
    EXPECT_EQ(Lines(events), std::vector<std::string>{"M:MSH|"});

    // An <FS> kept as data counts toward the limit like any other byte.
    CMllpFramer small(4);
    events.clear();
    small.Feed(
        "\x0b"
        "abcd\x1c\x1c\r\x0bok\x1c\r",
        events);
    EXPECT_EQ(Lines(events), (std::vector<std::string>{"T:8", "M:ok"}));
}

}  // namespace
}  // namespace qelvor::hl7
