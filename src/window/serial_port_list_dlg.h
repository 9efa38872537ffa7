// The serial port list "Serial Port in the workstation": the ports present
// on this machine, sorted, with the "In Used" mark on those another program
// holds and the owning group on those this user may not open. It lists
// again on Refresh and whenever a tty device comes or goes while it is open.
// The configured device is always checked too, so a port udev does not list
// (a pty, a by-id link) still shows. User-interface thread only.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

class QListWidget;
class QSocketNotifier;

namespace StreamPort {
class CSerialPortWatcher;
}

namespace qelvor {

class CComSetting;

class CSerialPortListDlg : public QDialog {
    Q_OBJECT

  public:
    CSerialPortListDlg(const CComSetting& settings, QWidget* parent = nullptr);
    ~CSerialPortListDlg() override;

    void Refresh();

  private:
    void WatchDevices();

    std::string configuredDevice_;
    QListWidget* list_ = nullptr;
    std::unique_ptr<StreamPort::CSerialPortWatcher> watcher_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace qelvor
