#include "astm/query_responder.h"

#include <string>

#include <gtest/gtest.h>

namespace qelvor::astm {
namespace {

using Message = std::vector<std::string>;

// The query is split with its own message's delimiters; the answer uses the
// defaults, with the values that hold one of them escaped.
TEST(QueryResponder, AnswersEachSpecimenOfTheQueryInItsOrderWithEscapedValues) {
    COrderTable table;
    std::string why;
    ASSERT_TRUE(
        table.Parse("specimen,tests,patient id,patient name\n"
                    "S2,A^B;C&D,P|1,Doe^Jane\n",
                    why));
    const AstmDelimiters d{'!', '@', '#', '$'};
    const CAstmRecord query = CAstmRecord::Split("Q!1!#S1@P2#S2@S3@#!!ALL", d);
    EXPECT_EQ(CQueryResponder::SpecimensOf(query), (Message{"S1", "S2", "S3"}));
    const AstmQueryAnswer answer = CQueryResponder(table).Answer(query);
    const std::string h = "H|\\^&|||Qelvor|||||||P";
    ASSERT_EQ(answer.messages.size(), 3u);
    EXPECT_EQ(answer.messages[0], (Message{h, "L|1|I"}));
    EXPECT_EQ(answer.messages[1],
              (Message{h, "P|1|P&F&1|||Doe^Jane",
                       "O|1|S2||^^^A&S&B\\^^^C&E&D|R||||||||||||||||||||O", "L|1|F"}));
    EXPECT_EQ(answer.messages[2], answer.messages[0]);
    EXPECT_EQ(answer.Summary(),
              "query for 3 specimens: orders for S2 sent, no information for S1, S3");
}

TEST(QueryResponder, QueryWithoutSpecimenOrWithTooManyIsAnsweredWithinBounds) {
    COrderTable table;
    const CQueryResponder responder(table);
    const AstmQueryAnswer none = responder.Answer(CAstmRecord::Split("Q|1|^||ALL", {}));
    EXPECT_EQ(none.messages, (std::vector<Message>{{"H|\\^&|||Qelvor|||||||P", "L|1|I"}}));
    EXPECT_EQ(none.Summary(), "query names no specimen: no information sent");

    std::string ids = "Q|1|";
    for (size_t i = 0; i < CQueryResponder::kMaxSpecimens + 2; ++i)
        ids += "^X" + std::to_string(i) + "\\";
    const AstmQueryAnswer many = responder.Answer(CAstmRecord::Split(ids, {}));
    EXPECT_EQ(std::make_tuple(many.messages.size(), many.unknown.back(), many.dropped),
              std::make_tuple(CQueryResponder::kMaxSpecimens, "X99", size_t{2}));
    EXPECT_TRUE(many.Summary().ends_with("; 2 more not answered")) << many.Summary();
}

}  // namespace
}  // namespace qelvor::astm
