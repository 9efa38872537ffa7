// The engine's side of the HL7 link over MLLP: holds the link of the open
// port and its steady clock, takes the port's received bytes in place of the
// splitter, and turns what the link does into records of the traffic store.
// Engine thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "astm/order_table.h"
#include "hl7/hl7_link.h"

namespace qelvor {

struct CEngineContext;

class CHl7Session : private hl7::IHl7LinkSink {
  public:
    explicit CHl7Session(CEngineContext& context);
    ~CHl7Session() override;
    CHl7Session(const CHl7Session&) = delete;
    CHl7Session& operator=(const CHl7Session&) = delete;

    // Starts the link with the settings' answer, times and limits when
    // ProtocolMode is 2 and none runs yet; the splitter's pending bytes are
    // recorded first, so that they never reach the link. A receiver with an
    // OrdersFile reads it now, to answer queries for orders (QBP).
    void StartIfHl7();
    // Ends the link: messages under way end unacknowledged, and the
    // splitter takes the received bytes again.
    void Stop();
    bool Running() const { return link_ != nullptr; }

    // The link's deadlines, from the poll tick.
    void OnTick();
    // Sends the data list's messages (a blank line between two), each after
    // the previous one's ACK. False, with an 'I' record why, when no link
    // runs or the link refused them.
    bool SendMessages(const std::vector<std::string>& lines);
    // True when every message of the last Send got AA or CA; empty while
    // they are under way or before the first.
    std::optional<bool> MessageResult() const { return messageResult_; }

  private:
    // hl7::IHl7LinkSink
    void SendBytes(const std::string& bytes) override;
    void Received(const std::string& bytes) override;
    void Note(const std::string& text) override;
    void MessagesDone(bool allAccepted) override;
    void LoadOrders();

    CEngineContext& ctx_;
    // The order table the receiver answers queries from; the link refers
    // to it, so it is declared first and outlives the link.
    std::optional<astm::COrderTable> orders_;
    std::unique_ptr<hl7::CHl7Link> link_;
    std::optional<bool> messageResult_;
};

}  // namespace qelvor
