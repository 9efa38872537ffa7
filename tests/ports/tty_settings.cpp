#include "tty_settings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace porttest {

bool ReadTtyLine(int fd, TtyLine* out) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    *out = {
        (t.c_cflag & PARODD) != 0,
        (t.c_cflag & CMSPAR) != 0,
        (t.c_cflag & CSTOPB) != 0,
        (t.c_cflag & CRTSCTS) != 0,
        ((t.c_iflag & IXON) != 0) + ((t.c_iflag & IXOFF) != 0),
        (t.c_lflag & (ICANON | ECHO)) == 0 && (t.c_oflag & OPOST) == 0 && (t.c_iflag & ICRNL) == 0,
        t.c_ispeed == t.c_ospeed ? t.c_ospeed : 0};
    return true;
}

}  // namespace porttest
