// Reads a tty's output rate through the kernel's termios2, whose header
// cannot share a file with the C library's <termios.h> (which <pty.h> pulls in).
#pragma once

namespace porttest {

// The output rate of the tty open at fd as a number (also one without a B
// constant); 0 when fd is no tty or the input runs at another rate.
unsigned ReadTtyRate(int fd);

}  // namespace porttest
