#include "astm/astm_frame_parser.h"

#include <cctype>

#include "astm/astm_frame.h"
#include "data/ctrl_char_notation.h"

namespace qelvor::astm {

namespace {

// The bytes that mean something on their own between frames. Inside a frame
// they may not appear, so one there tells that the frame was cut short.
bool IsLinkControl(char byte) {
    return byte == kStx || byte == kEnq || byte == kAck || byte == kNak || byte == kEot;
}

AstmEvent::Kind KindOfControl(char byte) {
    switch (byte) {
        case kEnq:
            return AstmEvent::kEnq;
        case kAck:
            return AstmEvent::kAck;
        case kNak:
            return AstmEvent::kNak;
        default:
            return AstmEvent::kEot;
    }
}

// Checksum digits are compared without regard to case: a peer that writes
// "5a" has still computed the right sum.
bool SameHex(std::string_view received, std::string_view expected) {
    if (received.size() != expected.size()) return false;
    for (size_t i = 0; i < received.size(); ++i) {
        const auto upper = static_cast<char>(std::toupper(static_cast<unsigned char>(received[i])));
        if (upper != expected[i]) return false;
    }
    return true;
}

}  // namespace

void CAstmFrameParser::Feed(std::string_view bytes, std::vector<AstmEvent>& events) {
    for (char byte : bytes) {
        switch (state_) {
            case kBetweenFrames:
                OnByteBetweenFrames(byte, events);
                break;
            case kInFrame:
                OnByteInFrame(byte, events);
                break;
            case kInTrailer:
                OnByteInTrailer(byte, events);
                break;
        }
    }
}

void CAstmFrameParser::Flush(std::vector<AstmEvent>& events) {
    if (state_ != kBetweenFrames)
        DropPartialFrame("frame incomplete when the line went quiet", events);
    EmitGarbage(events);
}

void CAstmFrameParser::OnByteBetweenFrames(char byte, std::vector<AstmEvent>& events) {
    if (!IsLinkControl(byte)) {
        if (garbageCount_ == 0) garbageNote_ = "ignored between frames";
        AddGarbage(std::string_view(&byte, 1));
        return;
    }
    EmitGarbage(events);
    if (byte == kStx) {
        covered_.clear();
        trailer_.clear();
        state_ = kInFrame;
        return;
    }
    AstmEvent event;
    event.kind = KindOfControl(byte);
    events.push_back(std::move(event));
}

void CAstmFrameParser::OnByteInFrame(char byte, std::vector<AstmEvent>& events) {
    if (IsLinkControl(byte)) {
        DropPartialFrame("frame cut short by " + EscapeCtrlChars(std::string_view(&byte, 1)),
                         events);
        OnByteBetweenFrames(byte, events);
        return;
    }
    covered_ += byte;
    if (byte == kEtx || byte == kEtb) {
        state_ = kInTrailer;
    } else if (covered_.size() > kMaxFrameBytes) {
        DropPartialFrame("frame without end after " + std::to_string(kMaxFrameBytes) + " bytes",
                         events);
    }
}

void CAstmFrameParser::OnByteInTrailer(char byte, std::vector<AstmEvent>& events) {
    if (IsLinkControl(byte)) {
        EmitFrame("frame cut short after its end mark", events);
        OnByteBetweenFrames(byte, events);
        return;
    }
    trailer_ += byte;
    if (trailer_.size() < 4) return;
    EmitFrame(trailer_.compare(2, 2, "\r\n") == 0 ? "" : "checksum not followed by <CR><LF>",
              events);
}

void CAstmFrameParser::EmitFrame(std::string note, std::vector<AstmEvent>& events) {
    AstmEvent frame;
    frame.kind = AstmEvent::kFrame;
    // covered_ holds at least the terminator; a frame number precedes it
    // unless STX was directly followed by ETB or ETX.
    if (covered_.size() >= 2) {
        frame.number = covered_.front();
        frame.text = covered_.substr(1, covered_.size() - 2);
    }
    frame.final = covered_.back() == kEtx;
    frame.received = trailer_.substr(0, 2);
    frame.expected = CAstmFrame::Checksum(covered_);
    frame.good = note.empty() && SameHex(frame.received, frame.expected);
    frame.note = std::move(note);
    events.push_back(std::move(frame));
    state_ = kBetweenFrames;
}

void CAstmFrameParser::DropPartialFrame(const std::string& why, std::vector<AstmEvent>& events) {
    EmitGarbage(events);
    AddGarbage(std::string(1, kStx) + covered_ + trailer_);
    garbageNote_ = why;
    EmitGarbage(events);
    state_ = kBetweenFrames;
}

void CAstmFrameParser::AddGarbage(std::string_view bytes) {
    garbageCount_ += bytes.size();
    const size_t room = kSampleBytes - garbageSample_.size();
    garbageSample_.append(bytes.substr(0, room));
}

void CAstmFrameParser::EmitGarbage(std::vector<AstmEvent>& events) {
    if (garbageCount_ == 0) return;
    AstmEvent garbage;
    garbage.dropped = garbageCount_;
    garbage.sample = std::move(garbageSample_);
    garbage.note = std::move(garbageNote_);
    events.push_back(std::move(garbage));
    garbageCount_ = 0;
    garbageSample_.clear();
    garbageNote_.clear();
}

}  // namespace qelvor::astm
