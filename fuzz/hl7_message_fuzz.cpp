// Any bytes read as an HL7 message: no crash; a message read is written out
// and read again to the same segments, and its ACK reads back with the code,
// the message's control id and the error text; bytes that are no message
// get a reject that reads back as one. Any message read is also answered as
// a query for orders: the answer reads back as an RSP naming the message's
// control id, and answers at most the responder's bound of specimens.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "astm/order_table.h"
#include "hl7/hl7_ack.h"
#include "hl7/hl7_message.h"
#include "hl7/hl7_query_responder.h"

namespace {

using namespace qelvor::hl7;

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckAck(std::string_view ack, const std::string& code, const std::string& controlId,
              const std::string& text) {
    std::string why;
    const auto parsed = CHl7Message::Parse(ack, why);
    Check(parsed.has_value());
    const auto reading = ReadAck(*parsed);
    Check(reading.has_value());
    Check(reading->code == code && reading->controlId == controlId && reading->text == text);
}

void CheckMessage(const CHl7Message& message, std::string_view bytes) {
    std::string why;
    const auto again = CHl7Message::Parse(message.Text(), why);
    Check(again.has_value() && again->Segments().size() == message.Segments().size());
    // The error text takes the first bytes, delimiters and line ends included.
    const std::string text(bytes.substr(0, 24));
    const bool negative = bytes.size() % 2 == 1;
    const AckRequest request{negative ? "AE" : "AA", "F1", "20260101000000", text};
    CheckAck(BuildAck(message, request), request.code, message.ControlId(),
             negative ? text : std::string());
}

// A table whose values hold every default delimiter, so that the answer's
// escaping is exercised whatever the message's own delimiters are.
const qelvor::astm::COrderTable& Orders() {
    static const qelvor::astm::COrderTable table = [] {
        qelvor::astm::COrderTable orders;
        std::string why;
        Check(
            orders.Parse("specimen,tests,patient id,patient name,collected,action\n"
                         "S1,GLU;A|B,P~1,Doe^Jane,2026,C\n"
                         "\"S\\2\",K&NA,P2,\"^^\",,XO\n",
                         why));
        return orders;
    }();
    return table;
}

void CheckQueryAnswer(const CHl7Message& message) {
    const Hl7QueryAnswer answer = CHl7QueryResponder(Orders()).Answer(message, "F3", "20260101");
    Check(answer.known.size() + answer.unknown.size() <= CHl7QueryResponder::kMaxSpecimens);
    Check(answer.known.size() + answer.unknown.size() + answer.dropped ==
          CHl7QueryResponder::SpecimensOf(message).size());
    std::string why;
    const auto rsp = CHl7Message::Parse(answer.message, why);
    Check(rsp.has_value() && rsp->Value("MSH", 9, 1) == "RSP" && rsp->ControlId() == "F3");
    const auto reading = ReadAck(*rsp);
    Check(reading.has_value() && reading->code == "AA" &&
          reading->controlId == message.ControlId());
    Check(rsp->Value("QAK", 2) == (answer.known.empty() ? "NF" : "OK"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string why;
    const auto message = CHl7Message::Parse(bytes, why);
    if (message) {
        CheckMessage(*message, bytes);
        CheckQueryAnswer(*message);
        return 0;
    }
    Check(!why.empty());
    const std::string reject = BuildReject(bytes, {"AR", "F2", "20260101000000", why});
    std::string parseWhy;
    const auto parsed = CHl7Message::Parse(reject, parseWhy);
    Check(parsed.has_value() && ReadAck(*parsed).has_value() && ReadAck(*parsed)->code == "AR");
    return 0;
}
