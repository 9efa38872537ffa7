// Loads the optional script plug-in library LuaPlugins.so and passes
// response-file lines, received frames and timer ticks through it. The lock
// serialises loading and calls; called from the user-interface thread.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qelvor {

class CPluginHost {
  public:
    using InitEvnFn = int (*)();
    using FmtMsgFn = int (*)(char* buffer, int messageLength, int* bufferSize);
    using GetMsgFn = int (*)(char* buffer, int bufferSize);
    using MsgSizeFn = int (*)();
    // Optional: copies why the last line was refused into the buffer and
    // forgets it; the number of bytes copied.
    using LastErrorFn = int (*)(char* buffer, int bufferSize);
    // Optional: the script's hooks for a received frame and a timer tick;
    // they answer as FmtMsgFn does, or with a code of hook_results.h.
    using OnFrameMsgFn = int (*)(char type, const char* bytes, int length, char* buffer,
                                 int* bufferSize);
    using OnTimerMsgFn = int (*)(char* buffer, int* bufferSize);

    // Missing: no plug-in, a plug-in without the hook, or a script without
    // the function. Passed: the script returned nil. Answered: the answer
    // holds the bytes to send, empty when the script sends nothing. Failed:
    // TakeErrorText tells why.
    enum class HookResult { Missing, Passed, Answered, Failed };

    CPluginHost();
    ~CPluginHost();
    CPluginHost(const CPluginHost&) = delete;
    CPluginHost& operator=(const CPluginHost&) = delete;

    // Loads folder + "LuaPlugins.so" (folder ends in "/"), or, for an
    // installed program, the one in kInstalledPluginFolder below it; 1 when
    // the library is loaded and exports all four entry points.
    int LoadPlugin(const std::string& folder, bool reload);
    // Rewrites text through the plug-in; 0 or less = failure.
    int FormatMsg(std::string& text);
    // The plug-in's reason for the last failed FormatMsg, once; empty when
    // it gave none.
    std::string TakeErrorText();
    // The script's OnFrame(type, bytes) and OnTimer(). Each call may wait
    // for the script as long as the plug-in's deadline allows (a second).
    HookResult OnFrame(char type, std::string_view bytes, std::string& answer);
    HookResult OnTimer(std::string& answer);
    void FreePlugin();

  private:
    int FetchLargeResult(std::string& text, int needed);
    int BufferSize() const;
    void EnsureBuffer(size_t size);
    HookResult TakeHookResult(int result, std::string& answer);
    void UnloadLibrary();
    void FetchErrorText();

    InitEvnFn initEvn_ = nullptr;
    FmtMsgFn fmtMsg_ = nullptr;
    GetMsgFn getMsg_ = nullptr;
    MsgSizeFn msgSize_ = nullptr;
    LastErrorFn lastError_ = nullptr;
    OnFrameMsgFn onFrameMsg_ = nullptr;
    OnTimerMsgFn onTimerMsg_ = nullptr;
    void* library_ = nullptr;
    int initResult_ = 0;
    std::recursive_mutex lock_;
    std::vector<char> buffer_;
    std::string errorText_;
};

inline constexpr const char* kPluginLibraryName = "LuaPlugins.so";
// Installed in /usr/bin, the program finds its plug-in in
// /usr/lib/qelvor/plugins/: a library does not belong in bin/, and one folder
// below the package's own keeps it out of the linker's search (no ldconfig).
inline constexpr const char* kInstalledPluginFolder = "../lib/qelvor/plugins/";

}  // namespace qelvor
