// A tty's rate through the kernel's termios2, whose header cannot share a
// file with the C library's <termios.h>.
#pragma once

namespace porttest {

// The rate of the tty at fd, also one without a B constant; 0 when fd is no
// tty or input and output rates differ.
unsigned ReadTtyRate(int fd);

}  // namespace porttest
