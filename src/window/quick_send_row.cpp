#include "window/quick_send_row.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>

#include "mainwnd/main_engine.h"
#include "window/band_host.h"
#include "window/local_text.h"
#include "window/quick_send_dlg.h"

namespace qelvor {

namespace {

// The row's height in pixels, the window's fixed band height.
constexpr int kRowHeight = 28;
// A button narrower than its caption cuts it rather than pushing the row
// wider than the window; the tool tip holds the text.
constexpr int kNarrowestButton = 28;

}  // namespace

CQuickSendRow::CQuickSendRow(IBandHost& host) : host_(host), engine_(host.Engine()) {
    setObjectName(QStringLiteral("QuickSendRow"));
    setFixedHeight(kRowHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(3);
    for (int i = 0; i < CQuickSends::kCount; ++i) {
        auto* button = new QPushButton(this);
        button->setObjectName(QStringLiteral("QuickSend%1").arg(i + 1));
        button->setAutoDefault(false);
        button->setMinimumWidth(kNarrowestButton);
        button->hide();
        connect(button, &QPushButton::clicked, this, [this, i] { engine_.SendQuick(i); });
        buttons_[static_cast<size_t>(i)] = button;
        row->addWidget(button);
    }
    row->addStretch(1);
    auto* edit = new QPushButton(tr("Edit..."), this);
    edit->setObjectName(QStringLiteral("QuickSendEdit"));
    edit->setAutoDefault(false);
    connect(edit, &QPushButton::clicked, this, &CQuickSendRow::Edit);
    row->addWidget(edit);
    host_.AddBand(this);

    showAction_ = host_.WindowMenu()->addAction(tr("Quick-send buttons"));
    showAction_->setObjectName(QStringLiteral("ShowQuickSends"));
    showAction_->setCheckable(true);
    connect(showAction_, &QAction::triggered, this,
            [this](bool checked) { engine_.SetQuickSendsShown(checked); });
    BuildShortcuts();
    Refresh();
}

void CQuickSendRow::BuildShortcuts() {
    for (size_t i = 0; i < shortcuts_.size(); ++i) {
        auto* action = new QAction(this);
        action->setObjectName(QStringLiteral("QuickSendKey%1").arg(i + 1));
        action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + int(i))));
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, buttons_[i], &QPushButton::click);
        host_.AddWindowShortcut(action);
        shortcuts_[i] = action;
    }
}

void CQuickSendRow::Refresh() {
    // The send button's state tells a TCP client still connecting from one
    // that can send.
    ShowButtons(engine_.IsPortOpen() && engine_.State().Button(kIdSendData).enabled);
    ShowRow(engine_.QuickSends().Shown());
}

void CQuickSendRow::ShowButtons(bool portOpen) {
    const CQuickSends& quick = engine_.QuickSends();
    for (int i = 0; i < CQuickSends::kCount; ++i) {
        const QuickSend& send = quick.Button(i);
        QPushButton* button = buttons_[static_cast<size_t>(i)];
        button->setText(LocalText(send.name));
        button->setToolTip(LocalText(send.text));
        button->setEnabled(portOpen && !send.text.empty());
        button->setVisible(!send.Empty());
    }
}

void CQuickSendRow::ShowRow(bool shown) {
    showAction_->setChecked(shown);
    for (QAction* action : shortcuts_)
        action->setEnabled(shown);
    host_.SetBandShown(this, shown);
}

void CQuickSendRow::Edit() {
    CQuickSendDlg dialog(engine_, this);
    dialog.exec();
}

}  // namespace qelvor
