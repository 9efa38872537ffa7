// The main window's key filter, installed on the window and each of its
// controls: Escape is swallowed everywhere (the window never closes on it),
// F1 asks for the About box, Enter in the send box asks to send and is
// swallowed either way, so that no default button fires, and Up and Down in
// the send box walk its history. User-interface thread only.
#pragma once

#include <QObject>

class QWidget;

namespace qelvor {

class CKeyFilter : public QObject {
    Q_OBJECT

  public:
    CKeyFilter(QWidget* sendBox, QObject* parent);
    // Installs the filter on root and every widget below it but menus,
    // which need Escape to close.
    void InstallOn(QWidget* root);

  signals:
    void enterInSendBox();
    // Up and Down in the send box: the older or newer sent text.
    void olderInSendBox();
    void newerInSendBox();
    void helpRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* sendBox_;
};

}  // namespace qelvor
