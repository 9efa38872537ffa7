// Runs the script LuaProc.lua in one Lua state, made on the first call, with
// only the libraries a line formatter needs: its FormatLine for response
// lines, its OnFrame for received frames and its OnTimer for a clock tick.
// Runs inside the plug-in's worker process; not thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct lua_State;
struct lua_Debug;

namespace qelvor::lua {

inline constexpr const char* kScriptName = "LuaProc.lua";
// The global function of the script that is given each line.
inline constexpr const char* kLineFunction = "FormatLine";
// The optional global functions given each received frame, and called on
// the clock; a script defines at least one of the three.
inline constexpr const char* kFrameFunction = "OnFrame";
inline constexpr const char* kTimerFunction = "OnTimer";
// The bits of DefinedHooks.
inline constexpr unsigned kFrameHook = 1;
inline constexpr unsigned kTimerHook = 2;
// A call of the script that runs longer is stopped with an error, and the
// script's state is kept. Time spent inside C functions is not counted: the
// worker's deadline covers that.
inline constexpr int kInstructionLimit = 10000000;
// A script that allocates more gets a memory error instead of the machine's
// memory.
inline constexpr size_t kMemoryLimit = size_t{64} * 1024 * 1024;
// A larger script file is refused: a line formatter is a page or two.
inline constexpr size_t kMaxScriptSize = size_t{1024} * 1024;

class CLuaScript {
  public:
    // Missing: the script defines no such function.
    enum class Outcome { Keep, Replace, Fail, Missing };

    // The script is looked for in these folders (each ending in "/"), in order.
    explicit CLuaScript(std::vector<std::string> folders);
    ~CLuaScript();
    CLuaScript(const CLuaScript&) = delete;
    CLuaScript& operator=(const CLuaScript&) = delete;

    // Gives the line to the script's FormatLine: Keep when it returned nil,
    // Replace with its answer in answer, Fail with the reason in Error().
    // A script that could not be loaded is read again on the next line, so
    // a fixed script takes effect without a restart.
    Outcome FormatLine(std::string_view line, std::string& answer);
    // OnFrame(type, bytes) with type a one-letter string and the frame's
    // bytes as they are; the outcomes as FormatLine's, or Missing.
    Outcome OnFrame(char type, std::string_view bytes, std::string& answer);
    // OnTimer(); the outcomes as OnFrame's.
    Outcome OnTimer(std::string& answer);
    // Which of OnFrame and OnTimer the loaded script defines (kFrameHook,
    // kTimerHook); false, with the reason in Error(), when it cannot load.
    bool DefinedHooks(unsigned& hooks);
    const std::string& Error() const { return error_; }

    // The folder of the plug-in library, and the user's settings folder
    // before it when the plug-in's folder is not the user's to write.
    static std::vector<std::string> DefaultFolders();

  private:
    bool EnsureLoaded();
    bool LoadScript(const std::string& path);
    void OpenLibraries();
    std::string FindScript() const;
    // lua_pcall under the instruction limit; the error text in error_.
    bool CallGuarded(int arguments, int results);
    // Calls the function pushed below its arguments; its name for errors.
    Outcome CallFunction(const char* name, int arguments, std::string& answer);
    Outcome TakeAnswer(const char* name, std::string& answer);
    bool IsFunction(const char* name);
    void Close();

    static void* Allocate(void* self, void* block, size_t oldSize, size_t newSize);
    static void StopLongRun(lua_State* state, lua_Debug* where);
    static int DiscardPrint(lua_State* state);

    std::vector<std::string> folders_;
    lua_State* state_ = nullptr;
    size_t memoryInUse_ = 0;
    std::string error_;
};

}  // namespace qelvor::lua
