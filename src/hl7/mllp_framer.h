// Cuts HL7 messages out of a byte stream framed as MLLP: <VT> message
// <FS><CR>. It takes pieces of any size and finds several messages in one;
// bytes outside a frame are handed back to be reported, never dropped
// unsaid; a message beyond the size limit is refused and the stream is
// taken up again at the next <VT>. One thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qelvor::hl7 {

inline constexpr char kStartBlock = 0x0B;  // <VT>
inline constexpr char kEndBlock = 0x1C;    // <FS>
inline constexpr char kEndData = 0x0D;     // <CR>

class CMllpFramer {
  public:
    static constexpr size_t kDefaultMaxMessage = 1u << 20;
    // Bytes outside a frame are handed back in runs of at most this many.
    static constexpr size_t kOutsideChunk = 4096;

    struct Event {
        enum class Kind {
            kMessage,   // bytes: the message between <VT> and <FS><CR>
            kOutside,   // bytes: a run outside any frame, or a frame cut by a new <VT>
            kTooLarge,  // size: the bytes of a refused message, up to the next <VT>
        };
        Kind kind;
        std::string bytes;
        size_t size = 0;
    };

    explicit CMllpFramer(size_t maxMessage = kDefaultMaxMessage) : maxMessage_(maxMessage) {}

    // Takes the next piece of the stream; what it completes is appended to
    // events, in stream order.
    void Feed(std::string_view piece, std::vector<Event>& events);
    // Hands back the bytes outside a frame gathered so far (the stream
    // ended or paused); a frame under way stays.
    void Flush(std::vector<Event>& events);
    bool InFrame() const { return state_ == State::kInFrame || state_ == State::kAfterEnd; }

  private:
    enum class State { kOutside, kInFrame, kAfterEnd, kSkipping };

    void Take(char byte, std::vector<Event>& events);
    void TakeOutside(char byte, std::vector<Event>& events);
    void TakeInFrame(char byte, std::vector<Event>& events);
    void StartFrame(std::vector<Event>& events);
    void Refuse();

    const size_t maxMessage_;
    State state_ = State::kOutside;
    std::string message_;
    std::string outside_;
    size_t skipped_ = 0;
};

}  // namespace qelvor::hl7
