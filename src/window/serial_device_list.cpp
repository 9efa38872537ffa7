#include "window/serial_device_list.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <list>

#include "ports/serial_port_enum.h"
#include "ports/serial_port_watcher.h"
#include "window/local_text.h"

namespace qelvor {

namespace {

constexpr const char* kByIdFolder = "/dev/serial/by-id";

// The node a path names once links are followed, so that a by-id link and
// its device count as one.
std::string RealPath(const std::string& path) {
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) != nullptr ? std::string(real) : path;
}

// udev's name is "model (ttyUSB0)", or the bare device name without a model.
std::string Description(const StreamPort::CSerialPortInfo& port) {
    const std::string name = port.devicePath.substr(port.devicePath.rfind('/') + 1);
    const std::string suffix = " (" + name + ")";
    const std::string& shown = port.displayName;
    if (shown.size() > suffix.size() &&
        shown.compare(shown.size() - suffix.size(), suffix.size(), suffix) == 0)
        return shown.substr(0, shown.size() - suffix.size());
    return shown == name ? std::string() : shown;
}

std::string ByIdLink(const std::string& real) {
    const QDir folder(QString::fromLatin1(kByIdFolder));
    for (const QString& name :
         folder.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        const std::string link = std::string(kByIdFolder) + "/" + name.toStdString();
        if (RealPath(link) == real) return link;
    }
    return std::string();
}

}  // namespace

CSerialDeviceList::CSerialDeviceList(std::vector<std::string> alsoLook, QObject* parent)
    : QObject(parent), alsoLook_(std::move(alsoLook)) {
    watcher_ = std::make_unique<StreamPort::CSerialPortWatcher>();
    // Without udev's monitor the list is found once, when the dialog opens.
    if (watcher_->Fd() < 0) return;
    notifier_ = new QSocketNotifier(watcher_->Fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        if (watcher_->DrainEvents()) emit changed();
    });
}

CSerialDeviceList::~CSerialDeviceList() = default;

std::vector<SerialDevice> CSerialDeviceList::Find() const {
    std::list<StreamPort::CSerialPortInfo> ports;
    StreamPort::EnumSerialPorts(ports, false);  // what it found is offered either way
    std::vector<SerialDevice> devices;
    std::vector<std::string> seen;
    const auto add = [&](const std::string& path, const std::string& description) {
        const std::string real = RealPath(path);
        if (std::find(seen.begin(), seen.end(), real) != seen.end()) return;
        SerialDevice device{path, description, std::string(), std::string()};
        if (!Check(path, device)) return;
        device.byId = ByIdLink(real);
        seen.push_back(real);
        devices.push_back(std::move(device));
    };
    for (const StreamPort::CSerialPortInfo& port : ports)
        add(port.devicePath, Description(port));
    for (const std::string& path : alsoLook_)
        add(path, std::string());
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.path < b.path; });
    return devices;
}

bool CSerialDeviceList::Check(const std::string& path, SerialDevice& device) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
        std::string group;
        StreamPort::CheckPortUse(path, &group);
        device.state = LocalBytes(tr("no access: group %1").arg(QString::fromStdString(group)));
        return true;
    }
    if (fd < 0 && errno != EBUSY) return false;  // gone, or no tty at all
    const std::string reason =
        StreamPort::PortBusyReason(fd, path, StreamPort::DefaultLockFolders());
    if (fd >= 0) ::close(fd);
    if (!reason.empty()) device.state = LocalBytes(BusyText(reason));
    return true;
}

// The discovery says in English who holds a device; the dialog says it in
// the window's language.
QString CSerialDeviceList::BusyText(const std::string& reason) {
    int pid = 0;
    if (std::sscanf(reason.c_str(), "busy: locked by process %d", &pid) == 1)
        return tr("busy: locked by process %1").arg(pid);
    return tr("busy: held by another program");
}

QStringList CSerialDeviceList::PathCompletions() {
    QStringList paths;
    const std::pair<QString, QStringList> folders[] = {
        {QStringLiteral("/dev"), {QStringLiteral("tty*")}},
        {QString::fromLatin1(kByIdFolder), {}},
        {QStringLiteral("/dev/pts"), {QStringLiteral("[0-9]*")}}};
    for (const auto& [folder, patterns] : folders) {
        const QDir dir(folder);
        for (const QString& name :
             dir.entryList(patterns, QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
            paths << dir.filePath(name);
    }
    return paths;
}

}  // namespace qelvor
