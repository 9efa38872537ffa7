// The acknowledgements of HL7 v2: building the ACK a receiver answers a
// message with, and reading the one a sender gets back. Pure functions: any
// thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "hl7/hl7_message.h"

namespace qelvor::hl7 {

struct AckRequest {
    std::string code;       // MSA-1: AA, AE, AR (original mode) or CA, CE, CR (commit)
    std::string controlId;  // MSH-10 of the ACK itself
    std::string time;       // MSH-7, as YYYYMMDDHHMMSS
    // With AE, AR, CE or CR: an ERR segment carries it (ERR-3 the error
    // code, ERR-4 "E", ERR-8 this text). Empty: no ERR segment.
    std::string errorText;
};

// The ACK of a message: the message's encoding characters; MSH-3/4 and
// MSH-5/6 swapped from the message's; MSH-7 and MSH-10 from the request;
// MSH-9 "ACK^<the message's trigger>^ACK"; MSH-11 and MSH-12 the message's
// (version 2.5.1 and "P" when it gave none); MSA-1 the code and MSA-2 the
// message's MSH-10. Segments ended by CR, no MLLP bytes.
std::string BuildAck(const CHl7Message& message, const AckRequest& request);

// The AR for bytes that could not be read as a message: default encoding,
// version 2.5.1, processing id "P", MSA-2 the control id read from the
// bytes when they start with an MSH segment that has one, and an ERR
// segment with the request's errorText.
std::string BuildReject(std::string_view bytes, const AckRequest& request);

struct AckReading {
    std::string code;       // MSA-1
    std::string controlId;  // MSA-2: the control id of the message acknowledged
    std::string text;       // MSA-3, or ERR-8 when MSA-3 is empty
};

// The MSA of a message; empty when it has no MSA segment.
std::optional<AckReading> ReadAck(const CHl7Message& message);

}  // namespace qelvor::hl7
