#include "astm/order_table.h"

#include <string>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace qelvor::astm {
namespace {

using testing_support::TempFolder;
using testing_support::WriteFile;

TEST(OrderTable, ReadsQuotedCellsInAnyColumnOrderAndIgnoresOtherColumns) {
    COrderTable table;
    std::string why;
    ASSERT_TRUE(
        table.Parse("\xEF\xBB\xBFNotes, TEST_CODES ,specimen-id,Priority\r\n"
                    "\"a, \"\"b\"\"\r\nc\",GLU\\K; NA ;,S1,a\r\n\r\n"
                    "x,\"CRP\",\"S,2\",\n",
                    why))
        << why;
    EXPECT_EQ(table.Size(), 2u);
    const AstmOrder* s1 = table.Find("S1");
    ASSERT_NE(s1, nullptr);
    EXPECT_EQ(s1->tests, (std::vector<std::string>{"GLU", "K", "NA"}));
    EXPECT_EQ(std::make_tuple(s1->priority, s1->reportType), std::make_tuple("A", "O"));
    ASSERT_NE(table.Find("S,2"), nullptr);
    EXPECT_EQ(table.Find("S,2")->priority, "R");
    EXPECT_EQ(table.Find("s1"), nullptr);
}

TEST(OrderTable, RefusesABadTableWholeNamingTheLineAndKeepsTheOneBefore) {
    std::string tooMany = "specimen,tests\n";
    for (size_t i = 0; i <= COrderTable::kMaxRows; ++i)
        tooMany += "S" + std::to_string(i) + ",T\n";
    const std::pair<std::string, std::string> cases[] = {
        {"\n \n", "no header line"},
        {"tests,priority\nS1,GLU\n", "line 1: no \"specimen id\" column"},
        {"\nspecimen,Sample ID,tests\n", "line 2: column \"Sample ID\" comes twice"},
        {"specimen,tests\n,GLU\n", "line 2: no specimen id"},
        {"specimen,tests\nS1,GLU\nS2, ; \\ \n", "line 3: specimen S2 has no test code"},
        {"specimen,tests,priority\nS1,GLU,X\n", "line 2: priority \"X\" is none of S, A, R, C, P"},
        {"specimen,tests,note\nS1,GLU,\"two\nlines\"\nS1,K,\n",
         "line 4: specimen S1 is listed twice (first on line 2)"},
        {"specimen,tests\nS1,\"GLU\n", "line 2: a quote is not closed"},
        {tooMany, "more than 100000 rows"},
    };
    COrderTable table;
    std::string why;
    ASSERT_TRUE(table.Parse("specimen,tests\nKEEP,GLU\n", why));
    for (const auto& [text, expected] : cases) {
        why.clear();
        EXPECT_FALSE(table.Parse(text, why)) << expected;
        EXPECT_EQ(why, expected);
        EXPECT_EQ(std::make_tuple(table.Size(), table.Find("KEEP") != nullptr),
                  std::make_tuple(1u, true));
    }
    // Files: too large, missing.
    TempFolder dir;
    WriteFile(dir.File("big.csv"), "specimen,tests\n" + std::string(COrderTable::kMaxBytes, ' '));
    for (const auto& [name, expected] :
         {std::pair<std::string, std::string>{"big.csv", "larger than 16 MiB"},
          {"none.csv", "No such file or directory"}}) {
        EXPECT_FALSE(table.Load(dir.File(name), why));
        EXPECT_EQ(why, "orders file " + dir.File(name) + ": " + expected);
    }
}

}  // namespace
}  // namespace qelvor::astm
