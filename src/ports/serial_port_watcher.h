// Tells when serial devices come or go: a udev monitor of tty devices whose
// descriptor becomes readable on every add or remove. Owned and used by one
// thread (the serial port list's), which watches Fd() in its event loop.
#pragma once

struct udev;
struct udev_monitor;

namespace StreamPort {

class CSerialPortWatcher {
  public:
    CSerialPortWatcher();
    CSerialPortWatcher(const CSerialPortWatcher&) = delete;
    CSerialPortWatcher& operator=(const CSerialPortWatcher&) = delete;
    ~CSerialPortWatcher();

    // Non-blocking descriptor, readable while events wait; -1 when udev's
    // monitor could not be set up (the list then refreshes only by hand).
    int Fd() const;
    // Takes every waiting event without blocking; true when at least one of
    // them was an add or a remove of a tty device.
    bool DrainEvents();

  private:
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
};

}  // namespace StreamPort
