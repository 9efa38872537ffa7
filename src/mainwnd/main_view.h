// What the main window's engine needs from whoever shows it: the Qt window,
// the headless runner or a test recorder. Called on the engine's thread only.
#pragma once

#include <cstdint>
#include <string>

#include "config/message_box.h"

namespace qelvor {

// Which part of the engine's state changed; the view redraws what it shows of
// those parts. Several bits may arrive together.
enum StateChange : unsigned {
    kChangedButtons = 1u << 0,   // enabled state, caption, tool tip or visibility
    kChangedStatus = 1u << 1,    // a status pane or pane 0's tool tip
    kChangedTitle = 1u << 2,     // the window title
    kChangedSendText = 1u << 3,  // the send box
    kChangedBuffer = 1u << 4,    // the "Buffer" box
    kChangedRecords = 1u << 5,   // the number of traffic records
    kChangedScroll = 1u << 6,    // bring the newest record into view
    kChangedDataList = 1u << 7,  // the data list's lines or selection
    kChangedSettings = 1u << 8,  // a setting shown by a check box
    kChangedLines = 1u << 9,     // the serial port's modem control lines
    // The quick-send buttons, or whether their row is shown.
    kChangedQuickSends = 1u << 10,
};

// The main window's timers, by the number the window gives them.
enum EngineTimer : int {
    kTimerPoll = 1,          // the port poll, every 1 ms
    kTimerAutoSend = 3,      // auto-send and the stress test
    kTimerStartupSetup = 5,  // "-n" at start: the configuration dialog first
    kTimerBackup = 6,        // continuous-log backup and store clearing
    kTimerLoadData = 7,      // the data file named at start
    kTimerLoadStep = 8,      // a large data file cut into lines in steps
};

class IMainView : public IMessageBox {
  public:
    // The parts of the state named by the bits (StateChange) changed.
    virtual void OnStateChanged(unsigned what) = 0;
    // Starts timer id with the period, restarting it when it runs already.
    virtual void StartTimer(int id, int64_t periodMs) = 0;
    virtual void StopTimer(int id) = 0;
};

// A view that shows nothing, runs no timer and answers every question with
// OK: for programs that drive the engine's ticks themselves.
class CSilentView : public IMainView {
  public:
    void OnStateChanged(unsigned) override {}
    void StartTimer(int, int64_t) override {}
    void StopTimer(int) override {}
    MsgResult ShowMessageBox(const std::string&, const std::string&, MsgIcon, MsgButtons) override {
        return MsgResult::Ok;
    }
};

}  // namespace qelvor
