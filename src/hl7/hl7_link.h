// The HL7 v2 link of one port over MLLP: cuts the received stream into
// messages, answers each with its acknowledgement, and sends messages one at
// a time, each waiting for the ACK that names its control id, resending a
// missing or refused one. Like the ASTM link it has no clock and no port of
// its own: every call carries the current time, bytes leave through the
// sink. Not thread safe: call it from the one thread that owns the port.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hl7/control_id_maker.h"
#include "hl7/hl7_answerer.h"
#include "hl7/hl7_query_responder.h"
#include "hl7/mllp_framer.h"

namespace qelvor {
class CComSetting;
}

namespace qelvor::hl7 {

using Millis = std::chrono::milliseconds;

struct Hl7LinkSettings {
    int ackCode = 0;  // what a received message is answered with (kHl7Ack...)
    Millis ackTimeout{10000};
    int retries = 3;  // resends of a message before it is given up
    size_t maxMessage = CMllpFramer::kDefaultMaxMessage;
    bool timeIds = false;  // control ids from the time, else a running number
    bool fillTime = true;  // an empty MSH-7 of a sent message gets the time

    // The settings' values; a time, count or size out of reason is taken as
    // the nearest sensible one.
    static Hl7LinkSettings From(const CComSetting& settings);
};

// Where the link's output goes; called from within the link's calls.
class IHl7LinkSink {
  public:
    virtual ~IHl7LinkSink() = default;
    // One MLLP frame to write, <VT> through <FS><CR>.
    virtual void SendBytes(const std::string& bytes) = 0;
    // A piece of the received stream, in order: a whole frame with its MLLP
    // bytes, or a run of bytes outside any frame.
    virtual void Received(const std::string& bytes) = 0;
    // What the link did and why, as a sentence.
    virtual void Note(const std::string& text) = 0;
    // The messages given to Send have ended: each acknowledged with AA or
    // CA, or not.
    virtual void MessagesDone(bool allAccepted) = 0;
};

class CHl7Link {
  public:
    CHl7Link(const Hl7LinkSettings& settings, IHl7LinkSink& sink,
             CControlIdMaker::WallClock clock = &std::chrono::system_clock::now);

    // Answers the queries for orders (QBP) received from now on from table,
    // which must outlive the link or the next call; null: acknowledges them
    // as any message.
    void AnswerQueriesFrom(const astm::COrderTable* table);

    // Queues messages (each its segments, ended by CR, LF or CR LF) to be
    // sent one after another. False, with a note, while earlier ones are
    // under way or when no message has text.
    bool Send(const std::vector<std::string>& messages, Millis now);
    // The bytes the peer sent, in any pieces.
    void OnBytes(std::string_view bytes, Millis now);
    // Acts on a passed deadline (an ACK that did not come).
    void OnTick(Millis now);
    // Ends the messages under way unsent.
    void Abort();
    bool Sending() const { return !queue_.empty(); }
    std::optional<Millis> Deadline() const { return deadline_; }

    // The messages of a data list: lines of segments, a new message after a
    // blank line and at each MSH segment; the MLLP bytes of a line saved
    // from a capture are left out.
    static std::vector<std::string> MessagesOfLines(const std::vector<std::string>& lines);
    // A message wrapped in the MLLP bytes.
    static std::string Frame(std::string_view message);

  private:
    void OnEvent(const CMllpFramer::Event& event, Millis now);
    void OnMessage(const std::string& bytes, Millis now);
    void OnAck(const CHl7Message& ack, Millis now);
    void SendCurrent(Millis now);
    void Resend(const std::string& why, Millis now);
    void Finish(bool accepted, Millis now);
    bool Prepare(std::string& text, std::string& why);
    void Note(const std::string& text) { sink_.Note(text); }

    Hl7LinkSettings settings_;
    IHl7LinkSink& sink_;
    CControlIdMaker ids_;
    std::optional<CHl7QueryResponder> responder_;
    CHl7Answerer answerer_;
    CMllpFramer framer_;

    // The messages being sent: the first is on the line or next.
    std::deque<std::string> queue_;
    std::string sentId_;  // the control id of the first, once sent
    std::deque<std::string> answeredIds_;
    int resends_ = 0;
    bool allAccepted_ = true;
    std::optional<Millis> deadline_;
};

}  // namespace qelvor::hl7
