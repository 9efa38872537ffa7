#include "window/engine_timers.h"

#include <QTimer>
#include <algorithm>
#include <climits>

#include "mainwnd/main_engine.h"

namespace qelvor {

namespace {

// The most poll ticks one late timer event makes up for.
constexpr qint64 kMaxMissedPolls = 16;
// How soon a start-up step that met a running command tries again.
constexpr int kRetryMs = 10;

}  // namespace

CEngineTimers::CEngineTimers(CMainEngine& engine, QObject* parent)
    : QObject(parent), engine_(engine) {}

void CEngineTimers::Start(int id, int64_t periodMs) {
    QTimer*& timer = timers_[id];
    if (timer == nullptr) {
        timer = new QTimer(this);
        if (id == kTimerPoll) timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    if (id == kTimerPoll) pollClock_.invalidate();
    // Minutes from the settings may exceed what a QTimer counts: then it
    // fires after its longest period, about 24 days.
    timer->start(static_cast<int>(std::clamp<int64_t>(periodMs, 1, INT_MAX)));
}

void CEngineTimers::Stop(int id) {
    auto it = timers_.find(id);
    if (it != timers_.end()) it->second->stop();
}

void CEngineTimers::StopAll() {
    for (auto& [id, timer] : timers_)
        timer->stop();
}

void CEngineTimers::OnTimer(int id) {
    // Timer 5 inside another command (a message box's event loop) would open
    // the configuration dialog within it; it comes again once that is over.
    if (id == kTimerStartupSetup && engine_.InCommand()) {
        QTimer::singleShot(kRetryMs, this, [this] { OnTimer(kTimerStartupSetup); });
        return;
    }
    if (id == kTimerPoll) return RunPollTicks();
    engine_.OnTimer(id);
    if (id == kTimerStartupSetup) emit startupSetupRan();
}

void CEngineTimers::RunPollTicks() {
    // A busy event loop (painting, a burst of rows) delivers the 1 ms timer
    // late; the ticks it missed are run now, as on absolute deadlines, so
    // that a fast peer still gets one block read a millisecond.
    const qint64 elapsed = pollClock_.isValid() ? pollClock_.restart() : 1;
    if (!pollClock_.isValid()) pollClock_.start();
    const qint64 ticks = std::clamp<qint64>(elapsed, 1, kMaxMissedPolls);
    for (qint64 i = 0; i < ticks && timers_[kTimerPoll]->isActive(); ++i)
        engine_.OnTimer(kTimerPoll);
}

}  // namespace qelvor
