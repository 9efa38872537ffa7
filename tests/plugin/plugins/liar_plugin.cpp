// A plug-in that claims more bytes than the buffer holds, at both steps:
// fnFmtMsg asks for a little more room, fnGetMsg then reports a length past
// the end of the buffer it was given. A line starting with 'H' asks for an
// absurd amount of room instead.
#include <climits>
#include <cstring>

extern "C" {

int fnInitEvn() {
    return 0;
}

int fnFmtMsg(char* buffer, int messageLength, int* bufferSize) {
    if (messageLength > 0 && buffer[0] == 'H') return INT_MAX;
    const int claimed = *bufferSize + 1;
    *bufferSize = 1 << 30;  // a lie the host must not believe
    return claimed;
}

int fnGetMsg(char* buffer, int bufferSize) {
    std::memset(buffer, 'L', static_cast<size_t>(bufferSize));
    return bufferSize + 4096;
}

int fnMsgSize() {
    return 0;
}
}
