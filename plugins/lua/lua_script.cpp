#include "lua_script.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <lua.hpp>

#include "config/app_paths.h"

namespace qelvor::lua {

namespace {

// The libraries a script gets; nothing that runs programs, touches files,
// loads code or reaches outside its own state.
const luaL_Reg kLibraries[] = {
    {LUA_GNAME, luaopen_base},       {LUA_STRLIBNAME, luaopen_string},
    {LUA_TABLIBNAME, luaopen_table}, {LUA_MATHLIBNAME, luaopen_math},
    {LUA_UTF8LIBNAME, luaopen_utf8}, {LUA_OSLIBNAME, luaopen_os},
};
// Base functions that load code from text or bytes, or steer the collector.
const char* const kRemovedGlobals[] = {"load", "loadfile", "dofile", "collectgarbage"};
// All that is kept of os: the clock and the calendar.
const char* const kKeptOsFunctions[] = {"clock", "date", "time"};

void CloseQuietly(int fd) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

// The script's text. Opened without waiting, so a FIFO with no writer cannot
// stall the load; only a regular file of at most kMaxScriptSize is taken.
bool ReadScriptFile(const std::string& path, std::string& text, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "not a regular file (a pipe, a device or a folder is refused)";
        CloseQuietly(fd);
        return false;
    }
    text.clear();
    char block[65536];
    ssize_t got = 0;
    while (text.size() <= kMaxScriptSize && (got = ::read(fd, block, sizeof block)) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        text.append(block, static_cast<size_t>(got));
    }
    error = got < 0 ? std::strerror(errno) : "";
    CloseQuietly(fd);
    if (text.size() > kMaxScriptSize) error = "larger than 1 MiB";
    return error.empty();
}

}  // namespace

CLuaScript::CLuaScript(std::vector<std::string> folders) : folders_(std::move(folders)) {}

CLuaScript::~CLuaScript() {
    Close();
}

std::vector<std::string> CLuaScript::DefaultFolders() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&CLuaScript::DefaultFolders), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    const std::string own = FolderOf(info.dli_fname);
    const std::string settings = SettingsDir(own);
    if (settings == own) return {own};
    return {settings, own};
}

CLuaScript::Outcome CLuaScript::FormatLine(std::string_view line, std::string& answer) {
    error_.clear();
    if (!EnsureLoaded()) return Outcome::Fail;
    if (!IsFunction(kLineFunction)) {
        error_ = std::string("it defines no function ") + kLineFunction + "(line)";
        return Outcome::Fail;
    }
    lua_getglobal(state_, kLineFunction);
    lua_pushlstring(state_, line.data(), line.size());
    return CallFunction(kLineFunction, 1, answer);
}

CLuaScript::Outcome CLuaScript::OnFrame(char type, std::string_view bytes, std::string& answer) {
    error_.clear();
    if (!EnsureLoaded()) return Outcome::Fail;
    if (!IsFunction(kFrameFunction)) return Outcome::Missing;
    lua_getglobal(state_, kFrameFunction);
    lua_pushlstring(state_, &type, 1);
    lua_pushlstring(state_, bytes.data(), bytes.size());
    return CallFunction(kFrameFunction, 2, answer);
}

CLuaScript::Outcome CLuaScript::OnTimer(std::string& answer) {
    error_.clear();
    if (!EnsureLoaded()) return Outcome::Fail;
    if (!IsFunction(kTimerFunction)) return Outcome::Missing;
    lua_getglobal(state_, kTimerFunction);
    return CallFunction(kTimerFunction, 0, answer);
}

bool CLuaScript::DefinedHooks(unsigned& hooks) {
    error_.clear();
    if (!EnsureLoaded()) return false;
    hooks = (IsFunction(kFrameFunction) ? kFrameHook : 0U) |
            (IsFunction(kTimerFunction) ? kTimerHook : 0U);
    return true;
}

bool CLuaScript::IsFunction(const char* name) {
    // Raw access: a metatable the script gave its globals runs no code
    // outside the guarded call, where an error would end the worker.
    lua_settop(state_, 0);
    lua_pushglobaltable(state_);
    lua_pushstring(state_, name);
    const bool function = lua_rawget(state_, -2) == LUA_TFUNCTION;
    lua_settop(state_, 0);
    return function;
}

CLuaScript::Outcome CLuaScript::CallFunction(const char* name, int arguments, std::string& answer) {
    if (!CallGuarded(arguments, 1)) {
        error_ = std::string(name) + " failed: " + error_;
        return Outcome::Fail;
    }
    const Outcome outcome = TakeAnswer(name, answer);
    lua_settop(state_, 0);
    return outcome;
}

CLuaScript::Outcome CLuaScript::TakeAnswer(const char* name, std::string& answer) {
    if (lua_isnil(state_, -1)) return Outcome::Keep;
    // A number is taken as its text, as Lua's own string functions do.
    if (lua_type(state_, -1) != LUA_TSTRING && lua_type(state_, -1) != LUA_TNUMBER) {
        error_ = std::string(name) + " returned a " + luaL_typename(state_, -1) +
                 ", not a string or nil";
        return Outcome::Fail;
    }
    size_t length = 0;
    const char* text = lua_tolstring(state_, -1, &length);
    answer.assign(text, length);
    return Outcome::Replace;
}

bool CLuaScript::EnsureLoaded() {
    if (state_ != nullptr) return true;
    const std::string path = FindScript();
    if (path.empty()) {
        error_ = std::string(kScriptName) + " not found in";
        for (const std::string& folder : folders_)
            error_ += " " + folder;
        return false;
    }
    if (LoadScript(path)) return true;
    error_ = "cannot load " + path + ": " + error_;
    Close();
    return false;
}

bool CLuaScript::LoadScript(const std::string& path) {
    state_ = lua_newstate(&CLuaScript::Allocate, this);
    if (state_ == nullptr) {
        error_ = "no memory for a Lua state";
        return false;
    }
    OpenLibraries();
    std::string text;
    if (!ReadScriptFile(path, text, error_)) return false;
    // Text only: a binary chunk can be crafted to crash the interpreter.
    const std::string chunkName = "@" + path;
    if (luaL_loadbufferx(state_, text.data(), text.size(), chunkName.c_str(), "t") != LUA_OK) {
        error_ = lua_tostring(state_, -1) != nullptr ? lua_tostring(state_, -1) : "unreadable";
        return false;
    }
    if (!CallGuarded(0, 0)) return false;
    if (IsFunction(kLineFunction) || IsFunction(kFrameFunction) || IsFunction(kTimerFunction))
        return true;
    error_ = std::string("it defines no function ") + kLineFunction + "(line), " + kFrameFunction +
             "(type, bytes) or " + kTimerFunction + "()";
    return false;
}

void CLuaScript::OpenLibraries() {
    for (const luaL_Reg& library : kLibraries) {
        luaL_requiref(state_, library.name, library.func, 1);
        lua_pop(state_, 1);
    }
    for (const char* name : kRemovedGlobals) {
        lua_pushnil(state_);
        lua_setglobal(state_, name);
    }
    // The worker's output goes nowhere; print stays so that a script written
    // for a terminal still runs.
    lua_pushcfunction(state_, &CLuaScript::DiscardPrint);
    lua_setglobal(state_, "print");
    lua_getglobal(state_, LUA_OSLIBNAME);
    lua_newtable(state_);
    for (const char* name : kKeptOsFunctions) {
        lua_getfield(state_, -2, name);
        lua_setfield(state_, -2, name);
    }
    lua_setglobal(state_, LUA_OSLIBNAME);
    lua_settop(state_, 0);
}

std::string CLuaScript::FindScript() const {
    for (const std::string& folder : folders_) {
        const std::string path = folder + kScriptName;
        if (access(path.c_str(), R_OK) == 0) return path;
    }
    return {};
}

bool CLuaScript::CallGuarded(int arguments, int results) {
    // Setting the hook again starts its count afresh for this call.
    lua_sethook(state_, &CLuaScript::StopLongRun, LUA_MASKCOUNT, kInstructionLimit);
    const int status = lua_pcall(state_, arguments, results, 0);
    lua_sethook(state_, nullptr, 0, 0);
    if (status == LUA_OK) return true;
    const char* text = lua_tostring(state_, -1);
    error_ = text != nullptr ? text : "an error without a message";
    lua_settop(state_, 0);
    return false;
}

void CLuaScript::Close() {
    if (state_ != nullptr) lua_close(state_);
    state_ = nullptr;
}

void* CLuaScript::Allocate(void* self, void* block, size_t oldSize, size_t newSize) {
    auto* script = static_cast<CLuaScript*>(self);
    // Without a block, oldSize tells the kind of object, not a size.
    const size_t held = block != nullptr ? oldSize : 0;
    if (newSize == 0) {
        std::free(block);
        script->memoryInUse_ -= held;
        return nullptr;
    }
    if (newSize > held && script->memoryInUse_ - held + newSize > kMemoryLimit) return nullptr;
    void* grown = std::realloc(block, newSize);
    if (grown != nullptr) script->memoryInUse_ = script->memoryInUse_ - held + newSize;
    return grown;
}

void CLuaScript::StopLongRun(lua_State* state, lua_Debug*) {
    // From now on every instruction fails, so a script that catches the
    // error with pcall cannot go on looping.
    lua_sethook(state, &CLuaScript::StopLongRun, LUA_MASKCOUNT, 1);
    luaL_error(state, "stopped after %d instructions without an answer (an endless loop?)",
               kInstructionLimit);
}

int CLuaScript::DiscardPrint(lua_State*) {
    return 0;
}

}  // namespace qelvor::lua
