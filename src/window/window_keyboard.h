// The main window's keyboard order and the names a screen reader reads: Tab
// walks the dialog controls as they read (top to bottom, left to right), then
// the bands' controls, then the status bar's menu button; each control gets a
// name that says what it is for, whatever its caption shows at the moment.
// User-interface thread only.
#pragma once

#include <QCoreApplication>

class QWidget;

namespace qelvor {

class CWindowKeyboard {
    Q_DECLARE_TR_FUNCTIONS(qelvor::CWindowKeyboard)

  public:
    // Sets the Tab order and the accessible names below window, finding the
    // controls by their object names.
    static void Arrange(QWidget* window);
};

}  // namespace qelvor
