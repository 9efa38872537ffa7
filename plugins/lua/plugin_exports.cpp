// The entry points of LuaPlugins.so. The host calls them from one thread
// under its own lock; the lock here keeps an answer held for fnGetMsg with
// the call that made it even for a host that does not.
#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "lua_script.h"
#include "plugin/hook_results.h"
#include "script_worker.h"

namespace {

using qelvor::lua::CLuaScript;
using qelvor::lua::CScriptWorker;

struct PluginState {
    std::mutex lock;
    // The worker and its script's state are made with the first line, not
    // at load time; the worker is killed when the library is unloaded.
    CScriptWorker script{CLuaScript::DefaultFolders()};
    // An answer too long for the host's buffer, until fnGetMsg takes it.
    std::string heldAnswer;
    std::string lastError;
};

PluginState& State() {
    static PluginState state;
    return state;
}

// Copies what fits; the number of bytes copied.
int CopyOut(const std::string& text, char* buffer, int bufferSize) {
    const size_t count = std::min(text.size(), static_cast<size_t>(bufferSize));
    std::memcpy(buffer, text.data(), count);
    return static_cast<int>(count);
}

// A non-empty answer: its length, in the buffer when shorter than
// *bufferSize, else held for fnGetMsg; below 0 when it cannot be told.
int HandOver(PluginState& state, std::string answer, char* buffer, const int* bufferSize) {
    if (answer.size() > static_cast<size_t>(INT_MAX) - 16) {
        state.lastError = "the answer is longer than 2 GiB";
        return -1;
    }
    const int size = static_cast<int>(answer.size());
    if (size < *bufferSize) return CopyOut(answer, buffer, size);
    state.heldAnswer = std::move(answer);
    return size;
}

// The result of a hook's call, as qelvor::kHook... tells.
int HookResult(PluginState& state, CScriptWorker::Outcome outcome, std::string answer, char* buffer,
               const int* bufferSize) {
    switch (outcome) {
        case CScriptWorker::Outcome::Keep:
            return qelvor::kHookPassed;
        case CScriptWorker::Outcome::Missing:
            return qelvor::kHookMissing;
        case CScriptWorker::Outcome::Fail:
            state.lastError = state.script.Error();
            return qelvor::kHookFailed;
        case CScriptWorker::Outcome::Replace:
            break;
    }
    if (answer.empty()) return qelvor::kHookSilent;
    const int size = HandOver(state, std::move(answer), buffer, bufferSize);
    return size > 0 ? size : qelvor::kHookFailed;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int fnInitEvn() {
    State();
    return 1;
}

// 0 keeps the line, a length below *bufferSize is an answer in the buffer,
// a larger one waits for fnGetMsg; below 0 the line is dropped, with the
// reason for fnLastError when the script failed.
__attribute__((visibility("default"))) int fnFmtMsg(char* buffer, int length, int* bufferSize) {
    PluginState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.heldAnswer.clear();
    state.lastError.clear();
    if (buffer == nullptr || bufferSize == nullptr || length < 0) return -1;
    std::string answer;
    const auto outcome =
        state.script.FormatLine(std::string_view(buffer, static_cast<size_t>(length)), answer);
    if (outcome == CScriptWorker::Outcome::Keep) return 0;
    if (outcome != CScriptWorker::Outcome::Replace) {
        state.lastError = state.script.Error();
        return -1;
    }
    // An empty answer is the script's way of sending nothing for the line.
    if (answer.empty()) return -1;
    return HandOver(state, std::move(answer), buffer, bufferSize);
}

// A received frame (type 'R', or 'A' or 'B' of a tap) for the script's
// OnFrame: an answer's length as fnFmtMsg gives it, or a qelvor::kHook...
// code. A script without OnFrame costs no call of the worker.
__attribute__((visibility("default"))) int fnOnFrameMsg(char type, const char* bytes, int length,
                                                        char* buffer, int* bufferSize) {
    PluginState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.heldAnswer.clear();
    state.lastError.clear();
    if ((bytes == nullptr && length != 0) || length < 0 || buffer == nullptr ||
        bufferSize == nullptr) {
        return qelvor::kHookFailed;
    }
    std::string answer;
    const auto outcome =
        state.script.OnFrame(type, std::string_view(bytes, static_cast<size_t>(length)), answer);
    return HookResult(state, outcome, std::move(answer), buffer, bufferSize);
}

// The script's OnTimer; the results as fnOnFrameMsg's.
__attribute__((visibility("default"))) int fnOnTimerMsg(char* buffer, int* bufferSize) {
    PluginState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.heldAnswer.clear();
    state.lastError.clear();
    if (buffer == nullptr || bufferSize == nullptr) return qelvor::kHookFailed;
    std::string answer;
    const auto outcome = state.script.OnTimer(answer);
    return HookResult(state, outcome, std::move(answer), buffer, bufferSize);
}

__attribute__((visibility("default"))) int fnGetMsg(char* buffer, int bufferSize) {
    PluginState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (buffer == nullptr || state.heldAnswer.empty() || bufferSize < 0 ||
        static_cast<size_t>(bufferSize) < state.heldAnswer.size()) {
        return -1;
    }
    const int copied = CopyOut(state.heldAnswer, buffer, bufferSize);
    state.heldAnswer.clear();
    return copied;
}

__attribute__((visibility("default"))) int fnMsgSize() {
    PluginState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return static_cast<int>(state.heldAnswer.size());
}

// Why the last line was dropped, once: the text is cleared when taken.
__attribute__((visibility("default"))) int fnLastError(char* buffer, int bufferSize) {
    PluginState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (buffer == nullptr || bufferSize <= 0) return 0;
    const int copied = CopyOut(state.lastError, buffer, bufferSize);
    state.lastError.clear();
    return copied;
}
}
