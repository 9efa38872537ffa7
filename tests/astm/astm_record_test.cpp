#include "astm/astm_record.h"

#include <utility>

#include <gtest/gtest.h>

namespace qelvor::astm {
namespace {

TEST(AstmRecord, HeaderDeclaresTheDelimitersOrSaysWhyAndTheMessageIsSplitWithThem) {
    const std::pair<const char*, const char*> rows[] = {
        {"H*~:%*", ""},
        {"P|1", "not a header record"},
        {"H|\\^", "header declares fewer than four delimiters"},
        {"H|a^&|", "header delimiters \"|a^&\" are not four distinct marks"},
        {"H|\\^&x", "header delimiter definition is not followed by the field delimiter"},
    };
    for (const auto& [header, why] : rows) {
        AstmDelimiters d{'!', '@', '#', '$'};
        std::string told;
        EXPECT_EQ(CAstmRecord::ReadDelimiters(header, d, told), *why == '\0') << header;
        EXPECT_EQ(std::string({d.field, d.repeat, d.component, d.escape}), *why ? "!@#$" : "*~:%");
        EXPECT_EQ(told, why);
    }
    // In a message every record is split with the last header's delimiters.
    AstmDelimiters d;
    std::string why;
    const CAstmRecord header = CAstmRecord::SplitInMessage("H!@#$!!!LAB#1.0", d, why);
    EXPECT_EQ(header.FieldAt(5), (CAstmRecord::Field{{"LAB", "1.0"}}));
    const CAstmRecord r =
        CAstmRecord::SplitInMessage("R!1!^^^GLU#x!5.5@6.1!a$F$b$S$c$R$d$E$$X0D$", d, why);
    EXPECT_EQ(std::string(1, r.Type()) + std::to_string(r.FieldCount()), "R5");
    EXPECT_EQ(r.FieldAt(4), (CAstmRecord::Field{{"5.5"}, {"6.1"}}));
    // The four delimiter escapes become the marks; any other stays as it is.
    EXPECT_EQ(r.Text(5), "a!b#c@d$$X0D$");
    EXPECT_EQ(r.Text(3, 0, 2) + r.Text(6) + r.Text(0), "");
}

}  // namespace
}  // namespace qelvor::astm
