#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "ports/port_test_util.h"

unsigned porttest::ReadTtyRate(int fd) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0 || t.c_ispeed != t.c_ospeed) return 0;
    return t.c_ospeed;
}
