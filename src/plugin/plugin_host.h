// Loads the optional script plug-in library LuaPlugins.so and passes
// response-file lines through it. The lock serialises loading and
// formatting; called from the user-interface thread.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace qelvor {

class CPluginHost {
  public:
    using InitEvnFn = int (*)();
    using FmtMsgFn = int (*)(char* buffer, int messageLength, int* bufferSize);
    using GetMsgFn = int (*)(char* buffer, int bufferSize);
    using MsgSizeFn = int (*)();

    CPluginHost();
    ~CPluginHost();
    CPluginHost(const CPluginHost&) = delete;
    CPluginHost& operator=(const CPluginHost&) = delete;

    // Loads folder + "LuaPlugins.so" (folder ends in "/"); 1 when the
    // library is loaded and exports all four entry points.
    int LoadPlugin(const std::string& folder, bool reload);
    // Rewrites text through the plug-in; 0 or less = failure.
    int FormatMsg(std::string& text);
    void FreePlugin();

  private:
    int FetchLargeResult(std::string& text, int needed);
    int BufferSize() const;
    void UnloadLibrary();

    InitEvnFn initEvn_ = nullptr;
    FmtMsgFn fmtMsg_ = nullptr;
    GetMsgFn getMsg_ = nullptr;
    MsgSizeFn msgSize_ = nullptr;
    void* library_ = nullptr;
    int initResult_ = 0;
    std::recursive_mutex lock_;
    std::vector<char> buffer_;
};

inline constexpr const char* kPluginLibraryName = "LuaPlugins.so";

}  // namespace qelvor
