#include "window/session_commands.h"

#include <QAction>
#include <QDateTime>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include "mainwnd/main_engine.h"
#include "traffic/left_sessions.h"
#include "window/local_text.h"

namespace qelvor {

CSessionCommands::CSessionCommands(CMainEngine& engine, QMenu& menu, QWidget& window)
    : QObject(&window), engine_(engine), window_(window) {
    QAction* open = menu.addAction(tr("Open session..."));
    open->setObjectName(QStringLiteral("OpenSession"));
    connect(open, &QAction::triggered, this, &CSessionCommands::AskAndOpen);
    keep_ = menu.addAction(tr("Keep this session"));
    keep_->setObjectName(QStringLiteral("KeepSession"));
    keep_->setCheckable(true);
    connect(keep_, &QAction::toggled, this, [this](bool on) { engine_.KeepSession(on); });
    // An opened or a new capture file has its own choice: shown as it is.
    connect(&menu, &QMenu::aboutToShow, this, [this] { keep_->setChecked(engine_.SessionKept()); });
}

QString CSessionCommands::LeftSessionQuestion(const LeftSession& session) {
    const QString date = QDateTime::fromSecsSinceEpoch(session.created)
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return tr("A capture of %1 was not closed: open it / delete it").arg(date);
}

void CSessionCommands::AskAndOpen() {
    const QString path = QFileDialog::getOpenFileName(&window_, tr("Open session"),
                                                      LocalText(engine_.SessionsFolder()),
                                                      tr("Capture files (*.qcap);;All files (*)"));
    if (!path.isEmpty()) engine_.OpenSession(LocalBytes(path));
}

void CSessionCommands::OfferLeftSessions() {
    for (const LeftSession& session : engine_.LeftSessions())
        if (Offer(session)) return;
}

bool CSessionCommands::Offer(const LeftSession& session) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Qelvor"), LeftSessionQuestion(session),
                    QMessageBox::NoButton, &window_);
    box.setObjectName(QStringLiteral("LeftSession"));
    box.setInformativeText(LocalText(session.path));
    QPushButton* open = box.addButton(tr("Open it"), QMessageBox::AcceptRole);
    QPushButton* remove = box.addButton(tr("Delete it"), QMessageBox::DestructiveRole);
    box.addButton(tr("Later"), QMessageBox::RejectRole);
    open->setObjectName(QStringLiteral("OpenLeftSession"));
    remove->setObjectName(QStringLiteral("DeleteLeftSession"));
    box.exec();
    if (box.clickedButton() == remove) DeleteSession(session.path);
    return box.clickedButton() == open && engine_.OpenLeftSession(session.path);
}

}  // namespace qelvor
