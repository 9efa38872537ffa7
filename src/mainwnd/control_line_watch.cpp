#include "mainwnd/control_line_watch.h"

#include <string>

namespace qelvor {

namespace {

using StreamPort::ControlRequest;

// The lines as the traffic list names them; inputs first.
struct LineName {
    int bit;
    const char* name;
};
constexpr LineName kLineNames[] = {
    {StreamPort::kLineCts, "CTS"}, {StreamPort::kLineDsr, "DSR"}, {StreamPort::kLineDcd, "DCD"},
    {StreamPort::kLineRi, "RI"},   {StreamPort::kLineDtr, "DTR"}, {StreamPort::kLineRts, "RTS"},
};

// The inputs change by themselves; the outputs are recorded when this
// program sets them, so a poll records only the inputs.
constexpr int kInputLines =
    StreamPort::kLineCts | StreamPort::kLineDsr | StreamPort::kLineDcd | StreamPort::kLineRi;

}  // namespace

void CControlLineWatch::Start(StreamPort::CStreamPort& port, Clock::time_point now) {
    port_ = &port;
    ControlLineState& lines = ctx_.state.controlLines;
    lines = ControlLineState{};
    lines.shown = true;
    int bits = 0;
    lines.available = port.ControlLines(ControlRequest::GetLines, bits) == StreamPort::kLinesDone;
    if (lines.available) lines.lines = bits;
    lastRead_ = now;
    ctx_.Changed(kChangedLines);
}

void CControlLineWatch::Stop() {
    ControlLineState& lines = ctx_.state.controlLines;
    if (port_ != nullptr && lines.breakOn) {
        int ignored = 0;
        port_->ControlLines(ControlRequest::BreakOff, ignored);
    }
    port_ = nullptr;
    if (!lines.shown && !lines.breakOn) return;
    lines = ControlLineState{};
    ctx_.Changed(kChangedLines);
}

void CControlLineWatch::OnTick(Clock::time_point now) {
    ControlLineState& lines = ctx_.state.controlLines;
    if (port_ == nullptr || !lines.breakOn || now < breakEnd_) return;
    int ignored = 0;
    port_->ControlLines(ControlRequest::BreakOff, ignored);
    lines.breakOn = false;
    ctx_.exchange.AddRecord('I', "Break off");
    ctx_.Changed(kChangedLines);
}

void CControlLineWatch::OnIdleTick(Clock::time_point now) {
    if (!Watching() || now - lastRead_ < kReadInterval) return;
    lastRead_ = now;
    ReadLines(kInputLines);
}

void CControlLineWatch::ReadLines(int reported) {
    int bits = 0;
    const int result = port_->ControlLines(ControlRequest::GetLines, bits);
    if (result == StreamPort::kLinesNotAvailable) {
        MarkNotAvailable();
        return;
    }
    // A failed read (a device that vanished) keeps the last levels: the
    // port's status tells what happened.
    ControlLineState& lines = ctx_.state.controlLines;
    if (result != StreamPort::kLinesDone || bits == lines.lines) return;
    const int before = lines.lines;
    lines.lines = bits;
    RecordChanges(before, bits, reported);
    ctx_.Changed(kChangedLines);
}

void CControlLineWatch::RecordChanges(int before, int after, int reported) {
    for (const LineName& line : kLineNames) {
        if (((before ^ after) & reported & line.bit) == 0) continue;
        ctx_.exchange.AddRecord('I',
                                std::string(line.name) + ((after & line.bit) ? " on" : " off"));
    }
}

void CControlLineWatch::MarkNotAvailable() {
    ControlLineState& lines = ctx_.state.controlLines;
    lines.available = false;
    lines.lines = 0;
    ctx_.Changed(kChangedLines);
}

bool CControlLineWatch::SetOutput(int bit, bool on, ControlRequest set, ControlRequest clear) {
    if (!Watching()) return false;
    int ignored = 0;
    const int result = port_->ControlLines(on ? set : clear, ignored);
    if (result == StreamPort::kLinesNotAvailable) MarkNotAvailable();
    if (result != StreamPort::kLinesDone) return false;
    ControlLineState& lines = ctx_.state.controlLines;
    lines.lines = on ? (lines.lines | bit) : (lines.lines & ~bit);
    // Recorded even when the level was already there: the user pressed the
    // button and sees it answered.
    RecordChanges(lines.lines ^ bit, lines.lines, bit);
    ctx_.Changed(kChangedLines);
    return true;
}

bool CControlLineWatch::SetDtr(bool on) {
    return SetOutput(StreamPort::kLineDtr, on, ControlRequest::SetDtr, ControlRequest::ClearDtr);
}

bool CControlLineWatch::SetRts(bool on) {
    return SetOutput(StreamPort::kLineRts, on, ControlRequest::SetRts, ControlRequest::ClearRts);
}

bool CControlLineWatch::SendBreak(Clock::time_point now) {
    ControlLineState& lines = ctx_.state.controlLines;
    if (!Watching() || lines.breakOn) return false;
    int ignored = 0;
    const int result = port_->ControlLines(ControlRequest::BreakOn, ignored);
    if (result == StreamPort::kLinesNotAvailable) MarkNotAvailable();
    if (result != StreamPort::kLinesDone) return false;
    lines.breakOn = true;
    breakEnd_ = now + kBreakLength;
    ctx_.exchange.AddRecord('I', "Break on");
    ctx_.Changed(kChangedLines);
    return true;
}

}  // namespace qelvor
