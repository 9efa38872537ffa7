#include "mainwnd/astm_session.h"

#include <algorithm>
#include <utility>

#include "astm/query_responder.h"
#include "data/ctrl_char_notation.h"
#include "mainwnd/engine_context.h"
#include "ports/tcp_port.h"

namespace qelvor {

namespace {

// A run of bytes outside frames is recorded in pieces of this size, so that
// a peer sending no control character cannot make the held bytes grow.
constexpr size_t kGarbageChunk = 8192;
// STX and the covered bytes of the longest frame the link's parser keeps.
constexpr size_t kLongestFrame = astm::CAstmFrameParser::kMaxFrameBytes + 1;
// The checksum's two characters and CR LF.
constexpr size_t kTrailerBytes = 4;
// The queries one transfer may hold, and the answer messages waiting: a peer
// sending queries without end cannot make them grow.
constexpr size_t kMaxQueries = 16;
constexpr size_t kMaxAnswers = 256;

bool IsLinkControl(char byte) {
    return byte == astm::kStx || byte == astm::kEnq || byte == astm::kAck || byte == astm::kNak ||
           byte == astm::kEot;
}

}  // namespace

std::optional<astm::COrderTable> ReadOrderTable(const std::string& path, std::string& why) {
    astm::COrderTable table;
    if (table.Load(path, why)) return table;
    why += ": queries are not answered";
    return std::nullopt;
}

// --- the traffic cutter ---

void CAstmSession::CTrafficCutter::Feed(std::string_view bytes, std::vector<std::string>& pieces) {
    for (const char byte : bytes)
        OnByte(byte, pieces);
}

std::string CAstmSession::CTrafficCutter::Take() {
    state_ = kBetween;
    return std::exchange(held_, std::string());
}

void CAstmSession::CTrafficCutter::OnByte(char byte, std::vector<std::string>& pieces) {
    if (state_ == kBetween) return OnByteBetween(byte, pieces);
    // A control character inside a frame cuts it short, as the parser sees
    // it: the frame so far is one piece, the character starts the next.
    if (IsLinkControl(byte)) {
        Emit(pieces);
        return OnByteBetween(byte, pieces);
    }
    held_ += byte;
    if (state_ == kInTrailer) {
        if (++trailerBytes_ == kTrailerBytes) Emit(pieces);
        return;
    }
    if (byte == astm::kEtx || byte == astm::kEtb) {
        state_ = kInTrailer;
        trailerBytes_ = 0;
    } else if (held_.size() > kLongestFrame) {
        Emit(pieces);
    }
}

void CAstmSession::CTrafficCutter::OnByteBetween(char byte, std::vector<std::string>& pieces) {
    if (!IsLinkControl(byte)) {
        held_ += byte;
        if (held_.size() >= kGarbageChunk) Emit(pieces);
        return;
    }
    Emit(pieces);
    held_ += byte;
    if (byte == astm::kStx) {
        state_ = kInFrame;
        return;
    }
    Emit(pieces);
}

void CAstmSession::CTrafficCutter::Emit(std::vector<std::string>& pieces) {
    state_ = kBetween;
    if (held_.empty()) return;
    pieces.push_back(std::move(held_));
    held_.clear();
}

// --- the session ---

CAstmSession::CAstmSession(CEngineContext& context) : ctx_(context) {}

CAstmSession::~CAstmSession() {
    // The exchange outlives nothing of ours: it must not call back here.
    if (link_) ctx_.exchange.DivertReceived(nullptr);
}

astm::Millis CAstmSession::Now() {
    return std::chrono::duration_cast<astm::Millis>(
        std::chrono::steady_clock::now().time_since_epoch());
}

void CAstmSession::StartIfAstm() {
    if (link_ || ctx_.settings.ProtocolMode != kProtocolAstm) return;
    if (ctx_.exchange.FlushPending() != 0) ctx_.SetBufferText(std::string());
    const astm::AstmFaultPlan configured = astm::AstmFaultPlan::From(ctx_.settings);
    if (configured != faultsConfigured_) faultsConfigured_ = faultsLeft_ = configured;
    astm::IAstmLinkSink& sink = *this;
    link_ = std::make_unique<astm::CAstmLink>(astm::AstmLinkSettings::From(ctx_.settings), sink,
                                              faultsLeft_);
    muted_ = false;
    ctx_.exchange.DivertReceived([this](std::string_view bytes) { OnReceived(bytes); });
    LoadOrders();
}

void CAstmSession::LoadOrders() {
    orders_.reset();
    queries_.clear();
    answers_.clear();
    answerUnderWay_ = false;
    const std::string& path = ctx_.settings.OrdersFile;
    if (ctx_.settings.AstmRole != kAstmRoleHost || path.empty()) return;
    std::string why;
    orders_ = ReadOrderTable(path, why);
    if (!orders_) Note(why);
}

void CAstmSession::Stop(bool lineUp) {
    if (!link_) return;
    // What was left to answer goes with the link: none of it is sent.
    answers_.clear();
    muted_ = !lineUp;
    link_->Abort(Now());
    muted_ = false;
    FlushHeld();
    ctx_.exchange.DivertReceived(nullptr);
    faultsLeft_ = link_->FaultsLeft();
    link_.reset();
}

void CAstmSession::OnTick() {
    if (!link_) return;
    const bool receiving = link_->GetState() == astm::CAstmLink::State::kReceiving;
    link_->OnTick(Now());
    // The link drops an unfinished frame when its sender went quiet; the
    // bytes of it become their record at the same moment.
    if (receiving && link_->GetState() != astm::CAstmLink::State::kReceiving) FlushHeld();
    AnswerQueries();
}

void CAstmSession::OnReceived(std::string_view bytes) {
    // Each piece is recorded before the link answers it, so that the store
    // reads as the line did: the peer's frame, then our ACK.
    std::vector<std::string> pieces;
    size_t alreadyFed = cutter_.Held().size();
    cutter_.Feed(bytes, pieces);
    size_t fed = 0;
    for (const std::string& piece : pieces) {
        ctx_.exchange.AddRecord('R', piece);
        const size_t old = std::min(alreadyFed, piece.size());
        alreadyFed -= old;
        link_->OnBytes(bytes.substr(fed, piece.size() - old), Now());
        fed += piece.size() - old;
        if (!link_) return;
    }
    if (fed < bytes.size()) link_->OnBytes(bytes.substr(fed), Now());
    ShowHeld();
    AnswerQueries();
}

void CAstmSession::FlushHeld() {
    std::string held = cutter_.Take();
    if (!held.empty()) ctx_.exchange.AddRecord('R', std::move(held));
    ShowHeld();
}

void CAstmSession::ShowHeld() {
    std::string text = EscapeCtrlChars(cutter_.Held());
    if (text != ctx_.state.bufferText) ctx_.SetBufferText(std::move(text));
}

bool CAstmSession::SendMessage(const std::vector<std::string>& lines) {
    if (!link_) {
        ctx_.exchange.AddRecord('I', "ASTM: no link runs: the message is not sent");
        return false;
    }
    std::vector<std::string> records;
    for (const std::string& line : lines) {
        // A line that holds line breaks carries several records.
        for (std::string& record : astm::CAstmLink::RecordsOfText(line))
            records.push_back(std::move(record));
    }
    if (!link_->Send(records, Now())) return false;
    messageResult_.reset();
    return true;
}

// --- the link's output ---

void CAstmSession::SendBytes(const std::string& bytes) {
    if (!muted_) ctx_.exchange.SendBytes(bytes, true);
}

void CAstmSession::Note(const std::string& text) {
    ctx_.exchange.AddRecord('I', "ASTM: " + text);
}

void CAstmSession::RecordReceived(const std::string& record) {
    ctx_.exchange.AddRecord('I', "record: " + record);
    std::string why;
    if (!record.empty() && record[0] == 'H' &&
        !astm::CAstmRecord::ReadDelimiters(record, delimiters_, why)) {
        Note("header: " + why + "; fields shown with the delimiters before");
    }
    if (!orders_ || record.empty() || record[0] != 'Q') return;
    if (queries_.size() == kMaxQueries)
        return Note("more than " + std::to_string(kMaxQueries) +
                    " queries in one transfer: this one is not answered");
    queries_.push_back(astm::CAstmRecord::Split(record, delimiters_));
}

void CAstmSession::AnswerQueries() {
    if (!link_ || queries_.empty() || link_->GetState() == astm::CAstmLink::State::kReceiving)
        return;
    const astm::CQueryResponder responder(*orders_);
    for (const astm::CAstmRecord& query : queries_) {
        astm::AstmQueryAnswer answer = responder.Answer(query);
        size_t queued = 0;
        for (std::vector<std::string>& message : answer.messages) {
            if (answers_.size() == kMaxAnswers) break;
            answers_.push_back(std::move(message));
            ++queued;
        }
        Note(answer.Summary());
        if (queued < answer.messages.size())
            Note(std::to_string(answer.messages.size() - queued) +
                 " answer messages dropped: too many waiting");
    }
    queries_.clear();
    SendNextAnswer();
}

void CAstmSession::SendNextAnswer() {
    // A message of the user's under way goes first; its end sends ours.
    if (answers_.empty() || link_->HasMessage()) return;
    std::vector<std::string> message = std::move(answers_.front());
    answers_.pop_front();
    answerUnderWay_ = link_->Send(message, Now());
}

void CAstmSession::MessageDone(bool allAcknowledged) {
    messageResult_ = allAcknowledged;
    Note(allAcknowledged ? "message sent, every frame acknowledged"
                         : "message ended, not every frame acknowledged");
    // The instrument that refused one answer is not sent the others.
    if (std::exchange(answerUnderWay_, false) && !allAcknowledged && !answers_.empty()) {
        Note(std::to_string(answers_.size()) + " more answer messages not sent");
        answers_.clear();
    }
    SendNextAnswer();
}

// A TCP connection is closed; the port control sees it end at its next poll
// and starts the link afresh for the next peer. A serial line has no
// connection: it is hung up as a modem would be, DTR and RTS low, and stays
// so until the user raises them or the port is opened again.
void CAstmSession::DropLine() {
    StreamPort::CStreamPort* port = ctx_.exchange.Port();
    if (auto* tcp = dynamic_cast<StreamPort::CTCPPort*>(port)) {
        tcp->DropConnection();
        muted_ = true;
        return Note("fault: TCP connection closed");
    }
    int lines = 0;
    if (port != nullptr &&
        port->ControlLines(StreamPort::ControlRequest::ClearDtr, lines) == StreamPort::kLinesDone &&
        port->ControlLines(StreamPort::ControlRequest::ClearRts, lines) == StreamPort::kLinesDone)
        return Note("fault: serial line hung up (DTR and RTS low)");
    Note("fault: this port has no line to drop");
}

}  // namespace qelvor
