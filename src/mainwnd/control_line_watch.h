// Watches the modem control lines of the open serial port for the main
// window: reads them on idle poll ticks, turns each change into an 'I'
// record, drives DTR and RTS and times a break without blocking. Engine
// thread only.
#pragma once

#include <chrono>

#include "mainwnd/engine_context.h"
#include "ports/stream_port.h"

namespace qelvor {

class CControlLineWatch {
  public:
    using Clock = std::chrono::steady_clock;
    // The lines are read at most this often: TIOCMGET is a system call, and
    // the poll runs every millisecond.
    static constexpr std::chrono::milliseconds kReadInterval{50};
    static constexpr std::chrono::milliseconds kBreakLength{250};

    explicit CControlLineWatch(CEngineContext& context) : ctx_(context) {}

    // A port opened: its lines are read once, without records, to learn
    // whether it has any and their levels.
    void Start(StreamPort::CStreamPort& port, Clock::time_point now);
    // The port closes: a break under way ends first, the lines are hidden.
    void Stop();
    // Every poll tick: a break whose time is up ends.
    void OnTick(Clock::time_point now);
    // A poll tick that found no data: reads the lines when kReadInterval
    // has passed since the last read.
    void OnIdleTick(Clock::time_point now);
    // Raise (on) or lower DTR or RTS; true when the port did it.
    bool SetDtr(bool on);
    bool SetRts(bool on);
    // Starts a break of kBreakLength, ended by OnTick; false while one runs,
    // or when the port has no lines.
    bool SendBreak(Clock::time_point now);

  private:
    bool Watching() const { return port_ != nullptr && ctx_.state.controlLines.available; }
    // Reads the lines; records the changes of the bits in reported.
    void ReadLines(int reported);
    bool SetOutput(int bit, bool on, StreamPort::ControlRequest set,
                   StreamPort::ControlRequest clear);
    void RecordChanges(int before, int after, int reported);
    // The port answered kLinesNotAvailable: the window says so from now on.
    void MarkNotAvailable();

    CEngineContext& ctx_;
    StreamPort::CStreamPort* port_ = nullptr;
    Clock::time_point lastRead_{};
    Clock::time_point breakEnd_{};
};

}  // namespace qelvor
