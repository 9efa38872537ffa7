// The CSV export of a real traffic store: data cells reach a spreadsheet as text, no formula.
#include "log/csv_exporter.h"

#include <chrono>
#include <clocale>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "support/temp_folder.h"
#include "traffic/msg_exchange.h"

namespace qelvor {
namespace {

using namespace testing_support;
using namespace std::string_literals;
namespace fs = std::filesystem;

using State = CCsvExporter::State;

// Records hold text in the locale's character set, as the program sets it at
// start: UTF-8 text stays, a byte that is no UTF-8 becomes U+FFFD.
class CsvExportTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
        Add('S', "\r", 4, 5);
        Add('R', std::string("\x02") + "a,\"b\"\xC3\xA9\xFF\x03\r\n", 4, 10);
        Add('I', "x\ny", 4, 17);
    }
    void Add(char type, const std::string& data, uint16_t second, uint16_t ms) {
        exchange_.AppendRecord(CMsgRecord(type, data, {2024, 5, 0, 7, 9, 3, second, ms}));
    }
    void TearDown() override { std::setlocale(LC_CTYPE, locale_.c_str()); }
    State RunToEnd(CCsvExporter& exporter) {
        State state = exporter.GetState();
        for (int i = 0; i < 1000 && state == State::kWriting; ++i)
            state = exporter.Step(CCsvExporter::Clock::now());
        return state;
    }

    const std::string locale_ = std::setlocale(LC_CTYPE, nullptr);
    CComSetting settings_;
    CMsgExchange exchange_{settings_};
    TempFolder folder_;
    std::string path_ = folder_.File("traffic.csv");
    std::string part_ = CCsvExporter::TemporaryPath(path_);
};

TEST_F(CsvExportTest, WritesTheRecordsAndLeavesNoFileWhenCancelledOrFailed) {
    CCsvExporter exporter(exchange_);
    ASSERT_EQ(exporter.Start(path_, nullptr, {.showDataFmt = 0}), 0);
    EXPECT_EQ(RunToEnd(exporter), State::kDone) << exporter.Error();
    EXPECT_EQ(ReadFile(path_),
              "date,time,+ms,type,data,hex\r\n2024-05-07,09:03:04.005,,S,\"'\r\",0D\r\n"
              "2024-05-07,09:03:04.010,5,R,\"\x02"
              "a,\"\"b\"\"\xC3\xA9\xEF\xBF\xBD\x03\r\n\","
              "02 61 2C 22 62 22 C3 A9 FF 03 0D 0A\r\n"
              "2024-05-07,09:03:04.017,7,I,x<LF>y,78 0A 79\r\n");
    EXPECT_FALSE(fs::exists(part_));
    // The rows of a filter, with the gaps to the previous record of the type.
    Add('S', "\x06", 5, 0);
    const std::vector<size_t> rows{0, 3};
    ASSERT_EQ(exporter.Start(path_, &rows, {.showDataFmt = 2, .gapScope = GapScope::kSameType}), 0);
    EXPECT_EQ(RunToEnd(exporter), State::kDone);
    EXPECT_EQ(ReadFile(path_),
              "date,time,+ms,type,data,hex\r\n2024-05-07,09:03:04.005,,S,0D ,0D\r\n"
              "2024-05-07,09:03:05.000,995,S,06 ,06\r\n");
    // Exports that are cancelled or fail leave no file behind.
    fs::remove(path_);
    for (int i = 0; i < 3000; ++i)
        exchange_.AddRecord('R', std::string(100, 'x'));
    for (bool clear : {false, true}) {
        CCsvExporter stopped(exchange_);
        ASSERT_EQ(stopped.Start(path_, nullptr, {}), 0);
        EXPECT_EQ(stopped.Step(CCsvExporter::Clock::now()), State::kWriting);
        EXPECT_GT(stopped.Progress(), 0.0);
        EXPECT_TRUE(fs::exists(part_));
        clear ? exchange_.ClearAll() : stopped.Cancel();
        EXPECT_EQ(RunToEnd(stopped), clear ? State::kFailed : State::kCancelled);
        EXPECT_FALSE(fs::exists(path_) || fs::exists(part_));
    }
    EXPECT_NE(exporter.Start(folder_.File("no/such/folder.csv"), nullptr, {}), 0);
    EXPECT_NE(exporter.Error().find("no/such/folder.csv.part"), std::string::npos);
}

// Each row: a record, the display style and its line in the file; the times
// step back once, so a gap is negative and keeps its sign (no formula).
TEST_F(CsvExportTest, FormulaStartsBecomeTextAndTheProgramsOwnColumnsStay) {
    // clang-format off
    const struct { char type; std::string data; int style; uint16_t ms; const char* line; } rows[] = {
        {'R', "=HYPERLINK(\"http://x\")", 0, 10,
         "2024-05-07,09:03:04.010,,R,\"'=HYPERLINK(\"\"http://x\"\")\",3D 48 59 50 45 52 4C 49 "
         "4E 4B 28 22 68 74 74 70 3A 2F 2F 78 22 29"},
        {'R', "+1+2", 0, 5, "2024-05-07,09:03:04.005,-5,R,'+1+2,2B 31 2B 32"},
        {'S', "-3", 0, 6, "2024-05-07,09:03:04.006,1,S,'-3,2D 33"},
        {'R', "@SUM(A1),1", 0, 7, "2024-05-07,09:03:04.007,1,R,\"'@SUM(A1),1\",40 53 55 4D 28 "
         "41 31 29 2C 31"},
        {'R', "\t=1", 0, 8, "2024-05-07,09:03:04.008,1,R,'\t=1,09 3D 31"},
        {'R', "\r=1", 0, 9, "2024-05-07,09:03:04.009,1,R,\"'\r=1\",0D 3D 31"},
        {'I', "-peer gone", 0, 9, "2024-05-07,09:03:04.009,0,I,'-peer gone,2D 70 65 65 72 20 67 "
         "6F 6E 65"},
        // The text as shown is judged: escaped control bytes and a later sign are no formula.
        {'R', "\r=1", 1, 9, "2024-05-07,09:03:04.009,0,R,<CR>=1,0D 3D 31"},
        {'R', "a=1", 0, 9, "2024-05-07,09:03:04.009,0,R,a=1,61 3D 31"},
        {'R', "", 0, 9, "2024-05-07,09:03:04.009,0,R,,"}};
    // clang-format on
    for (int style : {0, 1}) {
        SCOPED_TRACE(style);
        exchange_.ClearAll();
        std::vector<size_t> shown;
        std::string expected = CCsvExporter::HeaderLine();
        for (const auto& row : rows) {
            exchange_.AppendRecord(
                CMsgRecord(row.type, row.data, {2024, 5, 0, 7, 9, 3, 4, row.ms}));
            if (row.style != style) continue;
            shown.push_back(exchange_.RecordCount() - 1);
            expected += row.line + std::string("\r\n");
        }
        CCsvExporter exporter(exchange_);
        ASSERT_EQ(exporter.Start(path_, &shown, {.showDataFmt = style}), 0);
        EXPECT_EQ(exporter.Step(CCsvExporter::Clock::now() + std::chrono::seconds(10)),
                  CCsvExporter::State::kDone)
            << exporter.Error();
        EXPECT_EQ(ReadFile(path_), expected);
    }
}
}  // namespace
}  // namespace qelvor
