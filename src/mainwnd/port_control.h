// Port connection control of the main window: owns the four port objects,
// chooses the current one, opens, polls and closes it, and keeps the status
// pane, the title and the port buttons up to date. Engine thread only.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "mainwnd/control_line_watch.h"
#include "mainwnd/engine_context.h"
#include "mainwnd/port_status_text.h"
#include "mainwnd/tap_session.h"
#include "tap/port_set.h"

namespace qelvor {

class CPortControl {
  public:
    explicit CPortControl(CEngineContext& context);
    CPortControl(const CPortControl&) = delete;
    CPortControl& operator=(const CPortControl&) = delete;

    StreamPort::CStreamPort& Current() { return *current_; }
    bool IsOpen() { return Tapping() ? tap_.IsOpen() : current_->IsOpen() != 0; }
    // WorkMode 30: the two endpoints of a tap instead of one port.
    bool Tapping() const { return ctx_.settings.WorkMode == kWorkModeTap; }
    const CTapSession& Tap() const { return tap_; }
    // Whether the current port can take a long write in pieces without
    // waiting (TryWrite): a connected TCP port or an open serial line.
    bool WritesInPieces();
    // What the current port takes now of the bytes, never waiting: the
    // count, 0 when it is full, -1 when it failed or cannot write in pieces.
    int TryWrite(const char* bytes, int length);

    // Makes the port of WorkMode current, closes the others and hands the
    // current one to the exchange. Returns 1.
    int SelectPort();
    // Configures and opens the current port; true when it opened. An open
    // port in ProtocolMode 1 starts the ASTM link.
    bool OpenPort();
    // Flushes the pending frame, ends the ASTM link, stops the poll, closes
    // every open port and shows the closed state.
    void ClosePort();
    // One tick of the poll timer: a TCP client's connect is finished here, a
    // TCP server listens again after a lost connection or a taken port, and
    // the bytes a connection left pending become their own record when it
    // ends, and the ASTM link starts afresh for the next peer. A serial
    // port's control lines are read on ticks that found no data. With
    // AutoReconnect, a TCP client whose connection ended or a serial port
    // whose device vanished is reopened every kReconnectInterval.
    void PollPort();
    static constexpr std::chrono::milliseconds kReconnectInterval{2000};
    // The serial port's control lines (DTR, RTS, break), engine thread only.
    CControlLineWatch& Lines() { return lines_; }
    void ShowPortStatus(int code);
    void UpdateTitle();
    // Lets the time until the next tick pass: a tap meanwhile writes into a
    // side whenever it has room; in the other modes nothing is done.
    void RelayUntil(std::chrono::steady_clock::time_point until) {
        if (Tapping()) tap_.RelayUntil(until);
    }

  private:
    bool OpenTap();
    void PollTap();
    void ConfigureCurrent();
    void ReceiveBlocks();
    void PollConnect();
    std::string OpenFailureText();
    void FlushIfConnectionEnded();
    void RecordLinkEvent(bool up);
    void CloseIfIdle(std::chrono::steady_clock::time_point now);
    void ReportUdpDrops(bool closing);
    void ReportLineChange();
    PortStatusFacts StatusFacts(int code);
    void EnableSendButtons(bool connected);
    void FlushPendingFrame();
    bool ShouldReconnect(int code) const;
    void StartReconnect(std::chrono::steady_clock::time_point now);
    void PollReconnect(std::chrono::steady_clock::time_point now);
    bool ReopenCurrent();
    void PollReconnectConnect();
    void Reconnected();

    CEngineContext& ctx_;
    tap::CPortSet ports_;
    StreamPort::CStreamPort* current_;
    std::vector<char> readBuffer_;
    // Why the last open failed, for the status tool tip; empty once open.
    std::string openFailure_;
    // The peer of the TCP connection that is up, as its events name it.
    std::string linkPeer_;
    bool tcpConnected_ = false;  // the TCP port was connected at the last look
    // When the TCP connection last brought bytes (or came up).
    std::chrono::steady_clock::time_point lastHeard_{};
    bool connecting_ = false;  // a TCP client's connect is under way
    CControlLineWatch lines_;
    bool reconnecting_ = false;  // the port is being reopened after a loss
    std::chrono::steady_clock::time_point nextReconnect_{};
    CTapSession tap_;
    // The tap's side the send box writes into, as the exchange was last told.
    StreamPort::CStreamPort* tapSendPort_ = nullptr;
};

}  // namespace qelvor
