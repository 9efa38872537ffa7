// A plug-in that removes every 'x' from the line, in place. It refuses to
// work until its set-up entry point has run.
#include <cstring>

namespace {
bool initialised = false;
}

extern "C" {

int fnInitEvn() {
    initialised = true;
    return 7;
}

int fnFmtMsg(char* buffer, int messageLength, int* bufferSize) {
    if (!initialised || messageLength > *bufferSize) return -1;
    int out = 0;
    for (int i = 0; i < messageLength; ++i) {
        if (buffer[i] != 'x') buffer[out++] = buffer[i];
    }
    return out;
}

int fnGetMsg(char*, int) {
    return -1;
}

int fnMsgSize() {
    return 0;
}
}
