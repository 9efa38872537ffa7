#include "astm/astm_record.h"

#include <gtest/gtest.h>

namespace qelvor::astm {
namespace {

std::string Shown(const AstmDelimiters& d) {
    return {d.field, d.repeat, d.component, d.escape};
}

TEST(AstmRecord, HeaderDeclaresTheDelimitersOrSaysWhyNot) {
    struct Row {
        const char* header;
        const char* delimiters;  // after the call, starting from "!@#$"
        const char* why;
    } rows[] = {
        {"H|\\^&|||LAB", "|\\^&", ""},
        {"H|\\^&", "|\\^&", ""},
        {"H*~:%*", "*~:%", ""},
        {"P|1", "!@#$", "not a header record"},
        {"H|\\^", "!@#$", "header declares fewer than four delimiters"},
        {"H||^&|", "!@#$", "header delimiters \"||^&\" are not four distinct marks"},
        {"H|a^&|", "!@#$", "header delimiters \"|a^&\" are not four distinct marks"},
        {"H|\t^&|", "!@#$", "header delimiters \"|\t^&\" are not four distinct marks"},
        {"H|\\^&x", "!@#$", "header delimiter definition is not followed by the field delimiter"},
    };
    for (const Row& r : rows) {
        AstmDelimiters d{'!', '@', '#', '$'};
        std::string why;
        EXPECT_EQ(CAstmRecord::ReadDelimiters(r.header, d, why), *r.why == '\0') << r.header;
        EXPECT_EQ(Shown(d), r.delimiters) << r.header;
        EXPECT_EQ(why, r.why) << r.header;
    }
}

TEST(AstmRecord, MessageRecordsSplitWithTheirHeadersDelimiters) {
    AstmDelimiters d;
    std::string why;
    const CAstmRecord header = CAstmRecord::SplitInMessage("H!@#$!!!LAB#1.0", d, why);
    EXPECT_EQ(why, "");
    EXPECT_EQ(Shown(d), "!@#$");
    EXPECT_EQ(header.Type(), 'H');
    ASSERT_EQ(header.FieldCount(), 5u);
    EXPECT_EQ(header.FieldAt(2), CAstmRecord::Field{{"@#$"}});  // kept unsplit
    EXPECT_EQ(header.FieldAt(5), (CAstmRecord::Field{{"LAB", "1.0"}}));

    const CAstmRecord result =
        CAstmRecord::SplitInMessage("R!1!^^^GLU#x!5.5@6.1!a$F$b$S$c$R$d$E$e$X0D$f$F", d, why);
    EXPECT_EQ(result.Type(), 'R');
    ASSERT_EQ(result.FieldCount(), 5u);
    EXPECT_EQ(result.FieldAt(3), (CAstmRecord::Field{{"^^^GLU", "x"}}));
    EXPECT_EQ(result.FieldAt(4), (CAstmRecord::Field{{"5.5"}, {"6.1"}}));
    // The four delimiter escapes become the marks; others and a lone one stay.
    EXPECT_EQ(result.Text(5), "a!b#c@d$e$X0D$f$F");
    EXPECT_EQ(result.Text(4, 1), "6.1");
    EXPECT_EQ(result.Text(3, 0, 2), "");
    EXPECT_EQ(result.Text(9), "");
    EXPECT_TRUE(result.FieldAt(0).empty());

    // A broken header leaves the message's delimiters as they were.
    const CAstmRecord broken = CAstmRecord::SplitInMessage("H!!#$", d, why);
    EXPECT_EQ(why, "header delimiters \"!!#$\" are not four distinct marks");
    EXPECT_EQ(Shown(d), "!@#$");
    EXPECT_EQ(broken.FieldCount(), 3u);
    const CAstmRecord empty = CAstmRecord::SplitInMessage("", d, why);
    EXPECT_EQ(empty.Type(), '\0');
    EXPECT_EQ(empty.FieldCount(), 0u);
}

}  // namespace
}  // namespace qelvor::astm
