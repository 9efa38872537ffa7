// The engine over a real pty flooded with frames while its poll stalls.
#include <atomic>
#include <thread>

#include "engine_fixture.h"
#include "support/pty_pair.h"

namespace qelvor::test {
namespace {

using SerialFlood = EngineTest;

// A full pty holds its writer back where a line without flow control drops
// bytes, so the stall lasts until the device sent far more than the kernel
// holds (at least 300 ms); every byte must then be recorded, in order.
TEST_F(SerialFlood, EightMiBThroughAStalledPollAreRecordedWholeAndInOrder) {
    testing_support::PtyDevice device;
    settings.SplitStrs = "<CR><LF>";
    OpenSerial(device.path);
    ASSERT_TRUE(Engine().IsPortOpen());
    std::string stream, received;
    for (int i = 0; stream.size() < (8u << 20); ++i)
        stream += StrPrintf("%08d:", i) + std::string(89, static_cast<char>('A' + i % 26)) + "\r\n";
    std::atomic<size_t> fed{0};
    std::thread feeder([&] {
        for (size_t done = 0; done < stream.size() && device.Feed(stream.substr(done, 65536));)
            fed = done = std::min(done + 65536, stream.size());
    });
    auto pollAndCollect = [&] {
        Poll();
        for (const CMsgRecord& record : Engine().Exchange().Records())
            if (record.Type() == 'R') received += record.Data();
        Engine().OnClearAllData();
    };
    RunUntil(
        pollAndCollect, [&] { return fed >= stream.size() / 2; }, 20000);
    const size_t before = fed;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(RunUntil([] {}, [&] { return fed >= std::min(before + (1u << 20), stream.size()); },
                         10000));
    RunUntil(
        pollAndCollect, [&] { return received.size() >= stream.size(); }, 20000);
    feeder.join();
    ASSERT_EQ(received.size(), stream.size());
    EXPECT_TRUE(received == stream);
}

}  // namespace
}  // namespace qelvor::test
