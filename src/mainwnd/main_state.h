// The main window's state as plain data: buttons, status panes, title, the
// send and Buffer boxes, auto-send and the file paths. Owned by the engine and
// read by its view on the engine's thread.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "mainwnd/command_ids.h"

namespace qelvor {

struct ButtonState {
    bool enabled = true;
    bool visible = true;
    std::string caption;
    std::string toolTip;
};

struct AutoSendState {
    int32_t lineIndex = 0;  // the data-list line the next tick sends
    uint32_t count = 0;     // lines sent since auto-send was started
    bool idle = true;
};

// The modem control lines of the open serial port, as last read.
struct ControlLineState {
    bool shown = false;      // a serial port is open: the window shows the lines
    bool available = false;  // the device has modem lines (a pty has none)
    int lines = 0;           // the StreamPort::kLine* bits
    bool breakOn = false;    // a break is being sent
};

class CMainState {
  public:
    CMainState();

    // The button of id; an unknown id gets a default entry.
    ButtonState& Button(int id) { return buttons_[id]; }
    const ButtonState& Button(int id) const;
    // The port and send buttons that are disabled say why in their tool
    // tips; enabled ones have none. handShake: Response answers the frames.
    void ExplainDisabledButtons(bool handShake, bool dataListShown);

    std::array<std::string, 4> panes;  // the status bar's four panes
    std::string pane0ToolTip;
    std::string title = "Qelvor";
    std::string sendText;
    std::string bufferText;
    AutoSendState autoSend;
    std::string dataFilePath;
    std::string lastSentFilePath;
    int shownStatusCode = 0;
    int idlePollCount = 0;
    ControlLineState controlLines;
    // Reopen attempts since the connection ended or the device vanished;
    // 0 while none is under way.
    int reconnectAttempts = 0;

  private:
    std::map<int, ButtonState> buttons_;
};

}  // namespace qelvor
