// Runs LuaProc.lua in a worker process of the plug-in's own, so that no call
// of the script can outlast its deadline, even inside a C function such as a
// backtracking string.find, nor crash or stall the program. Not thread-safe:
// the plug-in's entry points serialise every call.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "lua_script.h"
#include "worker_channel.h"

namespace qelvor::lua {

// A line that has no answer by then costs the worker: it is killed, and a
// fresh one starts with the next line.
inline constexpr std::chrono::milliseconds kCallDeadline{1000};
// Overrides kCallDeadline (in milliseconds, 1 to 60000), so that tests of the
// deadline need not wait a whole second.
inline constexpr const char* kDeadlineVariable = "QELVOR_SCRIPT_DEADLINE_MS";

class CScriptWorker {
  public:
    using Outcome = CLuaScript::Outcome;

    // The script is looked for in these folders, as CLuaScript does.
    explicit CScriptWorker(std::vector<std::string> folders);
    ~CScriptWorker();
    CScriptWorker(const CScriptWorker&) = delete;
    CScriptWorker& operator=(const CScriptWorker&) = delete;

    // CLuaScript::FormatLine in the worker; blocks for at most the deadline.
    // Fail with the reason in Error() when the script failed or the worker
    // was stopped or ended.
    Outcome FormatLine(std::string_view line, std::string& answer);
    // CLuaScript::OnFrame and OnTimer in the worker, under the same deadline.
    // Which of them the script defines is asked once a worker has loaded
    // it, so a script without them costs no round trip: Missing at once.
    Outcome OnFrame(char type, std::string_view bytes, std::string& answer);
    Outcome OnTimer(std::string& answer);
    const std::string& Error() const { return error_; }

    // kCallDeadline, or the override in kDeadlineVariable.
    static std::chrono::milliseconds CallDeadline();

  private:
    bool EnsureRunning();
    bool Start();
    // Kills the worker and waits for it; its end as text ("killed by signal 9").
    std::string Stop();
    // Waits briefly for a worker that closed its end, then stops it.
    std::string Reap();
    void Forget();
    // Sends the request and takes its reply before the deadline.
    Outcome Call(const Frame& request, std::string& answer, Deadline deadline);
    // The question which hooks exist, when it is still open, and the call
    // share one deadline: the caller never waits longer than for a line.
    Outcome CallHook(unsigned hook, const Frame& request, std::string& answer);
    bool LearnHooks(Deadline deadline);
    Outcome TakeReply(Frame& reply, std::string& answer);

    [[noreturn]] static void Serve(int socket, const std::vector<std::string>& folders, pid_t host);

    std::vector<std::string> folders_;
    pid_t pid_ = -1;
    int socket_ = -1;
    std::string error_;
    // CLuaScript::DefinedHooks of the running worker's script; below 0
    // until asked.
    int hooks_ = -1;
};

}  // namespace qelvor::lua
