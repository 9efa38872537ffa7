#include "window/address_fields.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <thread>

#include "config/com_set_form.h"
#include "ports/ipv4_resolver.h"
#include "window/local_text.h"

namespace qelvor {

namespace {

// The typing an address field accepts: up to four numbers 0..255 with dots.
QValidator* AddressValidator(QObject* parent) {
    static const QRegularExpression pattern(
        QStringLiteral("^((25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)?\\.){0,3}"
                       "(25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)?$"));
    return new QRegularExpressionValidator(pattern, parent);
}

}  // namespace

CAddressFields::CAddressFields(CComSetForm& form, QWidget* dialog)
    : QObject(dialog), form_(form), dialog_(dialog) {}

void CAddressFields::Adopt(QLineEdit* field) {
    field->setValidator(AddressValidator(field));
    field->installEventFilter(this);
}

std::string CAddressFields::Complete(const QString& typed) {
    QStringList fields = typed.split(QLatin1Char('.'));
    while (fields.size() < 4)
        fields << QString();
    for (QString& field : fields)
        if (field.isEmpty()) field = QStringLiteral("0");
    return LocalBytes(fields.mid(0, 4).join(QLatin1Char('.')));
}

bool CAddressFields::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field == nullptr) return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) {
        Paste(field);
        return true;
    }
    if (event->type() != QEvent::ContextMenu) return QObject::eventFilter(watched, event);
    // The menu's Paste takes the same way as the key.
    QMenu* menu = field->createStandardContextMenu();
    if (auto* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
        disconnect(paste, &QAction::triggered, nullptr, nullptr);
        connect(paste, &QAction::triggered, this, [this, field] { Paste(field); });
    }
    menu->exec(static_cast<QContextMenuEvent*>(event)->globalPos());
    delete menu;
    return true;
}

void CAddressFields::Paste(QLineEdit* field) {
    const std::string clipboard = LocalBytes(QApplication::clipboard()->text());
    const PasteOutcome outcome =
        form_.Paste(clipboard, [this](const std::string& name) { return LookUpHostAddress(name); });
    switch (outcome.action) {
        case PasteOutcome::Action::FillAddress:
            field->setText(LocalText(outcome.text));
            break;
        case PasteOutcome::Action::InsertText:
            field->insert(LocalText(outcome.text));
            break;
        case PasteOutcome::Action::PasteNormally:
            field->paste();
            break;
        case PasteOutcome::Action::Drop:
            break;
    }
}

std::string CAddressFields::LookUpHostAddress(const std::string& name) {
    std::string address;
    QEventLoop waiting;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    dialog_->setEnabled(false);
    // The lookup may take seconds without a network; the dialog keeps
    // drawing meanwhile, taking no input until the answer is in.
    std::thread worker([&address, &waiting, name] {
        address = ResolveIpv4(name);
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.exec();
    worker.join();
    dialog_->setEnabled(true);
    QApplication::restoreOverrideCursor();
    return address;
}

}  // namespace qelvor
