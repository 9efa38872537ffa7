// The serial devices the configuration dialog offers: those udev lists and
// those the settings name, each with its description, its by-id link and
// whether another program holds it; changed() tells when a tty device comes
// or goes. User-interface thread only (a check opens each device briefly).
#pragma once

#include <QObject>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "config/com_set_form.h"

class QSocketNotifier;

namespace StreamPort {
class CSerialPortWatcher;
}

namespace qelvor {

class CSerialDeviceList : public QObject {
    Q_OBJECT

  public:
    // alsoLook: device paths looked for besides udev's list (a pty, a by-id
    // link); each shows only while it is there.
    explicit CSerialDeviceList(std::vector<std::string> alsoLook, QObject* parent = nullptr);
    ~CSerialDeviceList() override;

    // The devices present now, sorted by path, each checked for use.
    std::vector<SerialDevice> Find() const;
    // What a device name may be completed to: /dev/tty*, /dev/serial/by-id/*
    // and /dev/pts/*.
    static QStringList PathCompletions();

  signals:
    void changed();

  private:
    // The device at path, with why it cannot be opened; false when it is gone.
    static bool Check(const std::string& path, SerialDevice& device);
    static QString BusyText(const std::string& reason);

    std::vector<std::string> alsoLook_;
    std::unique_ptr<StreamPort::CSerialPortWatcher> watcher_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace qelvor
