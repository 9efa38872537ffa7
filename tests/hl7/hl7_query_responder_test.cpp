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
    EXPECT_EQ(answer.known, (std::vector<std::string>{"S3", "S&1"}));
    EXPECT_EQ(answer.unknown, std::vector<std::string>{"S2"});
    EXPECT_EQ(answer.Summary(),
              "query for 3 specimens: orders for S3, S&1 sent, no information for S2");
    // Read back by the message reader, the fields sit where they belong.
    const CHl7Message rsp = Parsed(answer.message);
    EXPECT_EQ(rsp.MessageType(), "RSP^K11");
    EXPECT_EQ(rsp.Value("SPM", 2), "S3");
    EXPECT_EQ(rsp.Segments()[9].Field(17), "20261208101500");
}

TEST(Hl7QueryResponder, QueryNamingNoKnownSpecimenIsAnsweredNotFoundWithinBounds) {
    const astm::COrderTable table = Table("specimen,tests\nS1,GLU\n");
    const CHl7QueryResponder responder(table);
    std::string many;
    for (int i = 0; i < 102; ++i)
        many += (i == 0 ? "" : "@") + std::string("U") + std::to_string(i);
    const struct {
        std::string query, qak, summary;
    } cases[] = {
        // Its own delimiters are kept: '*' fields, '#' components, '@' repeats.
        {"MSH*#@!%*A*B*C*D***QBP#Q11*9\rQPD*WOS*T9*#S1\r", "QAK*T9*NF*WOS",
         "query names no specimen: no information sent"},
        {"MSH*#@!%*A*B*C*D***QBP#Q11*9\r", "QAK**NF*",
         "query names no specimen: no information sent"},
        {"MSH*#@!%*A*B*C*D***QBP#Q11*9\rQPD*Q*T*" + many + "@S1\r", "QAK*T*NF*Q",
         "query for 103 specimens: no information for U0, U1, U2, U3, U4, U5, U6, U7, U8, U9, U10, "
         "U11, U12, U13, U14, U15, U16, U17, U18, U19, U20, U21, U22, U23, U24, U25, U26, U27, "
         "U28, "
         "U29, U30, U31, U32, U33, U34, U35, U36, U37, U38, U39, U40, U41, U42, U43, U44, U45, "
         "U46, "
         "U47, U48, U49, U50, U51, U52, U53, U54, U55, U56, U57, U58, U59, U60, U61, U62, U63, "
         "U64, "
         "U65, U66, U67, U68, U69, U70, U71, U72, U73, U74, U75, U76, U77, U78, U79, U80, U81, "
         "U82, "
         "U83, U84, U85, U86, U87, U88, U89, U90, U91, U92, U93, U94, U95, U96, U97, U98, U99; 3 "
         "more not answered"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        const CHl7Message query = Parsed(c.query);
        EXPECT_TRUE(CHl7QueryResponder::IsQuery(query));
        const Hl7QueryAnswer answer = responder.Answer(query, "R1", "20260101");
        const std::vector<std::string> segments = SegmentsOf(answer.message);
        ASSERT_GE(segments.size(), 3u);
        EXPECT_EQ(segments[0], "MSH*#@!%*C*D*A*B*20260101**RSP#K11#RSP_K11*R1*P*2.5.1");
        EXPECT_EQ(segments[1], "MSA*AA*9");
        EXPECT_EQ(segments[2], c.qak);
        EXPECT_EQ(answer.message.find("PID"), std::string::npos);
        EXPECT_TRUE(answer.known.empty());
        EXPECT_EQ(answer.Summary(), c.summary);
    }
    EXPECT_FALSE(
        CHl7QueryResponder::IsQuery(Parsed("MSH|^~\\&|A|B|C|D|||ORU^R01|1\rQPD|Q|T|S1\r")));
}

}  // namespace
}  // namespace qelvor::hl7
