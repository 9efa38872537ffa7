// The CSV export of a real traffic store to files in a temporary folder:
// quoting, the file read back whole, filtered rows, and exports that are
// cancelled or fail leaving no file behind.
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

TEST(CsvQuoting, QuotesOnlyFieldsThatNeedItAndDoublesQuotes) {
    const std::pair<const char*, const char*> cases[] = {
        {"plain text", "plain text"}, {"a,b", "\"a,b\""},   {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"a\rb", "\"a\rb\""},         {"a\nb", "\"a\nb\""}, {"", ""}};
    for (const auto& [field, quoted] : cases)
        EXPECT_EQ(CCsvExporter::QuoteField(field), quoted) << field;
}

class CsvExportTest : public testing::Test {
  protected:
    void SetUp() override {
        const SystemTime t{2024, 5, 0, 7, 9, 3, 4, 5};
        exchange_.AppendRecord(CMsgRecord('S', "\x05", t));
        exchange_.AppendRecord(CMsgRecord('R',
                                          "\x02"
                                          "a,\"b\"\xC3\xA9\xFF\x03\r\n",
                                          {2024, 5, 0, 7, 9, 3, 4, 10}));
        exchange_.AppendRecord(
            CMsgRecord('I', "Send data,but error!", {2024, 5, 0, 7, 9, 3, 4, 17}));
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
};

TEST_F(CsvExportTest, WritesEveryRecordInTheStyleAndInHex) {
    // Records hold text in the locale's character set, as the program sets
    // it at start: UTF-8 text stays, a byte that is no UTF-8 becomes U+FFFD.
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    CCsvExporter exporter(exchange_);
    ASSERT_EQ(exporter.Start(path_, nullptr, {.showDataFmt = 1}), 0);
    EXPECT_EQ(RunToEnd(exporter), State::kDone) << exporter.Error();
    EXPECT_EQ(exporter.Progress(), 1.0);
    EXPECT_EQ(ReadFile(path_),
              "date,time,+ms,type,data,hex\r\n"
              "2024-05-07,09:03:04.005,,S,<ENQ>,05\r\n"
              "2024-05-07,09:03:04.010,5,R,\"<STX>a,\"\"b\"\"\xC3\xA9\xEF\xBF\xBD<ETX><CR><LF>\","
              "02 61 2C 22 62 22 C3 A9 FF 03 0D 0A\r\n"
              "2024-05-07,09:03:04.017,7,I,\"Send data,but error!\","
              "53 65 6E 64 20 64 61 74 61 2C 62 75 74 20 65 72 72 6F 72 21\r\n");
    EXPECT_FALSE(std::filesystem::exists(CCsvExporter::TemporaryPath(path_)));
    std::setlocale(LC_CTYPE, locale.c_str());
}

TEST_F(CsvExportTest, FilteredRowsWithGapsToTheSameType) {
    exchange_.AppendRecord(CMsgRecord('S', "\x06", {2024, 5, 0, 7, 9, 3, 5, 0}));
    const std::vector<size_t> rows{0, 3};
    CCsvExporter exporter(exchange_);
    ASSERT_EQ(exporter.Start(path_, &rows, {.showDataFmt = 2, .gapScope = GapScope::kSameType}), 0);
    EXPECT_EQ(RunToEnd(exporter), State::kDone);
    EXPECT_EQ(ReadFile(path_),
              "date,time,+ms,type,data,hex\r\n2024-05-07,09:03:04.005,,S,05 ,05\r\n"
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
        EXPECT_TRUE(std::filesystem::exists(CCsvExporter::TemporaryPath(path_)));
        if (clear)
            exchange_.ClearAll();
        else
            exporter.Cancel();
        EXPECT_EQ(RunToEnd(exporter), clear ? State::kFailed : State::kCancelled);
        EXPECT_FALSE(std::filesystem::exists(path_));
        EXPECT_FALSE(std::filesystem::exists(CCsvExporter::TemporaryPath(path_)));
    }
    CCsvExporter exporter(exchange_);
    EXPECT_NE(exporter.Start(folder_.File("no/such/folder.csv"), nullptr, {}), 0);
    EXPECT_NE(exporter.Error().find("no/such/folder.csv.part"), std::string::npos);
}

}  // namespace
}  // namespace qelvor
