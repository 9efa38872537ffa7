#include "hl7/hl7_link.h"

#include <algorithm>
#include <utility>

#include "config/com_setting.h"
#include "hl7/hl7_ack.h"

namespace qelvor::hl7 {

namespace {

constexpr int kMaxTimeMs = 3600 * 1000;
constexpr int kMaxRetries = 100;
constexpr int kSmallestLimit = 1024;
constexpr int kLargestLimit = 64 << 20;
// Ids of messages already answered that a late second answer (the
// application's AA after its commit CA) may still name.
constexpr size_t kAnsweredIdsKept = 16;

bool IsBlank(std::string_view line) {
    return std::all_of(line.begin(), line.end(), [](char ch) { return ch == ' ' || ch == '\t'; });
}

// A line of a file saved from a capture may still carry the framing: the
// start block before its first segment, the end block after its last.
std::string_view WithoutMllpBytes(std::string_view line) {
    if (!line.empty() && line.front() == kStartBlock) line.remove_prefix(1);
    if (!line.empty() && line.back() == kEndBlock) line.remove_suffix(1);
    return line;
}

const char* EndsWarning(SegmentEnds ends) {
    switch (ends) {
        case SegmentEnds::kLf:
            return " (segments ended by LF, not CR)";
        case SegmentEnds::kCrLf:
            return " (segments ended by CR LF, not CR)";
        case SegmentEnds::kMixed:
            return " (segments ended by a mix of CR, LF and CR LF)";
        case SegmentEnds::kCr:
            break;
    }
    return "";
}

}  // namespace

Hl7LinkSettings Hl7LinkSettings::From(const CComSetting& settings) {
    Hl7LinkSettings link;
    link.ackCode = std::clamp(settings.Hl7AckCode, kHl7AckAccept, kHl7AckNone);
    link.ackTimeout = Millis(std::clamp(settings.Hl7AckTimeoutMs, 1, kMaxTimeMs));
    link.retries = std::clamp(settings.Hl7Retries, 0, kMaxRetries);
    link.maxMessage =
        static_cast<size_t>(std::clamp(settings.Hl7MaxMessage, kSmallestLimit, kLargestLimit));
    link.timeIds = settings.Hl7ControlIds == kHl7ControlIdsTime;
    link.fillTime = settings.Hl7FillTime != 0;
    return link;
}

CHl7Link::CHl7Link(const Hl7LinkSettings& settings, IHl7LinkSink& sink,
                   CControlIdMaker::WallClock clock)
    : settings_(settings),
      sink_(sink),
      ids_(settings.timeIds, std::move(clock)),
      answerer_(settings.ackCode, ids_),
      framer_(settings.maxMessage) {}

void CHl7Link::AnswerQueriesFrom(const astm::COrderTable* table) {
    answerer_.SetQueryResponder(nullptr);
    responder_.reset();
    if (table == nullptr) return;
    responder_.emplace(*table);
    answerer_.SetQueryResponder(&*responder_);
}

std::vector<std::string> CHl7Link::MessagesOfLines(const std::vector<std::string>& lines) {
    std::vector<std::string> messages;
    bool open = false;
    for (const std::string& line : lines) {
        const std::string_view segment = WithoutMllpBytes(line);
        if (IsBlank(segment)) {
            open = false;
            continue;
        }
        // A file of messages often runs one into the next: each MSH starts one.
        if (!open || segment.substr(0, 3) == "MSH") messages.emplace_back();
        open = true;
        messages.back().append(segment).push_back('\r');
    }
    return messages;
}

std::string CHl7Link::Frame(std::string_view message) {
    std::string frame;
    frame.reserve(message.size() + 3);
    frame += kStartBlock;
    frame += message;
    frame += kEndBlock;
    frame += kEndData;
    return frame;
}

// --- receiving ---

void CHl7Link::OnBytes(std::string_view bytes, Millis now) {
    // A deadline that passed before these bytes came is acted on first.
    OnTick(now);
    std::vector<CMllpFramer::Event> events;
    framer_.Feed(bytes, events);
    framer_.Flush(events);
    for (const CMllpFramer::Event& event : events)
        OnEvent(event, now);
}

void CHl7Link::OnEvent(const CMllpFramer::Event& event, Millis now) {
    using Kind = CMllpFramer::Event::Kind;
    switch (event.kind) {
        case Kind::kMessage:
            sink_.Received(Frame(event.bytes));
            return OnMessage(event.bytes, now);
        case Kind::kOutside:
            sink_.Received(event.bytes);
            return Note(std::to_string(event.bytes.size()) +
                        " bytes outside an MLLP frame: not answered");
        case Kind::kTooLarge:
            return Note("a message of " + std::to_string(event.size) +
                        " bytes refused: larger than Hl7MaxMessage=" +
                        std::to_string(settings_.maxMessage) + "; taken up again at the next <VT>");
    }
}

void CHl7Link::OnMessage(const std::string& bytes, Millis now) {
    std::string why;
    const std::optional<CHl7Message> message = CHl7Message::Parse(bytes, why);
    Hl7Answer answer;
    if (!message) {
        answer = answerer_.Reject(bytes, why);
    } else if (message->Find("MSA") != nullptr) {
        // A response names the message it answers and is itself not answered.
        return OnAck(*message, now);
    } else {
        answer = answerer_.Answer(*message);
        answer.note += EndsWarning(message->Ends());
    }
    // The store then reads as the line did: the message, our answer, and
    // what was decided.
    for (const std::string& ack : answer.messages)
        sink_.SendBytes(Frame(ack));
    Note(answer.note);
}

void CHl7Link::OnAck(const CHl7Message& ack, Millis now) {
    const AckReading reading = ReadAck(ack).value_or(AckReading{});
    std::string heard = "ACK for id " + reading.controlId + ": " + reading.code;
    if (!reading.text.empty()) heard += " (" + reading.text + ")";
    heard += EndsWarning(ack.Ends());
    if (!sentId_.empty() && reading.controlId == sentId_) {
        if (reading.code != "AA" && reading.code != "CA") return Resend(heard, now);
        Note(heard);
        return Finish(true, now);
    }
    if (std::find(answeredIds_.begin(), answeredIds_.end(), reading.controlId) !=
        answeredIds_.end())
        return Note(heard + ", a further answer to a message already acknowledged");
    if (sentId_.empty()) return Note(heard + ", while no message of ours waits for one");
    Resend(heard + ", which does not answer id " + sentId_, now);
}

// --- sending ---

bool CHl7Link::Send(const std::vector<std::string>& messages, Millis now) {
    if (Sending()) {
        Note("messages are still under way: the new ones are not sent");
        return false;
    }
    for (const std::string& message : messages) {
        if (!message.empty()) queue_.push_back(message);
    }
    if (queue_.empty()) {
        Note("nothing to send: no message has text");
        return false;
    }
    allAccepted_ = true;
    SendCurrent(now);
    return true;
}

void CHl7Link::SendCurrent(Millis now) {
    while (!queue_.empty()) {
        std::string why;
        if (Prepare(queue_.front(), why)) {
            resends_ = 0;
            sink_.SendBytes(Frame(queue_.front()));
            deadline_ = now + settings_.ackTimeout;
            return;
        }
        Note("a message that is not HL7 is not sent (" + why + ")");
        allAccepted_ = false;
        queue_.pop_front();
    }
    deadline_.reset();
    sink_.MessagesDone(allAccepted_);
}

bool CHl7Link::Prepare(std::string& text, std::string& why) {
    std::optional<CHl7Message> message = CHl7Message::Parse(text, why);
    if (!message) return false;
    if (message->ControlId().empty()) message->SetHeaderField(10, ids_.Next());
    if (settings_.fillTime && message->Value("MSH", 7).empty())
        message->SetHeaderField(7, ids_.Timestamp());
    sentId_ = message->ControlId();
    text = message->Text();
    return true;
}

void CHl7Link::OnTick(Millis now) {
    if (deadline_ && now >= *deadline_)
        Resend("no ACK for id " + sentId_ + " within " +
                   std::to_string(settings_.ackTimeout.count()) + " ms",
               now);
}

void CHl7Link::Resend(const std::string& why, Millis now) {
    if (resends_ >= settings_.retries) {
        Note(why + ", given up after " + std::to_string(settings_.retries) + " resends");
        return Finish(false, now);
    }
    ++resends_;
    Note(why + ", resent " + std::to_string(resends_) + " of " + std::to_string(settings_.retries));
    sink_.SendBytes(Frame(queue_.front()));
    deadline_ = now + settings_.ackTimeout;
}

void CHl7Link::Finish(bool accepted, Millis now) {
    allAccepted_ = allAccepted_ && accepted;
    answeredIds_.push_back(std::exchange(sentId_, std::string()));
    if (answeredIds_.size() > kAnsweredIdsKept) answeredIds_.pop_front();
    queue_.pop_front();
    SendCurrent(now);
}

void CHl7Link::Abort() {
    if (!Sending()) return;
    const size_t left = queue_.size();
    Note("the link ended: " + std::to_string(left) + (left == 1 ? " message" : " messages") +
         " not acknowledged");
    queue_.clear();
    sentId_.clear();
    deadline_.reset();
    sink_.MessagesDone(false);
}

}  // namespace qelvor::hl7
