#include "hl7/hl7_query_responder.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qelvor::hl7 {
namespace {

CHl7Message Parsed(std::string_view text) {
    std::string why;
    auto message = CHl7Message::Parse(text, why);
    EXPECT_TRUE(message) << why << ": " << text;
    return message.value_or(CHl7Message{});
}

astm::COrderTable Table(std::string_view csv) {
    astm::COrderTable table;
    std::string why;
    EXPECT_TRUE(table.Parse(csv, why)) << why;
    return table;
}

std::vector<std::string> SegmentsOf(const std::string& text) {
    std::vector<std::string> segments;
    for (const std::string_view segment : SplitAt(text, '\r'))
        segments.emplace_back(segment);
    return segments;
}

TEST(Hl7QueryResponder, AnswersKnownSpecimensInQueryOrderAndNamesTheUnknownOnes) {
    const astm::COrderTable table = Table(
        "specimen id,test codes,priority,patient id,patient name,collected,action\n"
        "S&1,GLU;K|NA,S,P&1,Doe^Jane,20261208101500,\n"
        "S3,CL,,P3,,,C\n");
    const CHl7Message query = Parsed(
        "MSH|^~\\&|ANALYZER|LAB|LIS|HOSP|20261208||QBP^Q11^QBP_Q11|Q7|T|2.5.1\r"
        "QPD|WOS^Work Order Step^IHE_LABTF|TAG1|S3~S2^X~~S\\T\\1\r"
        "RCP|I||R\r");
    ASSERT_TRUE(CHl7QueryResponder::IsQuery(query));
    const Hl7QueryAnswer answer = CHl7QueryResponder(table).Answer(query, "A1", "20261208120000");
    const std::string spmGap(15, '|');
    const std::vector<std::string> expected = {
        "MSH|^~\\&|LIS|HOSP|ANALYZER|LAB|20261208120000||RSP^K11^RSP_K11|A1|T|2.5.1",
        "MSA|AA|Q7",
        "QAK|TAG1|OK|WOS^Work Order Step^IHE_LABTF",
        "QPD|WOS^Work Order Step^IHE_LABTF|TAG1|S3~S2^X~~S\\T\\1",
        "PID|1||P3||",
        "SPM|1|S3" + spmGap,
        "ORC|CA|S3",
        "OBR|1|S3||CL^CL^L|R",
        "PID|2||P\\T\\1||Doe^Jane",
        "SPM|2|S\\T\\1" + spmGap + "20261208101500",
        "ORC|NW|S\\T\\1",
        "OBR|1|S\\T\\1||GLU^GLU^L|S",
        "ORC|NW|S\\T\\1",
        "OBR|2|S\\T\\1||K\\F\\NA^K\\F\\NA^L|S",
        "",
    };
    EXPECT_EQ(SegmentsOf(answer.message), expected);
    EXPECT_EQ(answer.Summary(),
              "query for 3 specimens: orders for S3, S&1 sent, no information for S2");
    // Read back by the message reader, the collection time sits in SPM-17.
    EXPECT_EQ(Parsed(answer.message).Segments()[9].Field(17), "20261208101500");
}

// The query's own delimiters are kept ('_' fields, '#' components, '@' repeats, '!'
// escapes), a repeat without an id is passed over, and ids past the bound are counted.
TEST(Hl7QueryResponder, QueryNamingNoKnownSpecimenIsAnsweredNotFoundWithinBounds) {
    const astm::COrderTable table = Table("specimen,tests\nS1,GLU\n");
    std::string many;
    for (int i = 0; i < 102; ++i)
        many += "U" + std::to_string(i) + "@";
    const struct {
        std::string qpd, qak, summary;
    } cases[] = {
        {"QPD_WOS_T9_#S1", "QAK_T9_NF_WOS", "query names no specimen: no information sent"},
        {"QPD_Q_T_" + many + "S1", "QAK_T_NF_Q", "U99; 3 more not answered"},
    };
    for (const auto& c : cases) {
        const CHl7Message query = Parsed("MSH_#@!%_A_B_C_D___QBP#Q11_9\r" + c.qpd + "\r");
        ASSERT_TRUE(CHl7QueryResponder::IsQuery(query));
        const Hl7QueryAnswer answer = CHl7QueryResponder(table).Answer(query, "R1", "20260101");
        EXPECT_EQ(
            SegmentsOf(answer.message),
            (std::vector<std::string>{"MSH_#@!%_C_D_A_B_20260101__RSP#K11#RSP!F!K11_R1_P_2.5.1",
                                      "MSA_AA_9", c.qak, c.qpd, ""}));
        EXPECT_TRUE(answer.known.empty());
        EXPECT_TRUE(answer.Summary().ends_with(c.summary)) << answer.Summary();
    }
    EXPECT_FALSE(
        CHl7QueryResponder::IsQuery(Parsed("MSH|^~\\&|A|B|C|D|||ORU^R01|1\rQPD|Q|T|S1\r")));
}

}  // namespace
}  // namespace qelvor::hl7
