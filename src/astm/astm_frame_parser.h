// Cuts the bytes an ASTM E1381 peer sends, however they arrive, into link
// events: the four control characters, whole frames with their checksum
// verdict, and ignored bytes. Not thread safe; one object a byte stream.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qelvor::astm {

struct AstmEvent {
    enum Kind { kEnq, kAck, kNak, kEot, kFrame, kGarbage };
    Kind kind = kGarbage;
    // kFrame: the frame number character as received, the text, and whether
    // ETX (final) or ETB ended it.
    char number = 0;
    std::string text;
    bool final = false;
    // kFrame: the two checksum characters received and those the bytes give;
    // good only when they agree and CR LF follows.
    std::string received;
    std::string expected;
    bool good = false;
    // kGarbage: how many bytes were dropped, and the first of them.
    size_t dropped = 0;
    std::string sample;
    // Why a frame is bad or bytes were dropped; empty for a good frame.
    std::string note;

    // The frame number 0 to 7, or -1 when the character is no such digit.
    int Number() const { return number >= '0' && number <= '7' ? number - '0' : -1; }
};

class CAstmFrameParser {
  public:
    // A frame whose terminator has not come after this many bytes is dropped
    // as garbage, so that a peer cannot make the parser grow without bound.
    static constexpr size_t kMaxFrameBytes = 4096;
    // Of a run of dropped bytes, this many are kept for the note.
    static constexpr size_t kSampleBytes = 16;

    // Appends to events every event the bytes complete; a frame or a run of
    // garbage that is still open waits for the next bytes.
    void Feed(std::string_view bytes, std::vector<AstmEvent>& events);
    // Ends what is still open (a partial frame or garbage) as a garbage
    // event, as when the line has been quiet too long.
    void Flush(std::vector<AstmEvent>& events);

  private:
    enum State { kBetweenFrames, kInFrame, kInTrailer };

    void OnByteBetweenFrames(char byte, std::vector<AstmEvent>& events);
    void OnByteInFrame(char byte, std::vector<AstmEvent>& events);
    void OnByteInTrailer(char byte, std::vector<AstmEvent>& events);
    void EmitFrame(std::string note, std::vector<AstmEvent>& events);
    void DropPartialFrame(const std::string& why, std::vector<AstmEvent>& events);
    void AddGarbage(std::string_view bytes);
    void EmitGarbage(std::vector<AstmEvent>& events);

    State state_ = kBetweenFrames;
    std::string covered_;  // frame number through ETB/ETX
    std::string trailer_;  // C1 C2 CR LF as far as received
    size_t garbageCount_ = 0;
    std::string garbageSample_;
    std::string garbageNote_;
};

}  // namespace qelvor::astm
