#include "ports/serial_port_watcher.h"

#include <fcntl.h>
#include <libudev.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>

namespace StreamPort {

CSerialPortWatcher::CSerialPortWatcher() {
    udev_ = udev_new();
    if (udev_ == nullptr) return;
    // Events that udev has processed when a udev daemon runs; the kernel's
    // own events where none does (a container). A monitor of udev's events
    // is made even without the daemon, but then it never reports anything.
    const bool daemonRuns = ::access("/run/udev/control", F_OK) == 0;
    for (const char* source : {daemonRuns ? "udev" : "kernel", "kernel"}) {
        monitor_ = udev_monitor_new_from_netlink(udev_, source);
        if (monitor_ == nullptr) continue;
        if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) >= 0 &&
            udev_monitor_enable_receiving(monitor_) >= 0) {
            break;
        }
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
    }
    if (monitor_ == nullptr) return;
    int fd = udev_monitor_get_fd(monitor_);
    int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

CSerialPortWatcher::~CSerialPortWatcher() {
    if (monitor_ != nullptr) udev_monitor_unref(monitor_);
    if (udev_ != nullptr) udev_unref(udev_);
}

int CSerialPortWatcher::Fd() const {
    return monitor_ != nullptr ? udev_monitor_get_fd(monitor_) : -1;
}

bool CSerialPortWatcher::DrainEvents() {
    if (monitor_ == nullptr) return false;
    bool changed = false;
    while (udev_device* dev = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(dev);
        if (action != nullptr &&
            (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0)) {
            changed = true;
        }
        udev_device_unref(dev);
    }
    return changed;
}

}  // namespace StreamPort
