// Discovery of the serial ports present on this machine (through udev) and
// of which of them another program holds. Plain functions without shared
// state; call them from the user-interface thread (they open each device
// briefly).
#pragma once

#include <list>
#include <string>
#include <vector>

namespace StreamPort {

// One serial port found on the machine.
struct CSerialPortInfo {
    std::string devicePath;  // the device node, e.g. /dev/ttyUSB0
    std::string
        displayName;  // udev model/vendor text and device name, e.g. "FT232R USB UART (ttyUSB0)"
    int inUse = 0;    // 1 when another program holds the port
    std::string accessGroup;  // non-empty when this user may not open it: the device's group
};

// How a check of one device path turned out.
enum class PortUse { Free, InUse, NoAccess, Gone };

// Lists the serial ports present (tty devices with a parent device; a ttyS
// only when a real UART is behind it), in udev's order, replacing the list.
// With checkInUse each is opened briefly: a port held by another program is
// marked in use, one this user may not open keeps its group in accessGroup,
// and one that fails otherwise (it vanished) is dropped. 1 when the
// enumeration ran to its end, 0 when udev could not be asked.
int EnumSerialPorts(std::list<CSerialPortInfo>& list, bool checkInUse);

// The folders searched for UUCP lock files (LCK..name): /var/lock, /run/lock.
std::vector<std::string> DefaultLockFolders();

// Whether another program holds the serial device at path, and who: the one
// decision that both the port list and Open make. fd is the caller's own
// descriptor of path, or -1 when its open was refused with EBUSY. Busy when
// the tty carries an exclusive mark (TIOCGEXCL), when another open file holds
// its flock, or when a lock file in lockFolders names a live process. Empty
// when free, and fd then holds the flock until it is closed; otherwise the
// reason: "busy: locked by process 1234", or "busy: held exclusively by
// another program" when no holder can be found.
std::string PortBusyReason(int fd, const std::string& path,
                           const std::vector<std::string>& lockFolders);

// Tries the device at path: InUse when its open is refused with EBUSY or
// PortBusyReason finds a holder; NoAccess (with the device's group in *group)
// on EACCES; Gone on any other failure.
PortUse CheckPortUse(const std::string& path, std::string* group,
                     const std::vector<std::string>& lockFolders = DefaultLockFolders());

// The process id a UUCP lock file's content names (ASCII digits with blanks
// around them, or a 4-byte binary pid); 0 when it names none.
int ParseLockFilePid(const std::string& content);

// The serial port list's line for one port: its name, and for a port in use
// "\t\t " and inUsedText; for a port this user may not open "\t\t " and
// noAccessText followed by the group's name in parentheses.
std::string PortListLine(const CSerialPortInfo& info, const std::string& inUsedText,
                         const std::string& noAccessText = "No access");

}  // namespace StreamPort
