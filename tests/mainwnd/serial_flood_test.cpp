// The engine over a real pty flooded with frames while its poll stalls.
#include <atomic>
#include <string>
#include <thread>

#include "engine_fixture.h"
#include "support/pty_pair.h"

namespace qelvor::test {
namespace {

using testing_support::PtyDevice;

class SerialFlood : public EngineTest {
  protected:
    // Polls once and moves the 'R' records out of the store into received.
    void PollAndCollect() {
        Poll();
        for (const CMsgRecord& record : Engine().Exchange().Records()) {
            if (record.Type() == 'R') received += record.Data();
        }
        Engine().OnClearAllData();
    }
    std::string received;
};

// A pty holds its writer back when full, so without a thread draining it a
// stalled window would stop the device; a real line without flow control
// drops what does not fit. The stall lasts 300 ms and until the device has
// sent far more than the kernel's buffers hold; then every byte must be
// recorded, in order.
TEST_F(SerialFlood, EightMiBThroughAStalledPollAreRecordedWholeAndInOrder) {
    PtyDevice device;
    ASSERT_FALSE(device.Path().empty());
    settings.SplitStrs = "<CR><LF>";
    OpenSerial(device.Path());
    ASSERT_TRUE(Engine().IsPortOpen());
    std::string stream;
    for (int i = 0; stream.size() < (8u << 20); ++i)
        stream += StrPrintf("%08d:", i) + std::string(89, static_cast<char>('A' + i % 26)) + "\r\n";
    std::atomic<size_t> fed{0};
    std::thread feeder([&] {
        for (size_t done = 0; done < stream.size(); done += 65536) {
            if (device.Feed(stream.data() + done, std::min<size_t>(65536, stream.size() - done)) ==
                0)
                break;
            fed = std::min(done + 65536, stream.size());
        }
    });
    RunUntil([this] { PollAndCollect(); }, [&] { return fed >= stream.size() / 2; }, 20000);
    const size_t before = fed;
    const auto stallEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    std::this_thread::sleep_until(stallEnd);
    EXPECT_TRUE(
        RunUntil([] {}, [&] { return fed >= before + (1u << 20) || fed == stream.size(); }, 10000));
    RunUntil(
        [this] { PollAndCollect(); },
        [&] { return received.size() + Engine().Exchange().Pending().size() >= stream.size(); },
        20000);
    feeder.join();
    ASSERT_EQ(received.size(), stream.size());
    EXPECT_TRUE(received == stream);
}

}  // namespace
}  // namespace qelvor::test
