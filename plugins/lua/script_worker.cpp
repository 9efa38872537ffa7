#include "script_worker.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

namespace qelvor::lua {

namespace {

// Requests: a line, a received frame (its type letter, then its bytes), a
// timer tick, and the question which hooks the script defines.
constexpr char kLineFrame = 'L';
constexpr char kHookFrame = 'O';
constexpr char kTimerFrame = 'T';
constexpr char kHooksFrame = 'H';
// Replies; the hooks are told in a Replace reply of one byte.
constexpr char kKeepFrame = 'K';
constexpr char kReplaceFrame = 'R';
constexpr char kFailFrame = 'F';
constexpr char kMissingFrame = 'M';
// A line or answer can be no larger than the script's own memory.
constexpr size_t kMaxFrameBytes = kMemoryLimit;
// The worker's end of its socket, once it has closed everything else.
constexpr int kWorkerSocket = 3;

std::string SystemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string DescribeEnd(int status) {
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* name = strsignal(signal);
        return "killed by signal " + std::to_string(signal) +
               (name != nullptr ? std::string(" (") + name + ")" : std::string());
    }
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    return "ended";
}

// The worker is a copy of the program: it keeps nothing of it but its socket
// (standard input and output go to /dev/null, so that nothing the program
// had buffered can reach its terminal), takes signals as a fresh process
// does, dies with the program, and leaves no core image of it.
int SealWorker(int socket, pid_t host) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != host) ::_exit(0);
    for (int signal = 1; signal < NSIG; ++signal)
        ::signal(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    if (socket != kWorkerSocket && ::dup2(socket, kWorkerSocket) < 0) ::_exit(1);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    for (int stdio = 0; stdio <= 2 && null >= 0; ++stdio)
        ::dup2(null, stdio);
    if (::close_range(kWorkerSocket + 1, ~0U, 0) != 0) {
        for (int fd = kWorkerSocket + 1; fd < 65536; ++fd)
            ::close(fd);
    }
    return kWorkerSocket;
}

// The script's outcome of the request; the hooks it defines are told as one
// digit in a Replace reply.
CLuaScript::Outcome Run(CLuaScript& script, const Frame& request, std::string& answer) {
    switch (request.kind) {
        case kLineFrame:
            return script.FormatLine(request.bytes, answer);
        case kHookFrame:
            return script.OnFrame(request.bytes[0], std::string_view(request.bytes).substr(1),
                                  answer);
        case kTimerFrame:
            return script.OnTimer(answer);
        case kHooksFrame: {
            unsigned hooks = 0;
            if (!script.DefinedHooks(hooks)) return CLuaScript::Outcome::Fail;
            answer.assign(1, static_cast<char>('0' + hooks));
            return CLuaScript::Outcome::Replace;
        }
        default:
            return CLuaScript::Outcome::Fail;
    }
}

bool IsRequest(const Frame& request) {
    return request.kind == kLineFrame || request.kind == kTimerFrame ||
           request.kind == kHooksFrame || (request.kind == kHookFrame && !request.bytes.empty());
}

Frame ReplyTo(CLuaScript& script, const Frame& request) {
    if (!IsRequest(request)) return {kFailFrame, "a request the script's worker does not know"};
    std::string answer;
    switch (Run(script, request, answer)) {
        case CLuaScript::Outcome::Keep:
            return {kKeepFrame, {}};
        case CLuaScript::Outcome::Replace:
            return {kReplaceFrame, std::move(answer)};
        case CLuaScript::Outcome::Missing:
            return {kMissingFrame, {}};
        case CLuaScript::Outcome::Fail:
            break;
    }
    return {kFailFrame, script.Error()};
}

}  // namespace

CScriptWorker::CScriptWorker(std::vector<std::string> folders) : folders_(std::move(folders)) {}

CScriptWorker::~CScriptWorker() {
    Stop();
}

std::chrono::milliseconds CScriptWorker::CallDeadline() {
    const char* text = std::getenv(kDeadlineVariable);
    if (text == nullptr) return kCallDeadline;
    const long value = std::strtol(text, nullptr, 10);
    if (value < 1 || value > 60000) return kCallDeadline;
    return std::chrono::milliseconds(value);
}

CScriptWorker::Outcome CScriptWorker::FormatLine(std::string_view line, std::string& answer) {
    error_.clear();
    if (line.size() > kMaxFrameBytes) {
        error_ = "the line is longer than the script's memory limit";
        return Outcome::Fail;
    }
    return Call(Frame{kLineFrame, std::string(line)}, answer,
                std::chrono::steady_clock::now() + CallDeadline());
}

CScriptWorker::Outcome CScriptWorker::OnFrame(char type, std::string_view bytes,
                                              std::string& answer) {
    // Asked before the size: a frame too large for a script that takes no
    // frames is no fault.
    if (hooks_ >= 0 && (static_cast<unsigned>(hooks_) & kFrameHook) == 0) return Outcome::Missing;
    error_.clear();
    if (bytes.size() >= kMaxFrameBytes) {
        error_ = "the frame is longer than the script's memory limit";
        return Outcome::Fail;
    }
    return CallHook(kFrameHook, Frame{kHookFrame, type + std::string(bytes)}, answer);
}

CScriptWorker::Outcome CScriptWorker::OnTimer(std::string& answer) {
    return CallHook(kTimerHook, Frame{kTimerFrame, {}}, answer);
}

CScriptWorker::Outcome CScriptWorker::CallHook(unsigned hook, const Frame& request,
                                               std::string& answer) {
    if (hooks_ >= 0 && (static_cast<unsigned>(hooks_) & hook) == 0) return Outcome::Missing;
    error_.clear();
    const Deadline deadline = std::chrono::steady_clock::now() + CallDeadline();
    if (!EnsureRunning()) return Outcome::Fail;
    if (hooks_ < 0 && !LearnHooks(deadline)) return Outcome::Fail;
    if ((static_cast<unsigned>(hooks_) & hook) == 0) return Outcome::Missing;
    return Call(request, answer, deadline);
}

bool CScriptWorker::LearnHooks(Deadline deadline) {
    std::string hooks;
    const Outcome outcome = Call(Frame{kHooksFrame, {}}, hooks, deadline);
    if (outcome == Outcome::Fail) return false;
    if (outcome != Outcome::Replace || hooks.size() != 1 || hooks[0] < '0' || hooks[0] > '3') {
        Stop();
        error_ = "the script's worker process gave a reply of an unknown kind";
        return false;
    }
    hooks_ = hooks[0] - '0';
    return true;
}

CScriptWorker::Outcome CScriptWorker::Call(const Frame& request, std::string& answer,
                                           Deadline deadline) {
    if (!EnsureRunning()) return Outcome::Fail;
    ChannelResult result = SendFrame(socket_, request, deadline);
    Frame reply;
    if (result == ChannelResult::Done)
        result = ReceiveFrame(socket_, reply, kMaxFrameBytes, deadline);
    if (result == ChannelResult::Done) return TakeReply(reply, answer);
    if (result == ChannelResult::TimedOut) {
        Stop();
        error_ = "stopped: no answer within " + std::to_string(CallDeadline().count()) + " ms";
    } else {
        const std::string end = result == ChannelResult::Closed ? Reap() : Stop();
        error_ = "the script's worker process " + end;
    }
    error_ += "; the script starts afresh with the next call";
    return Outcome::Fail;
}

CScriptWorker::Outcome CScriptWorker::TakeReply(Frame& reply, std::string& answer) {
    switch (reply.kind) {
        case kKeepFrame:
            return Outcome::Keep;
        case kReplaceFrame:
            answer = std::move(reply.bytes);
            return Outcome::Replace;
        case kFailFrame:
            error_ = std::move(reply.bytes);
            return Outcome::Fail;
        case kMissingFrame:
            return Outcome::Missing;
        default:
            Stop();
            error_ = "the script's worker process gave a reply of an unknown kind";
            return Outcome::Fail;
    }
}

bool CScriptWorker::EnsureRunning() {
    if (pid_ > 0) {
        int status = 0;
        const pid_t ended = ::waitpid(pid_, &status, WNOHANG);
        if (ended == 0 || (ended < 0 && errno == ECHILD && ::kill(pid_, 0) == 0)) return true;
        // It ended between two lines (its parent-death signal follows the
        // thread that started it): no line was lost, so start another.
        if (ended == pid_) pid_ = -1;
        Stop();
    }
    return Start();
}

bool CScriptWorker::Start() {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        error_ = SystemError("cannot start the script's worker process");
        return false;
    }
    const pid_t host = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) Serve(ends[1], folders_, host);
    ::close(ends[1]);
    if (pid < 0) {
        error_ = SystemError("cannot start the script's worker process");
        ::close(ends[0]);
        return false;
    }
    pid_ = pid;
    socket_ = ends[0];
    return true;
}

std::string CScriptWorker::Stop() {
    std::string end = "ended";
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        pid_t reaped = -1;
        while ((reaped = ::waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
        }
        if (reaped == pid_) end = DescribeEnd(status);
    }
    Forget();
    return end;
}

std::string CScriptWorker::Reap() {
    // A worker that closed its socket is on its way out; its own end says
    // more than the kill that would follow.
    for (int tries = 0; tries < 100 && pid_ > 0; ++tries) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            Forget();
            return DescribeEnd(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return Stop();
}

void CScriptWorker::Forget() {
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
    pid_ = -1;
    // A fresh worker loads the script again, which may have changed.
    hooks_ = -1;
}

void CScriptWorker::Serve(int socket, const std::vector<std::string>& folders, pid_t host) {
    const int channel = SealWorker(socket, host);
    CLuaScript script(folders);
    for (;;) {
        Frame request;
        if (ReceiveFrame(channel, request, kMaxFrameBytes, kNoDeadline) != ChannelResult::Done)
            break;
        if (SendFrame(channel, ReplyTo(script, request), kNoDeadline) != ChannelResult::Done) break;
    }
    // Nothing of the program's own clean-up may run here.
    ::_exit(0);
}

}  // namespace qelvor::lua
