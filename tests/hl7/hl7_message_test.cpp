#include "hl7/hl7_message.h"

#include <string>

#include <gtest/gtest.h>

namespace qelvor::hl7 {
namespace {

using namespace std::string_view_literals;

const std::string kOru =
    "MSH|^~\\&|LAB|ANALYZER|LIS|HOSP|20260101120000||ORU^R01^ORU_R01|123|P|2.5.1\r"
    "PID|1||12345^^^HOSP^MR~99^^^NAT||Doe^Jane\\S\\Ann||19800101|F\r"
    "OBX|1|NM|2093-3^Cholesterol^LN||5.2|mmol/L&millimole per litre&UCUM|<5\\T\\6|H\r"
    "NTE|1||Fasting \\E\\ 12 h\\.br\\repeat \\X4142\\\r";

TEST(Hl7Message, LabResultIsCutIntoSegmentsFieldsRepetitionsComponentsAndDecoded) {
    std::string why;
    auto message = CHl7Message::Parse(kOru, why);
    ASSERT_TRUE(message) << why;
    ASSERT_EQ(message->Segments().size(), 4u);
    EXPECT_EQ(message->Find("MSH")->Field(1), "|");
    EXPECT_EQ(message->Value("MSH", 2), "^~\\&");
    EXPECT_EQ(message->MessageType(), "ORU^R01");
    EXPECT_EQ(message->ControlId(), "123");
    EXPECT_EQ(message->Sender(), "LAB/ANALYZER");
    EXPECT_EQ(message->Value("PID", 3, 5), "MR");  // the first repetition only
    EXPECT_EQ(message->Value("PID", 5, 2), "Jane^Ann");
    EXPECT_EQ(message->Value("OBX", 6, 0, 2), "millimole per litre");
    EXPECT_EQ(message->Value("OBX", 7), "<5&6");
    EXPECT_EQ(message->Value("NTE", 3), "Fasting \\ 12 h\nrepeat AB");
    EXPECT_EQ(message->Ends(), SegmentEnds::kCr);
    EXPECT_EQ(message->Text(), kOru);
    message->SetHeaderField(3, "X^Y");
    message->SetHeaderField(2, "#!@%");  // the encoding is not a field to set
    message->SetHeaderField(15, "AL");
    EXPECT_EQ(message->Text().substr(0, message->Text().find('\r')),
              "MSH|^~\\&|X^Y|ANALYZER|LIS|HOSP|20260101120000||ORU^R01^ORU_R01|123|P|2.5.1|||AL");
    EXPECT_EQ(message->AcceptAckType(), "AL");
}

TEST(Hl7Message, SegmentEndsAreTakenAndNamedAndCustomDelimitersSplit) {
    const std::pair<std::string, SegmentEnds> cases[] = {
        {"MSH*#!@%*A#B*C\nPID*1\n", SegmentEnds::kLf},
        {"\r\nMSH*#!@%*A#B*C\r\n\r\nPID*1", SegmentEnds::kCrLf},
        {"MSH*#!@%*A#B*C\rPID*1\n", SegmentEnds::kMixed},
        {"MSH*#!@%*A#B*C\r\rPID*1\r", SegmentEnds::kCr}};
    for (const auto& [text, ends] : cases) {
        std::string why;
        const auto message = CHl7Message::Parse(text, why);
        ASSERT_TRUE(message) << why;
        EXPECT_EQ(message->Ends(), ends) << text;
        EXPECT_EQ(message->Value("MSH", 3, 2), "B");
        EXPECT_EQ(message->Text(), "MSH*#!@%*A#B*C\rPID*1\r");
    }
}

TEST(Hl7Message, TextThatIsNoMessageIsRefusedWithWhy) {
    for (const std::string_view bad : {""sv, "\r\n\r"sv, "PID|1\rMSH|^~\\&|"sv, "MSH|^^\\&|A"sv,
                                       "MSH|^~\\&|A\rPIDX|1"sv, "MSH|^~\\&|A\rP\0D|1"sv}) {
        std::string why;
        EXPECT_FALSE(CHl7Message::Parse(bad, why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
    // A flood of bare separators is refused before it costs a string a field.
    std::string why;
    const std::string separators = "MSH|^~\\&|" + std::string(1u << 18, '|');
    EXPECT_FALSE(CHl7Message::Parse(separators, why));
    EXPECT_EQ(why, "more than 262144 fields");
    EXPECT_TRUE(CHl7Message::Parse(separators.substr(0, 200000), why)) << why;
}

}  // namespace
}  // namespace qelvor::hl7
