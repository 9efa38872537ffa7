#include "astm/astm_link.h"

#include <algorithm>
#include <utility>

#include "config/com_setting.h"
#include "data/ctrl_char_notation.h"

namespace qelvor::astm {

namespace {

constexpr int kMaxTimeMs = 3600 * 1000;

Millis ClampedTime(int ms) {
    return Millis(std::clamp(ms, 1, kMaxTimeMs));
}

// "15 s" for whole seconds, else "250 ms": the form the notes use.
std::string Duration(Millis time) {
    const auto ms = time.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

const char* ControlName(char control) {
    switch (control) {
        case kAck:
            return "ACK";
        case kNak:
            return "NAK";
        case kEnq:
            return "ENQ";
        default:
            return "EOT";
    }
}

}  // namespace

AstmLinkSettings AstmLinkSettings::From(const CComSetting& settings) {
    AstmLinkSettings link;
    link.host = settings.AstmRole == kAstmRoleHost;
    link.replyTimeout = ClampedTime(settings.AstmReplyTimeoutMs);
    link.idleTimeout = ClampedTime(settings.AstmIdleTimeoutMs);
    link.enqRetry = ClampedTime(settings.AstmEnqRetryMs);
    return link;
}

CAstmLink::CAstmLink(const AstmLinkSettings& settings, IAstmLinkSink& sink,
                     const AstmFaultPlan& faults)
    : settings_(settings), sink_(sink), faults_(faults) {}

std::optional<Millis> CAstmLink::Deadline() const {
    if (delayedAnswers_.empty()) return deadline_;
    const Millis due = delayedAnswers_.front().first;
    return deadline_ ? std::min(*deadline_, due) : due;
}

std::vector<std::string> CAstmLink::RecordsOfText(std::string_view dataList) {
    std::vector<std::string> records;
    size_t start = 0;
    while (start < dataList.size()) {
        const size_t end = std::min(dataList.find_first_of("\r\n", start), dataList.size());
        records.emplace_back(dataList.substr(start, end - start));
        start = end + 1;
        if (end + 1 < dataList.size() && dataList[end] == '\r' && dataList[end + 1] == '\n')
            ++start;
    }
    return records;
}

bool CAstmLink::Send(const std::vector<std::string>& records, Millis now) {
    if (messagePending_) {
        Note("a message is still under way: the new one is not sent");
        return false;
    }
    std::vector<CAstmFrame> frames;
    int number = 1;
    for (const std::string& record : records) {
        if (record.empty()) continue;
        for (CAstmFrame& frame : CAstmFrame::Cut(record + '\r', number)) {
            number = CAstmFrame::NextNumber(frame.number);
            frames.push_back(std::move(frame));
        }
    }
    if (frames.empty()) {
        Note("nothing to send: every record is empty");
        return false;
    }
    frames_ = std::move(frames);
    messagePending_ = true;
    if (state_ == State::kIdle) StartEnquiry(now);
    return true;
}

void CAstmLink::OnBytes(std::string_view bytes, Millis now) {
    // A deadline that passed before these bytes came is acted on first.
    OnTick(now);
    std::vector<AstmEvent> events;
    parser_.Feed(bytes, events);
    const int drops = drops_;
    for (const AstmEvent& event : events) {
        OnEvent(event, now);
        // What came after the line was dropped never arrived.
        if (drops_ != drops) return;
    }
}

void CAstmLink::OnEvent(const AstmEvent& event, Millis now) {
    const bool enqAnsweredWithEnq = std::exchange(enqAnsweredWithEnq_, false);
    switch (event.kind) {
        case AstmEvent::kEnq:
            return OnEnq(now);
        case AstmEvent::kAck:
            if (enqAnsweredWithEnq && state_ == State::kIdle) {
                // The peer took our ENQ as ours to send; we have nothing.
                Note("fault: the " + std::string(PeerName()) +
                     " accepted the ENQ we answered with: EOT sent");
                return Emit(kEot);
            }
            return OnAck(false, now);
        case AstmEvent::kNak:
            return OnNak(now);
        case AstmEvent::kEot:
            return OnEot(now);
        case AstmEvent::kFrame:
            return OnFrame(event, now);
        case AstmEvent::kGarbage:
            return OnGarbage(event);
    }
}

void CAstmLink::OnTick(Millis now) {
    SendDueAnswers(now);
    if (!deadline_ || now < *deadline_) return;
    deadline_.reset();
    switch (state_) {
        case State::kAwaitingEnqReply:
            if (enquireAgainAtDeadline_) return StartEnquiry(now);
            return GiveUp("no reply within " + Duration(settings_.replyTimeout) + ": EOT");
        case State::kWaitingToEnquire:
            return StartEnquiry(now);
        case State::kSending:
            return GiveUp("no reply to frame " + std::to_string(frames_[nextFrame_].number) +
                          " within " + Duration(settings_.replyTimeout) + ": EOT");
        case State::kReceiving:
            return EndReceiving(
                "no frame within " + Duration(settings_.idleTimeout) + ": the link is idle again",
                now);
        case State::kIdle:
            return;
    }
}

void CAstmLink::Abort(Millis /*now*/) {
    if (!messagePending_) return;
    if (state_ == State::kAwaitingEnqReply || state_ == State::kSending) {
        GiveUp("message aborted: EOT");
        return;
    }
    Note("message aborted before it was sent");
    Finish(false);
}

void CAstmLink::OnEnq(Millis now) {
    switch (state_) {
        case State::kIdle:
            if (AnswerEnqWithEnq(now)) return;
            return AcceptTransfer(now);
        case State::kReceiving:
            // The sender lost our last reply and starts over.
            if (!record_.empty()) Note("ENQ inside a record: its start is dropped");
            return AcceptTransfer(now);
        case State::kAwaitingEnqReply:
            if (!settings_.host) return ContendAsInstrument(now);
            Note("contention: the instrument goes first; ours follows its EOT");
            return AcceptTransfer(now);
        case State::kWaitingToEnquire:
            if (settings_.host) return AcceptTransfer(now);
            Note("ENQ while about to send: NAK sent");
            return Answer(kNak, now);
        case State::kSending:
            Note("ENQ while sending: NAK sent");
            return Answer(kNak, now);
    }
}

void CAstmLink::ContendAsInstrument(Millis now) {
    // The instrument keeps its turn: the host's ENQ goes unanswered, and ours
    // is repeated unless the host acknowledges it first.
    Note("contention: the host's ENQ is ignored; ours again in " +
         Duration(settings_.contentionRetry));
    enquireAgainAtDeadline_ = true;
    deadline_ = now + settings_.contentionRetry;
}

void CAstmLink::AcceptTransfer(Millis now) {
    Answer(kAck, now);
    state_ = State::kReceiving;
    expectedNumber_ = 1;
    lastNumber_ = -1;
    record_.clear();
    deadline_ = now + settings_.idleTimeout;
}

void CAstmLink::OnAck(bool interrupt, Millis now) {
    if (state_ == State::kAwaitingEnqReply) {
        nextFrame_ = 0;
        tries_ = 0;
        return SendCurrentFrame(now);
    }
    if (state_ != State::kSending) return Note("ACK outside a transfer ignored");
    if (interrupt)
        Note("the " + std::string(PeerName()) + " asks to interrupt: the message goes on");
    ++nextFrame_;
    tries_ = 0;
    if (nextFrame_ < frames_.size()) return SendCurrentFrame(now);
    Emit(kEot);
    Finish(true);
}

void CAstmLink::OnNak(Millis now) {
    if (state_ == State::kAwaitingEnqReply) {
        Note("the " + std::string(PeerName()) + " refused ENQ: again in " +
             Duration(settings_.enqRetry));
        state_ = State::kWaitingToEnquire;
        deadline_ = now + settings_.enqRetry;
        return;
    }
    if (state_ != State::kSending) return Note("NAK outside a transfer ignored");
    if (tries_ < kMaxFrameTries) return SendCurrentFrame(now);
    GiveUp("the " + std::string(PeerName()) + " refused frame " +
           std::to_string(frames_[nextFrame_].number) + " six times: EOT");
}

void CAstmLink::OnEot(Millis now) {
    // An EOT in reply to a frame acknowledges it and asks the sender to stop
    // soon; the message is short enough to finish.
    if (state_ == State::kSending) return OnAck(true, now);
    if (state_ == State::kReceiving) return EndReceiving("", now);
    if (state_ == State::kAwaitingEnqReply) Note("EOT in reply to ENQ ignored");
}

void CAstmLink::EndReceiving(const std::string& why, Millis now) {
    std::vector<AstmEvent> leftovers;
    parser_.Flush(leftovers);
    for (const AstmEvent& garbage : leftovers)
        OnGarbage(garbage);
    if (!why.empty()) Note(why);
    if (!record_.empty())
        Note("transfer ended inside a record: its " + std::to_string(record_.size()) +
             " characters are dropped");
    record_.clear();
    state_ = State::kIdle;
    deadline_.reset();
    if (messagePending_) StartEnquiry(now);
}

void CAstmLink::OnFrame(const AstmEvent& frame, Millis now) {
    if (state_ != State::kReceiving) return Note(FrameName(frame) + " outside a transfer ignored");
    deadline_ = now + settings_.idleTimeout;
    ReplyToFrame(frame, now);
    CountFrame();
}

void CAstmLink::ReplyToFrame(const AstmEvent& frame, Millis now) {
    if (!frame.good) {
        Answer(kNak, now);
        const std::string why =
            !frame.note.empty()
                ? frame.note
                : "checksum " + EscapeCtrlChars(frame.received) + ", expected " + frame.expected;
        return Note(FrameName(frame) + ": " + why + ": NAK sent");
    }
    const int number = frame.Number();
    if (number >= 0 && number == expectedNumber_) {
        // A refused or unanswered frame is not taken: the sender's repeat is.
        if (AstmFaultPlan::Take(faults_.naks)) {
            Answer(kNak, now);
            return Note("fault: NAK sent for the good " + FrameName(frame));
        }
        if (AstmFaultPlan::Take(faults_.withheldAcks))
            return Note("fault: ACK withheld for " + FrameName(frame));
        return AcceptFrame(frame, now);
    }
    if (number >= 0 && number == lastNumber_) {
        // Our ACK of it was lost; the sender repeats what we already hold.
        Answer(kAck, now);
        return Note(FrameName(frame) + " repeated: ACK sent, kept once");
    }
    Answer(kNak, now);
    Note(FrameName(frame) + ": expected frame " + std::to_string(expectedNumber_) + ": NAK sent");
}

void CAstmLink::AcceptFrame(const AstmEvent& frame, Millis now) {
    Answer(kAck, now);
    lastNumber_ = frame.Number();
    expectedNumber_ = CAstmFrame::NextNumber(lastNumber_);
    if (record_.size() + frame.text.size() > kMaxRecordBytes) {
        Note("record longer than " + std::to_string(kMaxRecordBytes) + " bytes: dropped");
        record_.clear();
        return;
    }
    record_ += frame.text;
    if (!frame.final) return;
    DeliverRecords(record_);
    record_.clear();
}

void CAstmLink::DeliverRecords(const std::string& text) {
    // A record ends in CR; some senders pack several records into one frame.
    for (const std::string& record : RecordsOfText(text))
        if (!record.empty()) sink_.RecordReceived(record);
}

void CAstmLink::OnGarbage(const AstmEvent& garbage) {
    const bool cut = garbage.dropped > garbage.sample.size();
    Note(garbage.note + ": " + std::to_string(garbage.dropped) + " bytes dropped (" +
         EscapeCtrlChars(garbage.sample) + (cut ? "...)" : ")"));
}

void CAstmLink::StartEnquiry(Millis now) {
    Emit(kEnq);
    state_ = State::kAwaitingEnqReply;
    enquireAgainAtDeadline_ = false;
    deadline_ = now + settings_.replyTimeout;
}

void CAstmLink::SendCurrentFrame(Millis now) {
    ++tries_;
    state_ = State::kSending;
    deadline_ = now + settings_.replyTimeout;
    const CAstmFrame& frame = frames_[nextFrame_];
    if (!AstmFaultPlan::Take(faults_.badChecksums)) {
        sink_.SendBytes(frame.Bytes());
    } else {
        const CorruptedFrame bad = CorruptChecksum(frame.Bytes());
        sink_.SendBytes(bad.bytes);
        Note("fault: frame " + std::to_string(frame.number) + " sent with checksum " + bad.sent +
             " instead of " + bad.expected);
    }
    CountFrame();
}

void CAstmLink::GiveUp(const std::string& why) {
    Note(why);
    Emit(kEot);
    Finish(false);
}

void CAstmLink::Finish(bool allAcknowledged) {
    messagePending_ = false;
    frames_.clear();
    nextFrame_ = 0;
    tries_ = 0;
    enquireAgainAtDeadline_ = false;
    if (state_ != State::kReceiving) {
        state_ = State::kIdle;
        deadline_.reset();
    }
    sink_.MessageDone(allAcknowledged);
}

// --- injected faults ---

void CAstmLink::Answer(char control, Millis now) {
    if (faults_.answerDelay.count() <= 0) return Emit(control);
    const std::string name = ControlName(control);
    if (delayedAnswers_.size() >= kMaxDelayedAnswers) {
        return Note("fault: " + name + " dropped: " + std::to_string(kMaxDelayedAnswers) +
                    " answers are waiting already");
    }
    delayedAnswers_.emplace_back(now + faults_.answerDelay, control);
    Note("fault: " + name + " held back " + Duration(faults_.answerDelay));
}

void CAstmLink::SendDueAnswers(Millis now) {
    while (!delayedAnswers_.empty() && delayedAnswers_.front().first <= now) {
        Emit(delayedAnswers_.front().second);
        delayedAnswers_.pop_front();
    }
}

bool CAstmLink::AnswerEnqWithEnq(Millis now) {
    if (!AstmFaultPlan::Take(faults_.enqContentions)) return false;
    Answer(kEnq, now);
    // A host yields to it and acknowledges; an instrument repeats its ENQ.
    enqAnsweredWithEnq_ = true;
    Note("fault: ENQ answered with ENQ");
    return true;
}

void CAstmLink::CountFrame() {
    if (faults_.dropAfterFrames <= 0 || ++framesOnLine_ < faults_.dropAfterFrames) return;
    DropLine();
}

void CAstmLink::DropLine() {
    // The line goes down at once: answers still held back are lost with it,
    // and whatever was under way ends here, as it would at a pulled cable.
    Note("fault: line dropped after " + std::to_string(framesOnLine_) + " frames");
    ++drops_;
    framesOnLine_ = 0;
    delayedAnswers_.clear();
    std::vector<AstmEvent> unread;
    parser_.Flush(unread);
    record_.clear();
    state_ = State::kIdle;
    deadline_.reset();
    sink_.DropLine();
    if (messagePending_) Finish(false);
}

void CAstmLink::Emit(char control) {
    sink_.SendBytes(std::string(1, control));
}

void CAstmLink::Note(const std::string& text) {
    sink_.Note(text);
}

std::string CAstmLink::FrameName(const AstmEvent& frame) const {
    if (frame.Number() >= 0) return "frame " + std::to_string(frame.Number());
    if (frame.number == 0) return "frame without number";
    return "frame " + EscapeCtrlChars(std::string(1, frame.number));
}

}  // namespace qelvor::astm
