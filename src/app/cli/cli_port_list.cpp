#include "app/cli/cli_port_list.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

#include <memory>

namespace qelvor {

namespace {

constexpr const char* kByIdFolder = "/dev/serial/by-id";

std::string RealPath(const std::string& path) {
    std::unique_ptr<char, decltype(&free)> resolved(realpath(path.c_str(), nullptr), &free);
    return resolved ? std::string(resolved.get()) : std::string();
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

std::string UseText(const StreamPort::CSerialPortInfo& port) {
    if (port.inUse != 0) return "in use";
    if (!port.accessGroup.empty()) return "needs group " + port.accessGroup;
    return "free";
}

}  // namespace

std::map<std::string, std::string> LinksByDevice(const std::string& folder) {
    std::map<std::string, std::string> links;
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return links;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string link = folder + "/" + name;
        const std::string device = RealPath(link);
        // Of two links to one device the first in name order is shown.
        if (!device.empty() && (links.count(device) == 0 || link < links[device]))
            links[device] = link;
    }
    return links;
}

std::string PortListText(const std::list<StreamPort::CSerialPortInfo>& ports,
                         const std::map<std::string, std::string>& byId) {
    std::string text;
    for (const StreamPort::CSerialPortInfo& port : ports) {
        const auto link = byId.find(port.devicePath);
        text += port.displayName + "\t" + port.devicePath + "\t" +
                (link != byId.end() ? link->second : std::string("-")) + "\t" + UseText(port) +
                "\n";
    }
    return text;
}

int ListSerialPorts(std::string& out, std::string& error) {
    std::list<StreamPort::CSerialPortInfo> ports;
    if (StreamPort::EnumSerialPorts(ports, true) == 0) {
        error = "cannot ask udev for the serial ports";
        return 1;
    }
    out = PortListText(ports, LinksByDevice(kByIdFolder));
    if (ports.empty()) error = "no serial ports found";
    return 0;
}

}  // namespace qelvor
