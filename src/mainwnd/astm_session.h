// The engine's side of the ASTM E1381 link: holds the link of the open port
// and its steady clock, takes the port's received bytes in place of the
// splitter, and turns what the link does into records of the traffic store.
// Engine thread only.
#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "astm/astm_link.h"
#include "astm/astm_record.h"
#include "astm/order_table.h"

namespace qelvor {

struct CEngineContext;

// The order table at path that a link answers queries from; empty, with
// why ("orders file F: line 3: ...: queries are not answered"), when it
// cannot be read. The ASTM host and the HL7 receiver read theirs alike.
std::optional<astm::COrderTable> ReadOrderTable(const std::string& path, std::string& why);

class CAstmSession : private astm::IAstmLinkSink {
  public:
    explicit CAstmSession(CEngineContext& context);
    ~CAstmSession() override;
    CAstmSession(const CAstmSession&) = delete;
    CAstmSession& operator=(const CAstmSession&) = delete;

    // Starts the link with the settings' role and times when ProtocolMode
    // is 1 and none runs yet; the splitter's pending bytes are recorded
    // first, so that they never reach the link. A host with an
    // OrdersFile reads it now, to answer the instrument's queries.
    void StartIfAstm();
    // Ends the link: a message under way is aborted (with EOT while
    // lineUp), the bytes of an unfinished frame become their own record,
    // and the splitter takes the received bytes again.
    void Stop(bool lineUp);
    bool Running() const { return link_ != nullptr; }

    // The link's deadlines, from the poll tick.
    void OnTick();
    // Queues the data list's lines as one message, each line a record; an
    // empty line is skipped. False, with an 'I' record why, when no link
    // runs or the link refused it.
    bool SendMessage(const std::vector<std::string>& lines);
    // The result of the last message: true when every frame was
    // acknowledged; empty while it is under way or before the first.
    std::optional<bool> MessageResult() const { return messageResult_; }
    // The delimiters the last header record received declared (the
    // defaults before the first), for showing a record's fields.
    const astm::AstmDelimiters& Delimiters() const { return delimiters_; }

  private:
    // Cuts the received bytes into what the peer sent: each control
    // character, each frame through its CR LF, and each run of other bytes
    // between them, as the link's parser tells them apart.
    class CTrafficCutter {
      public:
        // Appends every piece the bytes complete; an open one waits.
        void Feed(std::string_view bytes, std::vector<std::string>& pieces);
        // The open piece, emptied.
        std::string Take();
        const std::string& Held() const { return held_; }

      private:
        enum State { kBetween, kInFrame, kInTrailer };
        void OnByte(char byte, std::vector<std::string>& pieces);
        void OnByteBetween(char byte, std::vector<std::string>& pieces);
        void Emit(std::vector<std::string>& pieces);

        State state_ = kBetween;
        std::string held_;
        size_t trailerBytes_ = 0;
    };

    static astm::Millis Now();
    void OnReceived(std::string_view bytes);
    void FlushHeld();
    void ShowHeld();
    void LoadOrders();
    // Once the peer's transfer has ended, the queries it held are answered:
    // their messages queued, and sent one after another.
    void AnswerQueries();
    void SendNextAnswer();

    // astm::IAstmLinkSink
    void SendBytes(const std::string& bytes) override;
    void Note(const std::string& text) override;
    void RecordReceived(const std::string& record) override;
    void MessageDone(bool allAcknowledged) override;
    void DropLine() override;

    CEngineContext& ctx_;
    std::unique_ptr<astm::CAstmLink> link_;
    CTrafficCutter cutter_;
    std::optional<bool> messageResult_;
    astm::AstmDelimiters delimiters_;
    // The Fault keys as last read, and what is left of them: a link started
    // afresh for the next connection goes on with the counts the last one
    // left, unless the keys changed in between.
    astm::AstmFaultPlan faultsConfigured_;
    astm::AstmFaultPlan faultsLeft_;
    // The order table, when the host answers queries from one; the queries
    // of the transfer being received; the answers waiting for the link.
    std::optional<astm::COrderTable> orders_;
    std::vector<astm::CAstmRecord> queries_;
    std::deque<std::vector<std::string>> answers_;
    bool answerUnderWay_ = false;
    // While the link is stopped after its line went away, what it would
    // write (the EOT of an abort) has nowhere to go.
    bool muted_ = false;
};

}  // namespace qelvor
