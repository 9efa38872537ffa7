#include "hl7/hl7_ack.h"

#include <string>

#include <gtest/gtest.h>

namespace qelvor::hl7 {
namespace {

using namespace std::string_literals;

CHl7Message Parsed(std::string_view text) {
    std::string why;
    auto message = CHl7Message::Parse(text, why);
    EXPECT_TRUE(message) << why << ": " << text;
    return message.value_or(CHl7Message{});
}

TEST(Hl7Ack, AnAckSwapsTheEndsEchoesTheIdAndKeepsTheMessagesDelimiters) {
    const CHl7Message oru =
        Parsed("MSH|^~\\&|LAB|ANALYZER|LIS|HOSP|20260101120000||ORU^R01|123|P|2.5.1\rPID|1\r");
    EXPECT_EQ(BuildAck(oru, {"AA", "QLV1", "20261208010203", "ignored with AA"}),
              "MSH|^~\\&|LIS|HOSP|LAB|ANALYZER|20261208010203||ACK^R01^ACK|QLV1|P|2.5.1\r"
              "MSA|AA|123\r");
    const CHl7Message custom = Parsed("MSH*#!@%*LAB#1*DEV*LIS*HOSP****I@R@D*T\rPID*1\r");
    EXPECT_EQ(BuildAck(custom, {"AE", "9", "20260101", "bad*value\rhere"}),
              "MSH*#!@%*LIS*HOSP*LAB#1*DEV*20260101**ACK*9*T*2.5.1\rMSA*AE*I@R@D\r"
              "ERR***207#Application internal error#HL70357*E****bad@F@value@X0D@here\r");
}

TEST(Hl7Ack, AnAckReadBackGivesTheCodeTheIdAndTheText) {
    const CHl7Message message = Parsed("MSH|^~\\&|A|B|C|D|1||OML^O21|id\\F\\7|D|2.3\r");
    for (const char* code : {"AA", "AR", "CE"}) {
        const CHl7Message ack = Parsed(BuildAck(message, {code, "X", "2", "why | so"}));
        const auto reading = ReadAck(ack);
        ASSERT_TRUE(reading) << code;
        EXPECT_EQ(reading->code, code);
        EXPECT_EQ(reading->controlId, "id|7");
        EXPECT_EQ(reading->text, code[1] == 'A' ? "" : "why | so");
    }
    EXPECT_EQ(ReadAck(message), std::nullopt);
    EXPECT_EQ(ReadAck(Parsed("MSH|^~\\&\rMSA|AE|5|old style\rERR||||||||new"))->text, "old style");
}

TEST(Hl7Ack, BytesThatAreNoMessageAreRejectedWithTheIdTheyCarry) {
    const AckRequest request{"AR", "R1", "2026", "cannot read"};
    EXPECT_EQ(BuildReject("\r\nMSH|^^^^|A|B|C|D|E|F|G|a^b|P\r", request),
              "MSH|^~\\&|||||2026||ACK|R1|P|2.5.1\rMSA|AR|a\\S\\b\r"
              "ERR|||102^Data type error^HL70357|E||||cannot read\r");
    const CHl7Message ack = Parsed(BuildReject("\x0b\xff garbage\0|"s, request));
    EXPECT_EQ(ack.Value("MSA", 2), "");
    EXPECT_EQ(ack.Value("ERR", 3, 1), "100");
}

}  // namespace
}  // namespace qelvor::hl7
