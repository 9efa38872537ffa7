// A plug-in whose answer is larger than the host's buffer: it asks for room
// through its result and hands the answer over through fnGetMsg.
#include <string>

namespace {
std::string answer;
}

extern "C" {

int fnInitEvn() {
    return 0;
}

int fnFmtMsg(char* buffer, int messageLength, int* bufferSize) {
    // The message repeated until it is longer than the buffer offered.
    const std::string message(buffer, static_cast<size_t>(messageLength));
    answer.clear();
    while (answer.size() <= static_cast<size_t>(*bufferSize))
        answer += message.empty() ? "!" : message;
    return static_cast<int>(answer.size());
}

int fnGetMsg(char* buffer, int bufferSize) {
    if (static_cast<size_t>(bufferSize) < answer.size()) return -1;
    answer.copy(buffer, answer.size());
    return static_cast<int>(answer.size());
}

int fnMsgSize() {
    return static_cast<int>(answer.size());
}
}
