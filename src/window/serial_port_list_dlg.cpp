#include "window/serial_port_list_dlg.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QSocketNotifier>
#include <QVBoxLayout>
#include <climits>
#include <cstdlib>
#include <list>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "ports/serial_port.h"
#include "ports/serial_port_enum.h"
#include "ports/serial_port_watcher.h"

namespace qelvor {

namespace {

// The device a path names after links are followed, so that a by-id link
// and the node it points at count as one port.
std::string RealPath(const std::string& path) {
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) != nullptr ? std::string(real) : path;
}

// The configured device joins the list unless udev listed it already; it is
// checked as the others are, and left out when it is not there.
void AddConfiguredDevice(std::list<StreamPort::CSerialPortInfo>& ports, const std::string& path) {
    if (path.empty()) return;
    const std::string real = RealPath(path);
    for (const StreamPort::CSerialPortInfo& port : ports) {
        if (RealPath(port.devicePath) == real) return;
    }
    StreamPort::CSerialPortInfo info{path, path, 0, std::string()};
    const StreamPort::PortUse use = StreamPort::CheckPortUse(path, &info.accessGroup);
    if (use == StreamPort::PortUse::Gone) return;
    info.inUse = use == StreamPort::PortUse::InUse ? 1 : 0;
    ports.push_back(std::move(info));
}

std::string ConfiguredDevice(const CComSetting& settings) {
    StreamPort::CSerialPort port;
    port.SetComParam(settings.ComPort, settings.BaudRate, settings.ComName.c_str());
    return port.DevicePath();
}

}  // namespace

CSerialPortListDlg::CSerialPortListDlg(const CComSetting& settings, QWidget* parent)
    : QDialog(parent), configuredDevice_(ConfiguredDevice(settings)) {
    setObjectName(QStringLiteral("SerialPortListDialog"));
    setWindowTitle(tr("Serial Port in the workstation"));
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget;
    list_->setObjectName(QStringLiteral("PortList"));
    list_->setSortingEnabled(true);
    list_->setMinimumSize(420, 200);
    layout->addWidget(list_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* refresh = new QPushButton(tr("Refresh"));
    refresh->setObjectName(QStringLiteral("Refresh"));
    connect(refresh, &QPushButton::clicked, this, &CSerialPortListDlg::Refresh);
    auto* exit = new QPushButton(tr("Exit"));
    exit->setObjectName(QStringLiteral("Exit"));
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(refresh);
    buttons->addWidget(exit);
    layout->addLayout(buttons);
    Refresh();
    WatchDevices();
}

CSerialPortListDlg::~CSerialPortListDlg() = default;

void CSerialPortListDlg::WatchDevices() {
    watcher_ = std::make_unique<StreamPort::CSerialPortWatcher>();
    // Without udev's monitor the list refreshes only by hand.
    if (watcher_->Fd() < 0) return;
    notifier_ = new QSocketNotifier(watcher_->Fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        if (watcher_->DrainEvents()) Refresh();
    });
}

void CSerialPortListDlg::Refresh() {
    std::list<StreamPort::CSerialPortInfo> ports;
    StreamPort::EnumSerialPorts(ports, true);  // what it found is shown either way
    AddConfiguredDevice(ports, configuredDevice_);
    // The marks come from the string table (UTF-8), as the names from udev.
    const std::string inUsed = LoadStr(kStrInUsed);
    const std::string noAccess = tr("No access").toStdString();
    list_->clear();
    for (const StreamPort::CSerialPortInfo& port : ports)
        list_->addItem(QString::fromStdString(StreamPort::PortListLine(port, inUsed, noAccess)));
}

}  // namespace qelvor
