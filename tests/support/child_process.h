// A child process: standard input on a pipe, output and errors in files, so it never
// blocks on them (or output on a pipe the test reads and may close, as `| head` does).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "support/temp_folder.h"

extern char** environ;

namespace qelvor::test {

struct ChildOptions {
    bool withStdin = true;   // false: started with standard input closed
    bool outOnPipe = false;  // standard output on a pipe read with ReadOut
    std::string cwd = "";    // empty: the test's own folder
    int outFd = -1;          // above -1: standard output on this descriptor (a pty)
};

class ChildProcess {
  public:
    explicit ChildProcess(const std::vector<std::string>& args, ChildOptions options = {}) {
        int in[2], out[2] = {-1, -1};
        if (pipe2(in, O_CLOEXEC) != 0 || (options.outOnPipe && pipe2(out, O_CLOEXEC) != 0)) return;
        posix_spawn_file_actions_t acts;
        posix_spawn_file_actions_init(&acts);
        if (options.withStdin) posix_spawn_file_actions_adddup2(&acts, in[0], 0);
        if (!options.withStdin) posix_spawn_file_actions_addclose(&acts, 0);
        const int outFd = options.outFd >= 0 ? options.outFd : out[1];
        if (outFd >= 0) posix_spawn_file_actions_adddup2(&acts, outFd, 1);
        const int flags = O_WRONLY | O_CREAT | O_TRUNC;
        if (outFd < 0) posix_spawn_file_actions_addopen(&acts, 1, OutPath().c_str(), flags, 0600);
        posix_spawn_file_actions_addopen(&acts, 2, streams_.File("err").c_str(), flags, 0600);
        if (!options.cwd.empty()) posix_spawn_file_actions_addchdir_np(&acts, options.cwd.c_str());
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &acts, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&acts);
        close(in[0]);
        stdin_ = in[1];
        if (out[1] >= 0) close(out[1]);
        outPipe_ = out[0];
    }
    ~ChildProcess() {
        Signal(SIGKILL);
        Wait();
        CloseStdin();
        CloseOut();
    }

    // Reads up to size bytes of the output pipe; fewer when it ends.
    std::string ReadOut(size_t size) {
        std::string text(size, '\0');
        size_t got = 0;
        while (outPipe_ >= 0 && got < size) {
            const ssize_t n = read(outPipe_, text.data() + got, size - got);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        text.resize(got);
        return text;
    }
    void CloseOut() {
        if (outPipe_ >= 0) close(std::exchange(outPipe_, -1));
    }

    void WriteStdin(const std::string& text) {
        if (stdin_ >= 0 && write(stdin_, text.data(), text.size()) < 0) CloseStdin();
    }
    void CloseStdin() {
        if (stdin_ >= 0) close(std::exchange(stdin_, -1));
    }
    void Signal(int number) {
        if (pid_ > 0 && !exited_) kill(pid_, number);
    }
    // The exit status; -1 when the child has not ended within limitMs or died of a signal.
    int Wait(int limitMs = 10000) {
        pid_t done = 0;
        int status = 0;
        if (pid_ > 0 && !exited_)
            testing_support::WaitUntil(
                [&] { return (done = waitpid(pid_, &status, WNOHANG)) != 0; }, limitMs);
        if (done == pid_) {
            exited_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return exited_ ? status_ : -1;
    }
    std::string Out() const { return testing_support::ReadFile(OutPath()); }
    std::string Err() const { return testing_support::ReadFile(streams_.File("err")); }
    bool WaitForErr(const std::string& text) {
        return testing_support::WaitUntil([&] { return Err().find(text) != std::string::npos; });
    }
    bool WaitForOut(const std::string& text) {
        return testing_support::WaitUntil([&] { return Out().find(text) != std::string::npos; });
    }

  private:
    std::string OutPath() const { return streams_.File("out"); }

    testing_support::TempFolder streams_;
    pid_t pid_ = -1;
    int stdin_ = -1, outPipe_ = -1, status_ = -1;
    bool exited_ = false;
};

}  // namespace qelvor::test
