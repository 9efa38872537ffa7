#include "mainwnd/hl7_session.h"

#include <chrono>

#include "mainwnd/astm_session.h"
#include "mainwnd/engine_context.h"

namespace qelvor {

namespace {

hl7::Millis Now() {
    return std::chrono::duration_cast<hl7::Millis>(
        std::chrono::steady_clock::now().time_since_epoch());
}

}  // namespace

CHl7Session::CHl7Session(CEngineContext& context) : ctx_(context) {}

CHl7Session::~CHl7Session() {
    // The exchange outlives nothing of ours: it must not call back here.
    if (link_) ctx_.exchange.DivertReceived(nullptr);
}

void CHl7Session::StartIfHl7() {
    if (link_ || ctx_.settings.ProtocolMode != kProtocolHl7) return;
    if (ctx_.exchange.FlushPending() != 0) ctx_.SetBufferText(std::string());
    hl7::IHl7LinkSink& sink = *this;
    link_ = std::make_unique<hl7::CHl7Link>(hl7::Hl7LinkSettings::From(ctx_.settings), sink);
    ctx_.exchange.DivertReceived([this](std::string_view bytes) { link_->OnBytes(bytes, Now()); });
    LoadOrders();
}

void CHl7Session::LoadOrders() {
    orders_.reset();
    const std::string& path = ctx_.settings.OrdersFile;
    if (ctx_.settings.Hl7Role != kHl7RoleReceiver || path.empty()) return;
    std::string why;
    orders_ = ReadOrderTable(path, why);
    if (!orders_) return Note(why);
    link_->AnswerQueriesFrom(&*orders_);
}

void CHl7Session::Stop() {
    if (!link_) return;
    link_->Abort();
    ctx_.exchange.DivertReceived(nullptr);
    link_.reset();
}

void CHl7Session::OnTick() {
    if (link_) link_->OnTick(Now());
}

bool CHl7Session::SendMessages(const std::vector<std::string>& lines) {
    if (!link_) {
        ctx_.exchange.AddRecord('I', "HL7: no link runs: the messages are not sent");
        return false;
    }
    const std::vector<std::string> messages = hl7::CHl7Link::MessagesOfLines(lines);
    // A refusal while messages are under way leaves their result to come.
    if (!link_->Sending()) messageResult_.reset();
    return link_->Send(messages, Now());
}

// --- the link's output ---

void CHl7Session::SendBytes(const std::string& bytes) {
    ctx_.exchange.SendBytes(bytes, true);
}

void CHl7Session::Received(const std::string& bytes) {
    ctx_.exchange.AddRecord('R', bytes);
}

void CHl7Session::Note(const std::string& text) {
    ctx_.exchange.AddRecord('I', "HL7: " + text);
}

void CHl7Session::MessagesDone(bool allAccepted) {
    messageResult_ = allAccepted;
    Note(allAccepted ? "every message acknowledged with AA or CA"
                     : "not every message acknowledged with AA or CA");
}

}  // namespace qelvor
