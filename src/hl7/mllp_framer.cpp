#include "hl7/mllp_framer.h"

#include <utility>

namespace qelvor::hl7 {

void CMllpFramer::Feed(std::string_view piece, std::vector<Event>& events) {
    for (const char byte : piece)
        Take(byte, events);
}

void CMllpFramer::Flush(std::vector<Event>& events) {
    if (!outside_.empty()) events.push_back({Event::Kind::kOutside, std::move(outside_), 0});
    outside_.clear();
    if (state_ == State::kSkipping && skipped_ > 0) {
        events.push_back({Event::Kind::kTooLarge, {}, skipped_});
        skipped_ = 0;
        state_ = State::kOutside;
    }
}

void CMllpFramer::Take(char byte, std::vector<Event>& events) {
    switch (state_) {
        case State::kOutside:
            return TakeOutside(byte, events);
        case State::kSkipping:
            if (byte == kStartBlock) {
                events.push_back({Event::Kind::kTooLarge, {}, skipped_});
                skipped_ = 0;
                return StartFrame(events);
            }
            ++skipped_;
            return;
        case State::kInFrame:
        case State::kAfterEnd:
            return TakeInFrame(byte, events);
    }
}

void CMllpFramer::TakeOutside(char byte, std::vector<Event>& events) {
    if (byte == kStartBlock) return StartFrame(events);
    outside_.push_back(byte);
    if (outside_.size() < kOutsideChunk) return;
    events.push_back({Event::Kind::kOutside, std::move(outside_), 0});
    outside_.clear();
}

void CMllpFramer::StartFrame(std::vector<Event>& events) {
    if (!outside_.empty()) events.push_back({Event::Kind::kOutside, std::move(outside_), 0});
    outside_.clear();
    message_.clear();
    state_ = State::kInFrame;
}

void CMllpFramer::TakeInFrame(char byte, std::vector<Event>& events) {
    if (state_ == State::kAfterEnd) {
        if (byte == kEndData) {
            events.push_back({Event::Kind::kMessage, std::move(message_), 0});
            message_.clear();
            state_ = State::kOutside;
            return;
        }
        // <FS> without <CR> is data of the message, and counts toward its
        // limit like any other byte.
        message_.push_back(kEndBlock);
        state_ = State::kInFrame;
        if (message_.size() > maxMessage_) {
            Refuse();
            return Take(byte, events);
        }
    }
    if (byte == kEndBlock) {
        state_ = State::kAfterEnd;
        return;
    }
    if (byte == kStartBlock) {
        // A new frame before this one ended: the cut one is handed back as
        // bytes outside a whole frame, with its start block.
        outside_ = std::string(1, kStartBlock) + message_;
        return StartFrame(events);
    }
    message_.push_back(byte);
    if (message_.size() > maxMessage_) Refuse();
}

void CMllpFramer::Refuse() {
    // The start block and the bytes taken so far count as refused.
    skipped_ = message_.size() + 1;
    message_.clear();
    message_.shrink_to_fit();
    state_ = State::kSkipping;
}

}  // namespace qelvor::hl7
