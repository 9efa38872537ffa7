// The modem-lines band of the main window, shown while a serial port is
// open: DTR and RTS as check buttons, a Break button, and lamps for CTS, DSR,
// DCD and RI as the engine last read them. On a device without modem lines
// (a pty) it says so and its controls are disabled. User-interface thread
// only.
#pragma once

#include <QWidget>
#include <array>

class QLabel;
class QPushButton;
class QToolButton;

namespace qelvor {

class CMainEngine;
class IBandHost;
struct ControlLineState;

class CModemLinesBand : public QWidget {
    Q_OBJECT

  public:
    // Joins host as a band.
    explicit CModemLinesBand(IBandHost& host);

    // The band as State().controlLines has it (kChangedLines).
    void Refresh();

  private:
    QToolButton* AddOutput(const char* name, const char* label);
    QLabel* AddLamp(const char* name);
    void ShowLamp(QLabel* lamp, const QString& name, bool on);
    void ShowControls(const ControlLineState& lines);

    IBandHost& host_;
    CMainEngine& engine_;
    QToolButton* dtr_ = nullptr;
    QToolButton* rts_ = nullptr;
    QPushButton* break_ = nullptr;
    std::array<QLabel*, 4> lamps_{};  // CTS, DSR, DCD, RI
    QLabel* note_ = nullptr;
};

}  // namespace qelvor
