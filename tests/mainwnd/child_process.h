// A program run as a child process with its standard streams on pipes; threads
// collect what it writes so that it never blocks on a full pipe.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace qelvor::test {

class ChildProcess {
  public:
    explicit ChildProcess(const std::vector<std::string>& args) {
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        close(err[1]);
        stdin_ = in[1];
        outReader_ = std::thread([this, fd = out[0]] { Collect(fd, out_); });
        errReader_ = std::thread([this, fd = err[0]] { Collect(fd, err_); });
    }
    ~ChildProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            Wait(5000);
        }
        CloseStdin();
        if (outReader_.joinable()) outReader_.join();
        if (errReader_.joinable()) errReader_.join();
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void WriteStdin(const std::string& text) {
        if (stdin_ >= 0 && write(stdin_, text.data(), text.size()) < 0) CloseStdin();
    }
    void CloseStdin() {
        if (stdin_ >= 0) close(stdin_);
        stdin_ = -1;
    }
    void Signal(int number) {
        if (pid_ > 0 && !exited_) kill(pid_, number);
    }
    // The exit status; -1 when the child has not ended within limitMs or died of a signal.
    int Wait(int limitMs = 10000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (!exited_) {
            int status = 0;
            const pid_t done = waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                exited_ = true;
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (done < 0 || std::chrono::steady_clock::now() > end) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        // The streams are complete once the child's ends are closed.
        if (outReader_.joinable()) outReader_.join();
        if (errReader_.joinable()) errReader_.join();
        return status_;
    }

    std::string Out() {
        std::lock_guard<std::mutex> guard(lock_);
        return out_;
    }
    std::string Err() {
        std::lock_guard<std::mutex> guard(lock_);
        return err_;
    }
    bool WaitForErr(const std::string& text, int limitMs = 5000) {
        return WaitFor([&] { return Err().find(text) != std::string::npos; }, limitMs);
    }
    bool WaitForOut(const std::string& text, int limitMs = 5000) {
        return WaitFor([&] { return Out().find(text) != std::string::npos; }, limitMs);
    }

  private:
    template <typename Done>
    bool WaitFor(Done done, int limitMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    void Collect(int fd, std::string& into) {
        char buffer[4096];
        while (true) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            std::lock_guard<std::mutex> guard(lock_);
            into.append(buffer, static_cast<size_t>(n));
        }
        close(fd);
    }

    pid_t pid_ = -1;
    int stdin_ = -1;
    bool exited_ = false;
    int status_ = -1;
    std::mutex lock_;
    std::string out_;
    std::string err_;
    std::thread outReader_;
    std::thread errReader_;
};

}  // namespace qelvor::test
