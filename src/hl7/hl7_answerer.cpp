#include "hl7/hl7_answerer.h"

#include "config/setting_keys.h"
#include "hl7/hl7_ack.h"

namespace qelvor::hl7 {

namespace {

constexpr const char* kRefusalText = "refused by the receiver's set-up (Hl7AckCode)";

// Whether an enhanced-mode condition (MSH-15 for the commit answer, MSH-16
// for the application's) asks for an answer after this outcome: AL always,
// ER after an error, SU after success; NE, empty or unknown never.
bool Wanted(std::string_view condition, bool success) {
    if (condition == "AL") return true;
    if (condition == "ER") return !success;
    if (condition == "SU") return success;
    return false;
}

std::string Describe(const CHl7Message& message) {
    const std::string type = message.MessageType();
    const std::string id = message.ControlId();
    std::string text = "message " + (type.empty() ? std::string("without type") : type) + " id " +
                       (id.empty() ? std::string("(none)") : id);
    const std::string sender = message.Sender();
    if (!sender.empty()) text += " from " + sender;
    return text;
}

bool IsPositive(const std::string& code) {
    return code == "AA" || code == "CA";
}

}  // namespace

Hl7Answer CHl7Answerer::Answer(const CHl7Message& message) {
    Hl7Answer answer;
    answer.note = Describe(message);
    if (ackCode_ == kHl7AckNone) {
        answer.note += ": not answered (Hl7AckCode=3)";
        return answer;
    }
    if (responder_ != nullptr && ackCode_ == kHl7AckAccept &&
        CHl7QueryResponder::IsQuery(message)) {
        AnswerQuery(message, answer);
        return answer;
    }
    if (!message.AcceptAckType().empty() || !message.AppAckType().empty()) {
        AnswerEnhanced(message, answer);
        return answer;
    }
    const std::string code = ackCode_ == kHl7AckError    ? "AE"
                             : ackCode_ == kHl7AckReject ? "AR"
                                                         : "AA";
    answer.messages.push_back(Ack(message, code));
    answer.note += ": " + code + " sent";
    return answer;
}

void CHl7Answerer::AnswerEnhanced(const CHl7Message& message, Hl7Answer& answer) {
    // A rejection is given at commit level and ends the exchange; an error
    // is the application's, after the message was taken.
    const bool rejected = ackCode_ == kHl7AckReject;
    const bool error = ackCode_ == kHl7AckError;
    std::string sent;
    const auto send = [&](const std::string& code) {
        answer.messages.push_back(Ack(message, code));
        sent += (sent.empty() ? "" : " and ") + code;
    };
    if (Wanted(message.AcceptAckType(), !rejected)) send(rejected ? "CR" : "CA");
    if (!rejected && Wanted(message.AppAckType(), !error)) send(error ? "AE" : "AA");
    answer.note += sent.empty() ? ": nothing sent (MSH-15 " + message.AcceptAckType() +
                                      ", MSH-16 " + message.AppAckType() + ")"
                                : ": " + sent + " sent";
}

void CHl7Answerer::AnswerQuery(const CHl7Message& message, Hl7Answer& answer) {
    // The response is the application's answer and always goes; a commit
    // answer comes first when MSH-15 asks for one.
    std::string sent;
    if (Wanted(message.AcceptAckType(), true)) {
        answer.messages.push_back(Ack(message, "CA"));
        sent = "CA and ";
    }
    const Hl7QueryAnswer query = responder_->Answer(message, ids_.Next(), ids_.Timestamp());
    answer.messages.push_back(query.message);
    answer.note += ": " + sent + "RSP^K11 sent; " + query.Summary();
}

Hl7Answer CHl7Answerer::Reject(std::string_view bytes, const std::string& why) {
    Hl7Answer answer;
    answer.note = "not an HL7 message (" + why + ")";
    if (ackCode_ == kHl7AckNone) {
        answer.note += ": not answered (Hl7AckCode=3)";
        return answer;
    }
    answer.messages.push_back(BuildReject(bytes, {"AR", ids_.Next(), ids_.Timestamp(), why}));
    answer.note += ": AR sent";
    return answer;
}

std::string CHl7Answerer::Ack(const CHl7Message& message, const std::string& code) {
    AckRequest request{code, ids_.Next(), ids_.Timestamp(), ""};
    if (!IsPositive(code)) request.errorText = kRefusalText;
    return BuildAck(message, request);
}

}  // namespace qelvor::hl7
