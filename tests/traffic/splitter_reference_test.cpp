#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "traffic/msg_exchange.h"
#include "traffic_test_support.h"

namespace qelvor {
namespace {

using Strings = std::vector<std::string>;

// The splitting rule written the plain way: for every frame, search the
// pending bytes with each split string in list order from the start.
class PlainSplitter {
  public:
    void Feed(const std::string& block, const Strings& splits) {
        pending += block;
        size_t start = 0;
        while (CutOne(splits, start)) {
        }
        pending.erase(0, start);
        while (pending.size() >= 8192) {
            frames.push_back(pending.substr(0, 8192));
            pending.erase(0, 8192);
        }
    }

    std::string pending;
    Strings frames;

  private:
    bool CutOne(const Strings& splits, size_t& start) {
        for (const std::string& split : splits) {
            if (split.empty()) continue;
            const size_t at = pending.find(split, start);
            if (at == std::string::npos) continue;
            frames.push_back(pending.substr(start, at + split.size() - start));
            start = at + split.size();
            return true;
        }
        return false;
    }
};

const char kAlphabet[] = {'a', 'b', '\x03', '\r', '\n', '\x06', '\x04', '\x01'};

std::string RandomBytes(std::mt19937& random, size_t length) {
    std::uniform_int_distribution<size_t> pick(0, sizeof(kAlphabet) - 1);
    std::string bytes;
    for (size_t i = 0; i < length; ++i)
        bytes.push_back(kAlphabet[pick(random)]);
    return bytes;
}

// A notation list of one to four items of up to three bytes; '\r' and
// '\n' are written by name so that the list parses back to these bytes.
std::string RandomSplitText(std::mt19937& random) {
    std::uniform_int_distribution<int> count(1, 4);
    std::uniform_int_distribution<size_t> length(0, 3);
    std::string text;
    for (int i = count(random); i > 0; --i) {
        for (const char c : RandomBytes(random, length(random))) {
            text += c == '\r'   ? std::string("<CR>")
                    : c == '\n' ? std::string("<LF>")
                                : std::string(1, c);
        }
        text += ',';
    }
    return text;
}

TEST(SplitterReference, FramesMatchThePlainSearchForRandomStreams) {
    test::TempDir dir;
    CComSetting settings(dir.Path() + "/t.ini");
    settings.HandShake = 0;
    settings.WorkMode = kWorkModeSerial;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 random(seed);
        settings.SplitStrs = RandomSplitText(random);
        CMsgExchange exchange(settings);
        exchange.InitExchange(nullptr, nullptr, nullptr);
        PlainSplitter plain;
        std::uniform_int_distribution<size_t> blockLength(0, 40);
        std::uniform_int_distribution<int> event(0, 30);
        for (int step = 0; step < 300; ++step) {
            const int what = event(random);
            if (what == 0) {
                settings.SplitStrs = RandomSplitText(random);
                exchange.LoadSplitConfig();
            }
            const std::string block = RandomBytes(random, what == 1 ? 9000 : blockLength(random));
            exchange.SplitReceived(block, settings.WorkMode);
            plain.Feed(block, exchange.SplitList());
            ASSERT_EQ(exchange.Pending(), plain.pending) << "seed " << seed << " step " << step;
        }
        Strings frames;
        for (const CMsgRecord& record : exchange.Records())
            frames.push_back(record.Data());
        EXPECT_EQ(frames, plain.frames) << "seed " << seed;
    }
}

}  // namespace
}  // namespace qelvor
