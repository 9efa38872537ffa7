// A plug-in that leaves lines alone (result 0), refuses lines starting with
// '-' (a negative result) and scribbles over the buffer meanwhile, so that a
// host that read the buffer after such results would be caught.
#include <cstring>

extern "C" {

int fnInitEvn() {
    return 0;
}

int fnFmtMsg(char* buffer, int messageLength, int*) {
    if (messageLength <= 0) return 0;
    const bool refuse = buffer[0] == '-';
    std::memset(buffer, '#', static_cast<size_t>(messageLength));
    return refuse ? -5 : 0;
}

int fnGetMsg(char*, int) {
    return -1;
}

int fnMsgSize() {
    return 0;
}
}
