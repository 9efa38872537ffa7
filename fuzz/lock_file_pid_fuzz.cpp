// Feeds arbitrary lock-file contents to the pid reader: whatever another
// program left in /var/lock, the result is 0 or a pid the kernel could hand
// out, and leading digits decide it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ports/serial_port_enum.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string content(reinterpret_cast<const char*>(data), size);
    const int pid = StreamPort::ParseLockFilePid(content);
    if (pid < 0 || pid > 4194304) std::abort();
    // Text that starts (after blanks) with a digit is read as decimal only.
    size_t first = content.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && content[first] >= '0' && content[first] <= '9') {
        long long expected = 0;
        for (size_t i = first; i < content.size() && content[i] >= '0' && content[i] <= '9'; ++i) {
            expected = expected * 10 + (content[i] - '0');
            if (expected > 4194304) {
                expected = 0;
                break;
            }
        }
        if (pid != expected) std::abort();
    }
    return 0;
}
