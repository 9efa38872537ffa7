// The engine's timers as the main window runs them: a QTimer for each of the
// engine's timer ids, started and stopped as the engine asks, each tick
// handed to the engine. The 1 ms poll, delivered late by a busy event loop,
// runs the ticks it missed, and the start-up setup tick waits while another
// command (a message box's event loop) is running. User-interface thread
// only.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <cstdint>
#include <map>

class QTimer;

namespace qelvor {

class CMainEngine;

class CEngineTimers : public QObject {
    Q_OBJECT

  public:
    CEngineTimers(CMainEngine& engine, QObject* parent);

    // Starts (again) timer id with its period; Stop stops it, StopAll all.
    void Start(int id, int64_t periodMs);
    void Stop(int id);
    void StopAll();

  signals:
    // The engine has run its start-up setup tick, which closes the port for
    // "-n": the configuration dialog follows.
    void startupSetupRan();

  private:
    void OnTimer(int id);
    void RunPollTicks();

    CMainEngine& engine_;
    std::map<int, QTimer*> timers_;
    QElapsedTimer pollClock_;  // since the last poll tick
};

}  // namespace qelvor
