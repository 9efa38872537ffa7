// What a receiver answers one message with: the acknowledgements of the
// original mode (AA, AE, AR) or of the enhanced mode (a commit CA, CE or CR
// and then the application's answer, each when MSH-15 and MSH-16 ask for
// it), and the sentence that says so. The user's choice of answer
// (Hl7AckCode) lets a test make the other side see an error, a rejection
// or silence. With a query responder, a query for orders is answered with
// its RSP, whose MSA is the acknowledgement. One thread at a time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "hl7/control_id_maker.h"
#include "hl7/hl7_message.h"
#include "hl7/hl7_query_responder.h"

namespace qelvor::hl7 {

struct Hl7Answer {
    std::vector<std::string> messages;  // the acknowledgements to send, in order
    std::string note;                   // "message ORU^R01 id 123 from LAB/ANALYZER: AA sent"
};

class CHl7Answerer {
  public:
    // ackCode: kHl7AckAccept, kHl7AckError, kHl7AckReject or kHl7AckNone.
    CHl7Answerer(int ackCode, CControlIdMaker& ids) : ackCode_(ackCode), ids_(ids) {}

    // The responder that answers queries (QBP) while Hl7AckCode accepts;
    // null: a query is acknowledged as any message. Not owned.
    void SetQueryResponder(const CHl7QueryResponder* responder) { responder_ = responder; }

    Hl7Answer Answer(const CHl7Message& message);
    // The answer to bytes that are no HL7 message: an AR naming why.
    Hl7Answer Reject(std::string_view bytes, const std::string& why);

  private:
    std::string Ack(const CHl7Message& message, const std::string& code);
    void AnswerEnhanced(const CHl7Message& message, Hl7Answer& answer);
    void AnswerQuery(const CHl7Message& message, Hl7Answer& answer);

    int ackCode_;
    CControlIdMaker& ids_;
    const CHl7QueryResponder* responder_ = nullptr;
};

}  // namespace qelvor::hl7
