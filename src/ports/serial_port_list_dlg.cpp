#include "ports/serial_port_list_dlg.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>
#include <list>

#include "config/string_table.h"
#include "ports/serial_port_enum.h"

namespace qelvor {

CSerialPortListDlg::CSerialPortListDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SerialPortListDialog"));
    setWindowTitle(tr("Serial ports"));
    auto* layout = new QVBoxLayout(this);
    auto* list = new QListWidget;
    std::list<StreamPort::CSerialPortInfo> ports;
    if (StreamPort::EnumSerialPorts(ports, true) == 0) list->addItem(tr("udev cannot be asked"));
    for (const StreamPort::CSerialPortInfo& port : ports)
        list->addItem(
            QString::fromLocal8Bit(StreamPort::PortListLine(port, LoadStr(kStrInUsed)).c_str()));
    if (list->count() == 0) list->addItem(tr("no serial port found"));
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

}  // namespace qelvor
