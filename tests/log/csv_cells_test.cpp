// The CSV export's data cells: what a peer sends must reach a spreadsheet as
// text, never as a formula it runs; the columns the program writes stay as
// they are.
#include <clocale>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "log/csv_exporter.h"
#include "support/temp_folder.h"
#include "traffic/msg_exchange.h"
#include "traffic/msg_record.h"

namespace qelvor {
namespace {

using testing_support::ReadFile;
using testing_support::TempFolder;

// Each row: a record, the display style, and its whole line in the file. The
// times step back once, so that a gap is negative: a number the program
// writes, which keeps its sign.
TEST(CsvCells, FormulaStartsBecomeTextAndTheProgramsOwnColumnsStay) {
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
        // Escaped control bytes, a later formula sign and hex style are not formulas.
        {'R', "\r=1", 1, 9, "2024-05-07,09:03:04.009,0,R,<CR>=1,0D 3D 31"},
        {'R', "a=1", 0, 9, "2024-05-07,09:03:04.009,0,R,a=1,61 3D 31"},
        {'R', "=", 2, 9, "2024-05-07,09:03:04.009,0,R,3D ,3D"},
        {'R', "", 0, 9, "2024-05-07,09:03:04.009,0,R,,"},
    };
    // clang-format on
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    TempFolder folder;
    for (int style : {0, 1, 2}) {
        SCOPED_TRACE(style);
        CComSetting settings;
        CMsgExchange exchange(settings);
        std::vector<size_t> shown;
        std::string expected = CCsvExporter::HeaderLine();
        for (const auto& row : rows) {
            exchange.AppendRecord(CMsgRecord(row.type, row.data, {2024, 5, 0, 7, 9, 3, 4, row.ms}));
            if (row.style != style) continue;
            shown.push_back(exchange.RecordCount() - 1);
            expected += row.line + std::string("\r\n");
        }
        CCsvExporter exporter(exchange);
        ASSERT_EQ(exporter.Start(folder.File("cells.csv"), &shown, {.showDataFmt = style}), 0);
        EXPECT_EQ(exporter.Step(CCsvExporter::Clock::now() + std::chrono::seconds(10)),
                  CCsvExporter::State::kDone)
            << exporter.Error();
        EXPECT_EQ(ReadFile(folder.File("cells.csv")), expected);
    }
    std::setlocale(LC_CTYPE, locale.c_str());
}

}  // namespace
}  // namespace qelvor
