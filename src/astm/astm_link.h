// The ASTM E1381 link of one port: establishes transfers (ENQ), sends and
// acknowledges numbered frames, retries, times out and settles contention,
// and reassembles received frames into records. It has no clock and no port
// of its own: every call carries the current time, bytes leave through the
// sink. Not thread safe: call it from the one thread that owns the port.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "astm/astm_frame.h"
#include "astm/astm_frame_parser.h"
#include "astm/fault_plan.h"

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
    // A fault asks for the line to go down: a TCP connection is closed, a
    // serial line hung up. A sink without a line of its own ignores it.
    virtual void DropLine() {}
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
    // Answers held back by an injected delay; a peer that keeps sending
    // while they wait cannot make the queue grow without bound.
    static constexpr size_t kMaxDelayedAnswers = 64;

    // faults: what the link does wrong on purpose, counted down as it goes.
    CAstmLink(const AstmLinkSettings& settings, IAstmLinkSink& sink,
              const AstmFaultPlan& faults = {});

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
    // The earliest of the state's time-out and a delayed answer's time.
    std::optional<Millis> Deadline() const;
    // The faults still to come.
    const AstmFaultPlan& FaultsLeft() const { return faults_; }

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
    void ReplyToFrame(const AstmEvent& frame, Millis now);
    void AcceptFrame(const AstmEvent& frame, Millis now);
    void DeliverRecords(const std::string& text);
    void AcceptTransfer(Millis now);
    void ContendAsInstrument(Millis now);
    void EndReceiving(const std::string& why, Millis now);
    void StartEnquiry(Millis now);
    void SendCurrentFrame(Millis now);
    void GiveUp(const std::string& why);
    void Finish(bool allAcknowledged);
    void Emit(char control);
    // A reply to the peer's ENQ or frame: sent now, or after the injected delay.
    void Answer(char control, Millis now);
    void SendDueAnswers(Millis now);
    bool AnswerEnqWithEnq(Millis now);
    void CountFrame();
    void DropLine();
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

    // Injected faults.
    AstmFaultPlan faults_;
    std::deque<std::pair<Millis, char>> delayedAnswers_;  // due time, control
    int framesOnLine_ = 0;  // frames sent and received since the line came up
    int drops_ = 0;
    bool enqAnsweredWithEnq_ = false;  // the peer may accept our fake ENQ
};

}  // namespace qelvor::astm
