#include "lua_script.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

#include <lua.hpp>

#include "config/app_paths.h"

namespace qelvor::lua {

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
    lua_settop(state_, 0);
    lua_getglobal(state_, kLineFunction);
    lua_pushlstring(state_, line.data(), line.size());
    if (!CallGuarded(1, 1)) {
        error_ = std::string(kLineFunction) + " failed: " + error_;
        return Outcome::Fail;
    }
    const Outcome outcome = TakeAnswer(answer);
    lua_settop(state_, 0);
    return outcome;
}

CLuaScript::Outcome CLuaScript::TakeAnswer(std::string& answer) {
    if (lua_isnil(state_, -1)) return Outcome::Keep;
    // A number is taken as its text, as Lua's own string functions do.
    if (lua_type(state_, -1) != LUA_TSTRING && lua_type(state_, -1) != LUA_TNUMBER) {
        error_ = std::string(kLineFunction) + " returned a " + luaL_typename(state_, -1) +
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
    luaL_openlibs(state_);
    // os.exit would end the whole program in the middle of a send.
    lua_getglobal(state_, "os");
    lua_pushcfunction(state_, &CLuaScript::RefuseExit);
    lua_setfield(state_, -2, "exit");
    lua_settop(state_, 0);
    if (luaL_loadfilex(state_, path.c_str(), "t") != LUA_OK) {
        error_ = lua_tostring(state_, -1) != nullptr ? lua_tostring(state_, -1) : "unreadable";
        return false;
    }
    if (!CallGuarded(0, 0)) return false;
    lua_getglobal(state_, kLineFunction);
    const bool defined = lua_isfunction(state_, -1);
    lua_settop(state_, 0);
    if (!defined) error_ = std::string("it defines no function ") + kLineFunction + "(line)";
    return defined;
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

int CLuaScript::RefuseExit(lua_State* state) {
    return luaL_error(state, "os.exit is not available to %s", kScriptName);
}

}  // namespace qelvor::lua
