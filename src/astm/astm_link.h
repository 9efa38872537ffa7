// The ASTM E1381 link of one port: establishes transfers (ENQ), sends and
// acknowledges numbered frames, retries, times out and settles contention,
// and reassembles received frames into records. It has no clock and no port
// of its own: every call carries the current time, bytes leave through the
// sink. Not thread safe: call it from the one thread that owns the port.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "astm/astm_frame.h"
#include "astm/astm_frame_parser.h"

namespace qelvor {
class CComSetting;
}

namespace qelvor::astm {

using Millis = std::chrono::milliseconds;

struct AstmLinkSettings {
    bool host = false;           // the role: the host yields to the instrument in contention
    Millis replyTimeout{15000};  // for an ACK or NAK after ENQ or a frame
    Millis idleTimeout{30000};   // without a frame, a receiver returns to idle
    Millis enqRetry{10000};      // after the peer refused our ENQ
    // After contention the instrument sends ENQ again once this has passed.
    Millis contentionRetry{1000};

    // The role and the three times of the settings; a time below 1 ms or
    // above an hour is taken as the nearest of the two.
    static AstmLinkSettings From(const CComSetting& settings);
};

// Where the link's output goes; called from within the link's calls.
class IAstmLinkSink {
  public:
    virtual ~IAstmLinkSink() = default;
    virtual void SendBytes(const std::string& bytes) = 0;
    // What the link did and why, as a sentence ("frame 3: checksum 00,
    // expected FF: NAK sent").
    virtual void Note(const std::string& text) = 0;
    // One received record, without its CR.
    virtual void RecordReceived(const std::string& record) = 0;
    // The message given to Send has ended: every frame acknowledged, or not.
    virtual void MessageDone(bool allAcknowledged) = 0;
};

class CAstmLink {
  public:
    enum class State {
        kIdle,
        kAwaitingEnqReply,  // our ENQ is out
        kWaitingToEnquire,  // the peer refused our ENQ; ours again at the deadline
        kSending,           // a frame is out, awaiting ACK or NAK
        kReceiving,         // we acknowledged the peer's ENQ
    };
    // At most this many tries of one frame; then the sender gives up.
    static constexpr int kMaxFrameTries = 6;
    // A received record may grow to this size; a peer sending intermediate
    // frames without end cannot exhaust memory.
    static constexpr size_t kMaxRecordBytes = 1u << 20;

    CAstmLink(const AstmLinkSettings& settings, IAstmLinkSink& sink);

    // Queues a message: its records, empty ones skipped, each sent as its
    // text and a CR in frames numbered on from 1. Starts at once when idle,
    // else after the transfer being received. False, with a note, when a
    // message is still under way or no record has text.
    bool Send(const std::vector<std::string>& records, Millis now);
    // The bytes the peer sent, in any pieces.
    void OnBytes(std::string_view bytes, Millis now);
    // Acts on a deadline that has passed; call it at least at Deadline().
    void OnTick(Millis now);
    // Ends the queued message unsent (EOT when a transfer was under way).
    void Abort(Millis now);

    State GetState() const { return state_; }
    bool HasMessage() const { return messagePending_; }
    std::optional<Millis> Deadline() const { return deadline_; }

    // The lines of a data list as records: split at CR LF, CR or LF; a
    // final line break adds no record.
    static std::vector<std::string> RecordsOfText(std::string_view dataList);

  private:
    void OnEvent(const AstmEvent& event, Millis now);
    void OnEnq(Millis now);
    void OnAck(bool interrupt, Millis now);
    void OnNak(Millis now);
    void OnEot(Millis now);
    void OnFrame(const AstmEvent& frame, Millis now);
    void OnGarbage(const AstmEvent& garbage);
    void AcceptFrame(const AstmEvent& frame);
    void DeliverRecords(const std::string& text);
    void AcceptTransfer(Millis now);
    void ContendAsInstrument(Millis now);
    void EndReceiving(const std::string& why, Millis now);
    void StartEnquiry(Millis now);
    void SendCurrentFrame(Millis now);
    void GiveUp(const std::string& why);
    void Finish(bool allAcknowledged);
    void Emit(char control);
    void Note(const std::string& text);
    std::string FrameName(const AstmEvent& frame) const;
    const char* PeerName() const { return settings_.host ? "instrument" : "host"; }

    AstmLinkSettings settings_;
    IAstmLinkSink& sink_;
    CAstmFrameParser parser_;
    State state_ = State::kIdle;
    std::optional<Millis> deadline_;

    // The message being sent.
    bool messagePending_ = false;
    std::vector<CAstmFrame> frames_;
    size_t nextFrame_ = 0;
    int tries_ = 0;
    bool enquireAgainAtDeadline_ = false;  // instrument after contention

    // The transfer being received.
    int expectedNumber_ = 1;
    int lastNumber_ = -1;  // none accepted yet
    std::string record_;
};

}  // namespace qelvor::astm
