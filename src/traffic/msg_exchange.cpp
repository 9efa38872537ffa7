#include "traffic/msg_exchange.h"

#include <algorithm>
#include <utility>

#include "config/com_setting.h"
#include "config/setting_groups.h"
#include "data/ctrl_char_notation.h"
#include "data/frame_check.h"
#include "data/outgoing_composer.h"
#include "ports/stream_port.h"
#include "traffic/data_list.h"
#include "traffic/exchange_view.h"
#include "traffic/record_log.h"

namespace qelvor {

namespace {

constexpr char kEot = 0x04;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kEtx = 0x03;
const std::string kEotSoh("\x04\x01", 2);
constexpr std::string_view kDataToken = "[DATA]";
constexpr std::string_view kRepeatToken = "[RDATA]";

bool IsDatagramMode(int workMode) {
    return workMode == 2 || workMode == 3;
}

}  // namespace

CMsgExchange::CMsgExchange(const CComSetting& settings) : settings_(settings) {}

void CMsgExchange::InitExchange(IExchangeView* view, CDataList* dataList,
                                StreamPort::CStreamPort* port) {
    view_ = view;
    dataList_ = dataList;
    port_ = port;
    LoadSplitConfig();
    plugin_.LoadPlugin(settings_.ExeDir, false);
}

// --- traffic store ---

int CMsgExchange::AddRecord(char type, std::string data) {
    AppendRecord(CMsgRecord(type, std::move(data)));
    return 1;
}

void CMsgExchange::AppendRecord(CMsgRecord record) {
    stats_.OnRecord(record.Type(), record.Data(), CTrafficStats::Clock::now());
    // Counted here rather than in a view, so that every front end (the
    // window, qelvor-cli) counts the same frames with the set's check kind.
    if (CFrameCheck::CheckRecord(record.Type(), record.Data(), settings_.CheckSum).verdict ==
        CFrameCheck::Verdict::kBad)
        stats_.AddBadFrame();
    if (settings_.AutoSaveLog != 0 && recordLog_ != nullptr) recordLog_->LogRecord(record);
    store_.Append(std::move(record));
    if (view_ == nullptr) return;
    view_->OnRecordCountChanged(store_.size());
    if (settings_.ScrollRSWnd != 0) view_->ScrollToNewest();
}

int CMsgExchange::SendBytes(const std::string& bytes, bool record) {
    if (port_ == nullptr) return 0;
    if (holdSends_) {
        if (heldBytes_ + bytes.size() > kHeldSendLimit) {
            if (record)
                AddRecord('I', UnsentText("Send data (a file is being sent)", 0, bytes.size()));
            return 0;
        }
        heldBytes_ += bytes.size();
        heldSends_.push_back({bytes, record});
        // Taken: the bytes go out once the file is out.
        return static_cast<int>(std::max<size_t>(bytes.size(), 1));
    }
    // Bytes already waiting go first: these join them.
    if (!outgoing_.Empty()) return QueueSend(bytes, 0, record);
    return WriteOrQueue(bytes, record);
}

int CMsgExchange::WriteOrQueue(const std::string& bytes, bool record) {
    const int result =
        bytes.empty() ? 0 : port_->TryWrite(bytes.data(), static_cast<int>(bytes.size()));
    if (result < 0 || bytes.empty()) {
        lastSendFailure_ = NotConnectedReason();
        if (record) AddRecord('I', kSendErrorText);
        return 0;
    }
    lastSendFailure_.clear();
    const size_t written = static_cast<size_t>(result);
    if (written < bytes.size()) return QueueSend(bytes, written, record);
    if (record) AddRecord('S', bytes);
    return result;
}

int CMsgExchange::QueueSend(const std::string& bytes, size_t sent, bool record) {
    if (outgoing_.Offer(bytes, sent, record, COutgoingQueue::Clock::now()))
        return static_cast<int>(std::max<size_t>(bytes.size(), 1));
    // Past the cap the peer has not read for long: what went out is
    // recorded, the rest counts as dropped.
    if (record && sent > 0) AddRecord('S', bytes.substr(0, sent));
    return static_cast<int>(sent);
}

void CMsgExchange::DrainOutgoing() {
    const auto now = COutgoingQueue::Clock::now();
    if (!WriteWaiting(now)) return;
    if (outgoing_.DropRunDue(now)) ReportDrops();
}

bool CMsgExchange::WriteWaiting(COutgoingQueue::Clock::time_point now) {
    while (!outgoing_.Empty()) {
        COutgoingQueue::Send& front = outgoing_.Front();
        const size_t left = front.bytes.size() - front.sent;
        const int taken = port_ == nullptr ? -1
                                           : port_->TryWrite(front.bytes.data() + front.sent,
                                                             static_cast<int>(left));
        if (taken < 0) {
            AbandonOutgoing();
            return false;
        }
        outgoing_.Advance(static_cast<size_t>(taken), now);
        if (front.sent < front.bytes.size()) {
            if (!FrontStalled(front, now)) return true;
            EndFrontUnsent(now);
            continue;
        }
        COutgoingQueue::Send done = outgoing_.PopFront(now);
        if (done.record) AddRecord('S', std::move(done.bytes));
    }
    return true;
}

// A serial line keeps its limit of 5 s for one write, without the wait: a
// send it takes nothing of for that long ends. A TCP peer that does not read
// is bounded by the queue's cap instead.
bool CMsgExchange::FrontStalled(const COutgoingQueue::Send& front,
                                COutgoingQueue::Clock::time_point now) {
    return settings_.WorkMode == kWorkModeSerial && now - front.lastProgress >= kSerialStallLimit;
}

void CMsgExchange::EndFrontUnsent(COutgoingQueue::Clock::time_point now) {
    COutgoingQueue::Send front = outgoing_.PopFront(now);
    if (!front.record) return;
    if (front.sent > 0) AddRecord('S', front.bytes.substr(0, front.sent));
    AddRecord('I', UnsentText("Send data", static_cast<int>(front.sent), front.bytes.size()));
}

void CMsgExchange::AbandonOutgoing() {
    if (!outgoing_.Empty()) {
        const auto now = COutgoingQueue::Clock::now();
        EndFrontUnsent(now);
        size_t unsent = 0;
        while (!outgoing_.Empty())
            unsent += outgoing_.PopFront(now).bytes.size();
        if (unsent > 0)
            AddRecord('I', "Send data: " + std::to_string(unsent) +
                               " bytes waiting were not sent, the port could take no more");
    }
    ReportDrops();
}

void CMsgExchange::ReportDrops() {
    const size_t dropped = outgoing_.TakeDropped();
    if (dropped == 0) return;
    AddRecord('I', "peer is not reading: " + std::to_string(dropped) + " bytes not sent");
}

void CMsgExchange::HoldSends(bool hold) {
    holdSends_ = hold;
    if (hold) return;
    std::vector<HeldSend> held;
    held.swap(heldSends_);
    heldBytes_ = 0;
    for (const HeldSend& send : held)
        SendBytes(send.bytes, send.record);
}

std::string CMsgExchange::UnsentText(const std::string& what, int written, size_t total) {
    const size_t sent = written > 0 ? static_cast<size_t>(written) : 0;
    return what + ": " + std::to_string(total - std::min(sent, total)) + " of " +
           std::to_string(total) + " bytes were not sent";
}

std::string CMsgExchange::NotConnectedReason() const {
    const int mode = settings_.WorkMode;
    if (mode == kWorkModeTcpServer && port_->GetState(0) == 0) return "no client connected";
    if (port_->IsOpen() != 0) return std::string();
    return mode == kWorkModeTcpServer || mode == kWorkModeTcpClient ? "not connected"
                                                                    : "port not open";
}

void CMsgExchange::ClearAll() {
    if (store_.empty() && !store_.ReadOnly()) return;
    store_.Clear();
    if (view_ != nullptr) view_->OnRecordCountChanged(0);
}

void CMsgExchange::FlushStore() {
    for (std::string& note : store_.Flush())
        AddRecord('I', std::move(note));
}

// --- split configuration ---

std::vector<std::string> CMsgExchange::ParseNotationList(std::string_view text, size_t* longest) {
    std::vector<std::string> items;
    size_t itemStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ',') continue;
        items.push_back(UnescapeCtrlChars(text.substr(itemStart, i - itemStart)));
        itemStart = i + 1;
    }
    // The last item counts only when it holds something: a trailing comma
    // adds nothing.
    std::string last = UnescapeCtrlChars(text.substr(std::min(itemStart, text.size())));
    if (!last.empty()) items.push_back(std::move(last));
    if (longest != nullptr) {
        *longest = 0;
        for (const std::string& item : items)
            *longest = std::max(*longest, item.size());
    }
    return items;
}

void CMsgExchange::LoadSplitConfig() {
    const SplitResponseSettings split = SplitResponseSettings::From(settings_);
    std::vector<std::string> splits = ParseNotationList(split.splitStrings, nullptr);
    if (splits.empty()) splits.push_back("\n");
    const std::vector<std::string> responses = ParseNotationList(split.responseStrings, nullptr);
    responseMap_.clear();
    const size_t pairs = std::min(splits.size(), responses.size());
    for (size_t i = 0; i < pairs; ++i)
        responseMap_[splits[i]] = responses[i];
    cutter_.SetSplits(std::move(splits));
}

// --- receiving ---

void CMsgExchange::OnReceive(const char* data, int count) {
    if (data == nullptr || count < 1) return;
    if (receiveLink_) {
        receiveLink_(std::string_view(data, static_cast<size_t>(count)));
        return;
    }
    if (view_ != nullptr) TakeSendText(view_->GetSendText());
    SplitReceived(std::string_view(data, static_cast<size_t>(count)), settings_.WorkMode);
    if (view_ == nullptr) return;
    view_->SetBufferText(EscapeCtrlChars(cutter_.Pending()));
    view_->OnRecordCountChanged(store_.size());
}

void CMsgExchange::TakeSendText(const std::string& sendText) {
    // The send box is never written from here, as the user may be typing
    // while frames arrive. So the current line, which "[RDATA]" repeats, is
    // the last data line sent until the box's text changes.
    if (sendText == seenSendText_) return;
    seenSendText_ = sendText;
    currentLine_ = sendText;
}

void CMsgExchange::SplitReceived(std::string_view bytes, int workMode) {
    if (IsDatagramMode(workMode)) {
        SplitDatagram(bytes);
    } else {
        SplitStream(bytes);
    }
}

void CMsgExchange::SplitDatagram(std::string_view bytes) {
    AddRecord('R', std::string(bytes));
    if (frameHook_ && frameHook_('R', bytes)) return;
    // Copied because a response may reload the list through the view.
    const std::vector<std::string> splitList = cutter_.Splits();
    for (const std::string& split : splitList) {
        if (split.empty() || bytes.find(split) == std::string_view::npos) continue;
        RespondTo(split);
        return;
    }
}

void CMsgExchange::SplitStream(std::string_view bytes) {
    cutter_.Feed(bytes, [this](std::string frame, const std::string* split) {
        // Bytes no split string ended are recorded without a response.
        if (split == nullptr || !frameHook_) {
            AddRecord('R', std::move(frame));
            if (split != nullptr) RespondTo(*split);
            return;
        }
        AddRecord('R', frame);
        if (!frameHook_('R', frame)) RespondTo(*split);
    });
}

int CMsgExchange::FlushPending() {
    std::string frame = cutter_.TakePending();
    if (frame.empty()) return 0;
    AddRecord('R', std::move(frame));
    return 1;
}

// --- responses ---

int CMsgExchange::RespondTo(const std::string& splitString) {
    if (settings_.HandShake == 0) return 0;
    // A new transmission (EOT SOH) starts the alternating acknowledge again.
    if (splitString == kEotSoh) alternation_ = kAck;
    const auto found = responseMap_.find(splitString);
    std::string response = found != responseMap_.end() ? found->second : std::string();
    if (response == kDataToken || response == kRepeatToken) {
        response =
            settings_.UsedResponseFile != 0 ? NextResponseLine(response) : NextDataLine(response);
    }
    if (response.empty()) return 0;
    if (settings_.CheckSum == 1 && static_cast<uint8_t>(response[0]) == kAck &&
        alternation_ == kEtx) {
        response.assign(1, static_cast<char>(kEtx));
    }
    const int written = SendBytes(response, true);
    alternation_ = alternation_ == kAck ? kEtx : kAck;
    return written;
}

std::string CMsgExchange::NextDataLine(std::string_view token) {
    if (token == kRepeatToken) return Compose(currentLine_);
    ++dataIndex_;
    if (dataIndex_ < 0) dataIndex_ = 0;
    const int count = dataList_ != nullptr ? dataList_->Count() : 0;
    if (settings_.SupportStress != 0 && count >= 1 && dataIndex_ >= count) dataIndex_ = 0;
    if (dataIndex_ >= count) {
        dataIndex_ = count;
        currentLine_.clear();
        return std::string(1, kEot);
    }
    currentLine_ = dataList_->Line(dataIndex_);
    dataList_->SetCurSel(dataIndex_);
    return Compose(currentLine_);
}

std::string CMsgExchange::NextResponseLine(std::string_view token) {
    if (token == kRepeatToken) return lastResponse_;
    ++dataIndex_;
    if (dataIndex_ < 0) dataIndex_ = 0;
    const int count = dataList_ != nullptr ? dataList_->Count() : 0;
    if (dataIndex_ >= count) {
        dataIndex_ = count;
        currentLine_.clear();
        lastResponse_.assign(1, kEot);
        return lastResponse_;
    }
    currentLine_ = dataList_->Line(dataIndex_);
    dataList_->SetCurSel(dataIndex_);
    lastResponse_ = currentLine_;
    if (plugin_.FormatMsg(lastResponse_) < 1) {
        lastResponse_.clear();
        // The plug-in's reason (a script error) is the user's only clue why
        // nothing went out for this line.
        const std::string why = plugin_.TakeErrorText();
        if (!why.empty()) AddRecord('I', "Script plug-in: " + why);
    }
    // The line is text: it ends at its first zero byte.
    const size_t zero = lastResponse_.find('\0');
    if (zero != std::string::npos) lastResponse_.resize(zero);
    lastResponse_ = Compose(lastResponse_);
    return lastResponse_;
}

std::string CMsgExchange::Compose(std::string_view line) {
    std::string emptiedBy;
    std::string bytes = ComposeOutgoing(line, settings_, frameCounter_, &emptiedBy);
    if (!emptiedBy.empty()) AddRecord('I', "Send data: nothing sent, " + emptiedBy);
    return bytes;
}

}  // namespace qelvor
