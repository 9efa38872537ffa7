#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace porttest {

unsigned ReadTtyRate(int fd) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0 || t.c_ispeed != t.c_ospeed) return 0;
    return t.c_ospeed;
}

}  // namespace porttest
