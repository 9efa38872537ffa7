// The window menu's capture-file commands: "Open session..." shows a capture
// file read-only in the traffic list, "Keep this session" keeps the run's
// file when the program ends; and at start, each capture file an earlier run
// left unended is offered to be opened or deleted. User-interface thread.
#pragma once

#include <QObject>

class QAction;
class QMenu;
class QWidget;

namespace qelvor {

class CMainEngine;
struct LeftSession;

class CSessionCommands : public QObject {
    Q_OBJECT

  public:
    CSessionCommands(CMainEngine& engine, QMenu& menu, QWidget& window);

    // Asks about each capture file left unended, oldest first, until one is
    // opened: "Open it", "Delete it" or "Later" (asked again next start).
    void OfferLeftSessions();
    // The question for one left file, in the window's language.
    static QString LeftSessionQuestion(const LeftSession& session);

  private:
    void AskAndOpen();
    // True when the file was opened.
    bool Offer(const LeftSession& session);

    CMainEngine& engine_;
    QWidget& window_;
    QAction* keep_ = nullptr;
};

}  // namespace qelvor
