// Reads a tty's line settings through the kernel's termios2, whose header
// cannot share a file with the C library's <termios.h> (which <pty.h> pulls in).
#pragma once

namespace porttest {

struct TtySettings {
    unsigned iflag = 0;
    unsigned oflag = 0;
    unsigned cflag = 0;
    unsigned lflag = 0;
    unsigned ispeed = 0;
    unsigned ospeed = 0;
};

// The settings of the tty open at fd; false when fd is no tty.
bool ReadTtySettings(int fd, TtySettings* out);

// The flag bits the tests look for, from the kernel's header.
struct TtyFlags {
    unsigned csize, cs7, cs8, parenb, parodd, cmspar, cstopb, crtscts;
    unsigned ixon, ixoff, icanon, echo, opost, icrnl;
};
TtyFlags Flags();

}  // namespace porttest
