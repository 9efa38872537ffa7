#include "mainwnd/script_hooks.h"

#include <utility>

#include "config/com_setting.h"
#include "mainwnd/rule_responder.h"
#include "traffic/msg_exchange.h"

namespace qelvor {

using HookResult = CPluginHost::HookResult;

CScriptHooks::CScriptHooks(const CComSetting& settings, CMsgExchange& exchange,
                           CRuleResponder& rules)
    : settings_(settings), exchange_(exchange), rules_(rules) {
    rules_.SetNextAnswerer(
        [this](char type, std::string_view frame) { return OnFrame(type, frame); });
}

CScriptHooks::~CScriptHooks() {
    rules_.SetNextAnswerer(nullptr);
}

bool CScriptHooks::On() const {
    return settings_.ScriptHooks != 0;
}

bool CScriptHooks::OnFrame(char type, std::string_view frame) {
    if (!On()) return false;
    if (framesThisTick_ == kFramesPerTick) {
        ++passedBy_;
        passedThisTick_ = true;
        return false;
    }
    ++framesThisTick_;
    std::string answer;
    switch (exchange_.Plugin().OnFrame(type, frame, answer)) {
        case HookResult::Missing:
        case HookResult::Passed:
            return false;
        case HookResult::Failed:
            // No answer from the script: the usual response still goes.
            Report("OnFrame");
            return false;
        case HookResult::Answered:
            break;
    }
    if (answer.empty()) {
        exchange_.AddRecord('I', "script took the frame, nothing to send");
        return true;
    }
    exchange_.AddRecord('I', "script answered");
    rules_.SendAnswer(type, answer);
    return true;
}

void CScriptHooks::OnTick(bool connected) {
    const Clock::time_point now = Clock::now();
    ReportPassedBy(now);
    if (!On() || !connected) {
        nextTimer_.reset();
        return;
    }
    if (!nextTimer_) nextTimer_ = now + kTimerPeriod;
    if (now < *nextTimer_) return;
    // A late tick does not make up for the seconds it missed.
    *nextTimer_ += kTimerPeriod;
    if (*nextTimer_ <= now) nextTimer_ = now + kTimerPeriod;
    std::string answer;
    const HookResult result = exchange_.Plugin().OnTimer(answer);
    if (result == HookResult::Failed) return Report("OnTimer", &lastTimerFault_);
    lastTimerFault_.clear();
    if (result != HookResult::Answered || answer.empty()) return;
    exchange_.AddRecord('I', "script timer answered");
    rules_.SendAnswer(0, answer);
}

void CScriptHooks::ReportPassedBy(Clock::time_point now) {
    framesThisTick_ = 0;
    const bool flooding = std::exchange(passedThisTick_, false);
    if (passedBy_ == 0 || (flooding && now < nextPassedReport_)) return;
    exchange_.AddRecord('I', "script hooks: " + std::to_string(passedBy_) +
                                 " frames of a flood went to the usual response");
    passedBy_ = 0;
    nextPassedReport_ = now + std::chrono::seconds(1);
}

void CScriptHooks::Report(const char* function, std::string* last) {
    std::string why = exchange_.Plugin().TakeErrorText();
    if (why.empty()) why = std::string(function) + " failed";
    if (last != nullptr && *last == why) return;
    exchange_.AddRecord('I', "Script plug-in: " + why);
    if (last != nullptr) *last = std::move(why);
}

}  // namespace qelvor
