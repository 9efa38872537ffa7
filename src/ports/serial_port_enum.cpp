#include "ports/serial_port_enum.h"

#include <fcntl.h>
#include <grp.h>
#include <libudev.h>
#include <linux/serial.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <sstream>

namespace StreamPort {

namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
};
using UdevPtr = std::unique_ptr<udev, UdevDeleter>;
using EnumeratePtr = std::unique_ptr<udev_enumerate, UdevDeleter>;

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string GroupOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return "?";
    const group* gr = ::getgrgid(st.st_gid);
    return gr != nullptr ? gr->gr_name : std::to_string(st.st_gid);
}

bool ProcessAlive(int pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// The start of a lock file; empty unless it is a regular file. Anyone may
// create files in the lock folder, so a FIFO (whose open would wait for a
// writer), a link to a device or an endless file must neither hang nor
// exhaust the caller: the open never waits and a short prefix is read.
std::string ReadLockFile(const std::string& path) {
    FileDescriptor fd(
        ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::string();
    char buf[64];
    ssize_t got = ::read(fd.get(), buf, sizeof buf);
    return got > 0 ? std::string(buf, static_cast<size_t>(got)) : std::string();
}

// The live process that a UUCP lock file (LCK..name) of another serial
// program names; 0 when there is none.
int LockFileOwner(const std::string& path, const std::vector<std::string>& lockFolders) {
    std::string name = BaseName(path);
    for (const std::string& dir : lockFolders) {
        int pid = ParseLockFilePid(ReadLockFile(dir + "/LCK.." + name));
        if (ProcessAlive(pid)) return pid;
    }
    return 0;
}

// The process holding a flock on the device node at path, from the kernel's
// table of locks (/proc/locks: "1: FLOCK ADVISORY WRITE pid maj:min:inode ...");
// 0 when none is listed.
int FlockOwner(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string id, kind, mode, access, node;
        int pid = 0;
        if (!(fields >> id >> kind >> mode >> access >> pid >> node) || kind != "FLOCK") continue;
        unsigned nodeMajor = 0, nodeMinor = 0;
        unsigned long inode = 0;
        if (std::sscanf(node.c_str(), "%x:%x:%lu", &nodeMajor, &nodeMinor, &inode) == 3 &&
            nodeMajor == major(st.st_dev) && nodeMinor == minor(st.st_dev) && inode == st.st_ino) {
            return pid;
        }
    }
    return 0;
}

std::string HolderText(const std::string& path, const std::vector<std::string>& lockFolders) {
    int pid = LockFileOwner(path, lockFolders);
    if (pid == 0) pid = FlockOwner(path);
    if (pid == 0) return "busy: held exclusively by another program";
    return "busy: locked by process " + std::to_string(pid);
}

// A ttyS node exists for every port the 8250 driver reserves; only those
// with a UART found behind them report a known type.
bool HasRealUart(const std::string& devnode) {
    FileDescriptor fd(::open(devnode.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) return errno == EACCES || errno == EBUSY;
    serial_struct info{};
    if (::ioctl(fd.get(), TIOCGSERIAL, &info) != 0) return false;
    return info.type != PORT_UNKNOWN;
}

std::string DisplayName(udev_device* dev, const std::string& name) {
    for (const char* key : {"ID_MODEL_FROM_DATABASE", "ID_MODEL", "ID_VENDOR"}) {
        const char* text = udev_device_get_property_value(dev, key);
        if (text != nullptr && *text != '\0') return std::string(text) + " (" + name + ")";
    }
    return name;
}

// Fills info from one udev entry; false when it is no usable serial port.
bool DescribeDevice(udev* u, const char* syspath, CSerialPortInfo& info) {
    udev_device* dev = udev_device_new_from_syspath(u, syspath);
    if (dev == nullptr) return false;
    const char* node = udev_device_get_devnode(dev);
    const char* sysname = udev_device_get_sysname(dev);
    bool usable = node != nullptr && sysname != nullptr && udev_device_get_parent(dev) != nullptr;
    if (usable && std::strncmp(sysname, "ttyS", 4) == 0) usable = HasRealUart(node);
    if (usable) {
        info.devicePath = node;
        info.displayName = DisplayName(dev, sysname);
    }
    udev_device_unref(dev);
    return usable;
}

void MarkUse(std::list<CSerialPortInfo>& list) {
    for (auto it = list.begin(); it != list.end();) {
        std::string group;
        PortUse use = CheckPortUse(it->devicePath, &group);
        if (use == PortUse::Gone) {
            it = list.erase(it);
            continue;
        }
        it->inUse = use == PortUse::InUse ? 1 : 0;
        if (use == PortUse::NoAccess) it->accessGroup = group;
        ++it;
    }
}

}  // namespace

// No Linux process id is above this (PID_MAX_LIMIT).
constexpr int64_t kMaxPid = 4194304;

int ParseLockFilePid(const std::string& content) {
    size_t i = content.find_first_not_of(" \t\r\n");
    if (i != std::string::npos && content[i] >= '0' && content[i] <= '9') {
        int64_t pid = 0;
        for (; i < content.size() && content[i] >= '0' && content[i] <= '9'; ++i) {
            pid = pid * 10 + (content[i] - '0');
            if (pid > kMaxPid) return 0;
        }
        return static_cast<int>(pid);
    }
    // The older binary form: the pid as a native 4-byte integer.
    if (content.size() == sizeof(int32_t)) {
        int32_t pid = 0;
        std::memcpy(&pid, content.data(), sizeof pid);
        return pid > 0 && pid <= kMaxPid ? pid : 0;
    }
    return 0;
}

std::vector<std::string> DefaultLockFolders() {
    return {"/var/lock", "/run/lock"};
}

std::string PortBusyReason(int fd, const std::string& path,
                           const std::vector<std::string>& lockFolders) {
    if (fd < 0) return HolderText(path, lockFolders);
    // Root gets through another program's exclusive mark, so the mark itself
    // is asked; the flock shows a holder that set no mark.
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        return HolderText(path, lockFolders);
    }
    // Only a lock that another holds counts; a file system without flock
    // support does not make the port busy.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        return HolderText(path, lockFolders);
    }
    if (LockFileOwner(path, lockFolders) != 0) return HolderText(path, lockFolders);
    return std::string();
}

PortUse CheckPortUse(const std::string& path, std::string* group,
                     const std::vector<std::string>& lockFolders) {
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == EBUSY) return PortUse::InUse;
        if (errno != EACCES) return PortUse::Gone;
        if (group != nullptr) *group = GroupOf(path);
        return PortUse::NoAccess;
    }
    return PortBusyReason(fd.get(), path, lockFolders).empty() ? PortUse::Free : PortUse::InUse;
}

int EnumSerialPorts(std::list<CSerialPortInfo>& list, bool checkInUse) {
    list.clear();
    UdevPtr u(udev_new());
    if (!u) return 0;
    EnumeratePtr en(udev_enumerate_new(u.get()));
    if (!en || udev_enumerate_add_match_subsystem(en.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(en.get()) < 0) {
        return 0;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(en.get())) {
        CSerialPortInfo info;
        if (DescribeDevice(u.get(), udev_list_entry_get_name(entry), info)) {
            list.push_back(std::move(info));
        }
    }
    if (checkInUse) MarkUse(list);
    return 1;
}

std::string PortListLine(const CSerialPortInfo& info, const std::string& inUsedText,
                         const std::string& noAccessText) {
    if (info.inUse) return info.displayName + "\t\t " + inUsedText;
    if (!info.accessGroup.empty()) {
        return info.displayName + "\t\t " + noAccessText + " (" + info.accessGroup + ")";
    }
    return info.displayName;
}

}  // namespace StreamPort
