#include "tty_settings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace porttest {

bool ReadTtySettings(int fd, TtySettings* out) {
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    out->iflag = tio.c_iflag;
    out->oflag = tio.c_oflag;
    out->cflag = tio.c_cflag;
    out->lflag = tio.c_lflag;
    out->ispeed = tio.c_ispeed;
    out->ospeed = tio.c_ospeed;
    return true;
}

TtyFlags Flags() {
    return {CSIZE,   CS7,  CS8,   PARENB, PARODD, CMSPAR, CSTOPB,
            CRTSCTS, IXON, IXOFF, ICANON, ECHO,   OPOST,  ICRNL};
}

}  // namespace porttest
