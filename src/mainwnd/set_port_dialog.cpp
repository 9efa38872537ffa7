#include "mainwnd/set_port_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace qelvor {

CSetPortDialog::CSetPortDialog(const std::string& iniPath, bool portOpen, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SetPortDialog"));
    setWindowTitle(tr("Port settings"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        tr("The settings are read from %1.\nThe port is %2.")
            .arg(QString::fromLocal8Bit(iniPath.c_str()), portOpen ? tr("open") : tr("closed")));
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

}  // namespace qelvor
