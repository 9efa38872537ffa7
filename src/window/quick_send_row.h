// The quick-send row, a band of the main window: the current set's named
// buttons (empty ones hidden), each sending its text while the port is open,
// an "Edit..." button that opens their editor, the window-menu command that
// shows or hides the row, and Ctrl+1 .. Ctrl+9 for the first nine buttons.
// User-interface thread only.
#pragma once

#include <QWidget>
#include <array>

#include "mainwnd/quick_sends.h"

class QAction;
class QPushButton;

namespace qelvor {

class CMainEngine;
class IBandHost;

class CQuickSendRow : public QWidget {
    Q_OBJECT

  public:
    // Joins host as a band, with its command in the window's menu and its
    // shortcuts on the window.
    explicit CQuickSendRow(IBandHost& host);

    // The buttons, their captions and enabled state, and whether the row
    // shows, as the engine has them now (kChangedQuickSends, and the port
    // opening or closing).
    void Refresh();

  private:
    void BuildShortcuts();
    void ShowButtons(bool portOpen);
    void ShowRow(bool shown);
    void Edit();

    IBandHost& host_;
    CMainEngine& engine_;
    std::array<QPushButton*, CQuickSends::kCount> buttons_{};
    // Ctrl+1 .. Ctrl+9: only while the row shows, so that no key sends a
    // text the user cannot see.
    std::array<QAction*, 9> shortcuts_{};
    QAction* showAction_ = nullptr;
};

}  // namespace qelvor
