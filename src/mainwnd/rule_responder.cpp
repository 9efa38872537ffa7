#include "mainwnd/rule_responder.h"

#include <algorithm>
#include <ctime>

#include "traffic/msg_exchange.h"

namespace qelvor {

namespace {

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

}  // namespace

CRuleResponder::CRuleResponder(CMsgExchange& exchange) : exchange_(exchange) {
    exchange_.SetFrameHook(
        [this](char type, std::string_view frame) { return OnFrame(type, frame); });
}

CRuleResponder::~CRuleResponder() {
    exchange_.SetFrameHook(nullptr);
}

void CRuleResponder::Load(const CComSetting& settings) {
    if (fixed_) return;
    std::string error;
    std::optional<CTriggerRules> rules = CTriggerRules::FromSettings(settings, &error);
    rules_ = rules ? std::move(*rules) : CTriggerRules();
    waiting_.clear();
    if (!rules) exchange_.AddRecord('I', "Trigger rules not used: " + error);
}

void CRuleResponder::Use(CTriggerRules rules) {
    rules_ = std::move(rules);
    waiting_.clear();
    fixed_ = true;
}

bool CRuleResponder::OnFrame(char type, std::string_view frame) {
    std::optional<CTriggerRules::Answer> answer;
    if (!rules_.empty()) answer = rules_.Match(type, frame, LocalNow());
    if (!answer) return next_ && next_(type, frame);
    if (answer->delay.count() == 0) {
        Send(answer->number, answer->text, type);
    } else {
        Queue({Clock::now() + answer->delay, answer->number, std::move(answer->text), type});
    }
    return true;
}

void CRuleResponder::Queue(Delayed answer) {
    if (waiting_.size() >= kMaxWaiting) {
        ++dropped_;
        return;
    }
    const auto at = std::upper_bound(
        waiting_.begin(), waiting_.end(), answer.due,
        [](Clock::time_point due, const Delayed& queued) { return due < queued.due; });
    waiting_.insert(at, std::move(answer));
}

void CRuleResponder::OnTick(bool connected) {
    const Clock::time_point now = Clock::now();
    size_t due = 0;
    while (due < waiting_.size() && waiting_[due].due <= now)
        ++due;
    // Taken out first: a send may record, and a record may reach a view
    // that calls back in.
    std::vector<Delayed> ready(std::make_move_iterator(waiting_.begin()),
                               std::make_move_iterator(waiting_.begin() + due));
    waiting_.erase(waiting_.begin(), waiting_.begin() + due);
    for (const Delayed& answer : ready)
        Send(answer.number, answer.text, answer.type);
    if (!rules_.empty()) {
        for (const CTriggerRules::Answer& timer : rules_.DueTimers(now, connected, LocalNow()))
            Send(timer.number, timer.text);
    }
    ReportDrops();
}

void CRuleResponder::Send(size_t number, const std::string& text, char type) {
    const std::string rule = "rule " + std::to_string(number);
    if (text.empty()) {
        exchange_.AddRecord('I', rule + " matched, nothing to send");
        return;
    }
    exchange_.AddRecord('I', rule + " answered");
    const std::string bytes = exchange_.Compose(text);
    if (!bytes.empty()) SendAnswer(type, bytes);
}

void CRuleResponder::SendAnswer(char type, const std::string& bytes) {
    if ((type == 'A' || type == 'B') && sideSender_) return sideSender_(type, bytes);
    exchange_.SendBytes(bytes, true);
}

void CRuleResponder::ReportDrops() {
    if (dropped_ == reportedDrops_) return;
    exchange_.AddRecord('I', "Trigger rules: " + std::to_string(dropped_ - reportedDrops_) +
                                 " delayed answers dropped, " + std::to_string(kMaxWaiting) +
                                 " were waiting");
    reportedDrops_ = dropped_;
}

}  // namespace qelvor
