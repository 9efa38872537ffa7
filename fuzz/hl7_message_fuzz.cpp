// Any bytes read as an HL7 message: no crash; a message read is written out
// and read again to the same segments, and its ACK reads back with the code,
// the message's control id and the error text; bytes that are no message
// get a reject that reads back as one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "hl7/hl7_ack.h"
#include "hl7/hl7_message.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string why;
    const auto message = CHl7Message::Parse(bytes, why);
    if (message) {
        CheckMessage(*message, bytes);
        return 0;
    }
    Check(!why.empty());
    const std::string reject = BuildReject(bytes, {"AR", "F2", "20260101000000", why});
    std::string parseWhy;
    const auto parsed = CHl7Message::Parse(reject, parseWhy);
    Check(parsed.has_value() && ReadAck(*parsed).has_value() && ReadAck(*parsed)->code == "AR");
    return 0;
}
