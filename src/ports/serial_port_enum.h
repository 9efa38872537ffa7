// Discovery of the serial ports present on this machine (through udev) and
// of which of them another program holds. Plain functions without shared
// state; call them from the user-interface thread (they open each device
// briefly).
#pragma once

#include <list>
#include <string>

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

// Tries the device at path: InUse when its exclusive open is refused with
// EBUSY, when another open file holds its flock, or when a lock file
// (/var/lock or /run/lock LCK..name) names a live process; NoAccess (with the
// device's group in *group) on EACCES; Gone on any other failure.
PortUse CheckPortUse(const std::string& path, std::string* group);

// The process id a UUCP lock file's content names (ASCII digits with blanks
// around them, or a 4-byte binary pid); 0 when it names none.
int ParseLockFilePid(const std::string& content);

// The serial port list's line for one port: its name, and for a port in use
// "\t\t " and inUsedText; for a port this user may not open "\t\t " and
// noAccessText followed by the group's name in parentheses.
std::string PortListLine(const CSerialPortInfo& info, const std::string& inUsedText,
                         const std::string& noAccessText = "No access");

}  // namespace StreamPort
