// The CSV export of a real traffic store to files in a temporary folder: the
// file read back whole, filtered rows, and exports that are cancelled or fail
// leaving no file behind.
#include "log/csv_exporter.h"

#include <clocale>
#include <filesystem>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "support/temp_folder.h"
#include "traffic/msg_exchange.h"

namespace qelvor {
namespace {

using testing_support::ReadFile;
using State = CCsvExporter::State;
namespace fs = std::filesystem;

class CsvExportTest : public testing::Test {
  protected:
    void SetUp() override {
        Add('S', "\r", 4, 5);
        Add('R', std::string("\x02") + "a,\"b\"\xC3\xA9\xFF\x03\r\n", 4, 10);
        Add('I', "x\ny", 4, 17);
    }
    void Add(char type, const std::string& data, uint16_t second, uint16_t ms) {
        exchange_.AppendRecord(CMsgRecord(type, data, {2024, 5, 0, 7, 9, 3, second, ms}));
    }
    State RunToEnd(CCsvExporter& exporter) {
        State state = exporter.GetState();
        for (int i = 0; i < 1000 && state == State::kWriting; ++i)
            state = exporter.Step(CCsvExporter::Clock::now());
        return state;
    }

    CComSetting settings_;
    CMsgExchange exchange_{settings_};
    testing_support::TempFolder folder_;
    std::string path_ = folder_.File("traffic.csv");
    std::string part_ = CCsvExporter::TemporaryPath(path_);
};

TEST_F(CsvExportTest, WritesTheRecordsInTheStyleAndInHexQuotedWhereNeeded) {
    // Records hold text in the locale's character set, as the program sets
    // it at start: UTF-8 text stays, a byte that is no UTF-8 becomes U+FFFD.
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    CCsvExporter exporter(exchange_);
    ASSERT_EQ(exporter.Start(path_, nullptr, {.showDataFmt = 0}), 0);
    EXPECT_EQ(RunToEnd(exporter), State::kDone) << exporter.Error();
    EXPECT_EQ(ReadFile(path_),
              "date,time,+ms,type,data,hex\r\n2024-05-07,09:03:04.005,,S,\"\r\",0D\r\n"
              "2024-05-07,09:03:04.010,5,R,\"\x02"
              "a,\"\"b\"\"\xC3\xA9\xEF\xBF\xBD\x03\r\n\","
              "02 61 2C 22 62 22 C3 A9 FF 03 0D 0A\r\n"
              "2024-05-07,09:03:04.017,7,I,x<LF>y,78 0A 79\r\n");
    EXPECT_FALSE(fs::exists(part_));
    std::setlocale(LC_CTYPE, locale.c_str());
    // The rows of a filter, with the gaps to the previous record of the type.
    Add('S', "\x06", 5, 0);
    const std::vector<size_t> rows{0, 3};
    ASSERT_EQ(exporter.Start(path_, &rows, {.showDataFmt = 2, .gapScope = GapScope::kSameType}), 0);
    EXPECT_EQ(RunToEnd(exporter), State::kDone);
    EXPECT_EQ(ReadFile(path_),
              "date,time,+ms,type,data,hex\r\n2024-05-07,09:03:04.005,,S,0D ,0D\r\n"
              "2024-05-07,09:03:05.000,995,S,06 ,06\r\n");
}

TEST_F(CsvExportTest, CancelledOrFailedExportsLeaveNoFile) {
    for (int i = 0; i < 3000; ++i)
        exchange_.AddRecord('R', std::string(100, 'x'));
    for (bool clear : {false, true}) {
        CCsvExporter exporter(exchange_);
        ASSERT_EQ(exporter.Start(path_, nullptr, {}), 0);
        EXPECT_EQ(exporter.Step(CCsvExporter::Clock::now()), State::kWriting);
        EXPECT_GT(exporter.Progress(), 0.0);
        EXPECT_TRUE(fs::exists(part_));
        clear ? exchange_.ClearAll() : exporter.Cancel();
        EXPECT_EQ(RunToEnd(exporter), clear ? State::kFailed : State::kCancelled);
        EXPECT_FALSE(fs::exists(path_) || fs::exists(part_));
    }
    CCsvExporter exporter(exchange_);
    EXPECT_NE(exporter.Start(folder_.File("no/such/folder.csv"), nullptr, {}), 0);
    EXPECT_NE(exporter.Error().find("no/such/folder.csv.part"), std::string::npos);
}

}  // namespace
}  // namespace qelvor
