// The test plug-ins, one behaviour each; CMake builds this file once per
// behaviour with TEST_PLUGIN_<NAME> defined.
#include <climits>
#include <cstring>
#include <string>

namespace {
bool initialised = false;
std::string answer;  // what fnGetMsg hands over
}  // namespace

extern "C" {

int fnInitEvn() {
    initialised = true;
    return 7;
}

int fnFmtMsg(char* buffer, int length, int* bufferSize) {
#if defined(TEST_PLUGIN_SHORTEN)
    // Removes every 'x' in place, and only after its set-up has run.
    if (!initialised || length > *bufferSize) return -1;
    int out = 0;
    for (int i = 0; i < length; ++i)
        if (buffer[i] != 'x') buffer[out++] = buffer[i];
    return out;
#elif defined(TEST_PLUGIN_GROW)
    // The line repeated until it no longer fits the buffer.
    answer.clear();
    while (answer.size() <= static_cast<size_t>(*bufferSize))
        answer += length > 0 ? std::string(buffer, static_cast<size_t>(length)) : "!";
    return static_cast<int>(answer.size());
#elif defined(TEST_PLUGIN_LIAR)
    // Asks for one byte more (and lies about the buffer); 'H' asks for INT_MAX.
    if (length > 0 && buffer[0] == 'H') return INT_MAX;
    const int claimed = *bufferSize + 1;
    *bufferSize = 1 << 30;
    return claimed;
#else
    // 0 keeps the line, a leading '-' refuses it; the buffer is scribbled on
    // so that a host reading it after either result is caught.
    (void)bufferSize;
    const bool refuse = length > 0 && buffer[0] == '-';
    std::memset(buffer, '#', static_cast<size_t>(length > 0 ? length : 0));
    return refuse ? -5 : 0;
#endif
}

int fnGetMsg(char* buffer, int bufferSize) {
#if defined(TEST_PLUGIN_LIAR)
    std::memset(buffer, 'L', static_cast<size_t>(bufferSize));
    return bufferSize + 4096;  // past the end of the buffer
#else
    if (static_cast<size_t>(bufferSize) < answer.size() || answer.empty()) return -1;
    answer.copy(buffer, answer.size());
    return static_cast<int>(answer.size());
#endif
}

#if !defined(TEST_PLUGIN_INCOMPLETE)  // the host must not call a library without it
int fnMsgSize() {
    return static_cast<int>(answer.size());
}
#endif
}
