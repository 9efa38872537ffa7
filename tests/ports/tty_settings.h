// Reads a tty's line settings through the kernel's termios2, whose header
// cannot share a file with the C library's <termios.h> (which <pty.h> pulls in).
#pragma once

namespace porttest {

struct TtyLine {
    bool oddBit, stuckBit, twoStop, rtsCts;
    int xonXoff;  // how many of IXON and IXOFF are set
    bool raw;
    unsigned speed;  // output rate; 0 when the input rate differs
    bool operator==(const TtyLine&) const = default;
};

// The line settings of the tty open at fd; false when fd is no tty.
bool ReadTtyLine(int fd, TtyLine* out);

}  // namespace porttest
