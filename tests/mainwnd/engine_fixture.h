// Real parts for the engine and qelvor-cli tests: a view that records what the
// engine tells it (timers are fired by hand), TCP and UDP peers on 127.0.0.1,
// pty pairs standing in for serial lines, and one engine over its own INI file.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "mainwnd/main_engine.h"
#include "mainwnd/main_view.h"
#include "support/temp_folder.h"

namespace qelvor::test {

using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;
using Lines = std::vector<std::string>;

// A file whose bytes are all 0x00 and that holds no disk blocks.
inline bool MakeSparseFile(const std::string& path, off_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool ok = fd >= 0 && ftruncate(fd, size) == 0;
    if (fd >= 0) close(fd);
    return ok;
}

struct MessageBoxCall {
    std::string text;
    std::string caption;
    MsgIcon icon;
};

class RecordingView : public IMainView {
  public:
    void OnStateChanged(unsigned what) override {
        changes |= what;
        if (watched != nullptr && (what & kChangedStatus) != 0 &&
            (pane1.empty() || pane1.back() != watched->panes[1]))
            pane1.push_back(watched->panes[1]);
    }
    void StartTimer(int id, int64_t periodMs) override { timers[id] = periodMs; }
    void StopTimer(int id) override { timers.erase(id); }
    MsgResult ShowMessageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                             MsgButtons) override {
        boxes.push_back({text, caption, icon});
        return MsgResult::Ok;
    }
    bool Running(int id) const { return timers.count(id) != 0; }
    int64_t Period(int id) const { return Running(id) ? timers.at(id) : -1; }

    unsigned changes = 0;
    // When set, every new text of status pane 1 is kept in pane1.
    const CMainState* watched = nullptr;
    std::vector<std::string> pane1;
    std::map<int, int64_t> timers;
    std::vector<MessageBoxCall> boxes;
};

// Runs step until done() holds, for at most limitMs; the result of done().
inline bool RunUntil(const std::function<void()>& step, const std::function<bool()>& done,
                     int limitMs = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        step();
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

inline sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

inline int LocalPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// One socket of the test, closed with the object.
class Socket {
  public:
    explicit Socket(int fd = -1) : fd_(fd) {}
    ~Socket() { Reset(); }
    Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Socket& operator=(Socket&& other) noexcept {
        Reset();
        fd_ = std::exchange(other.fd_, -1);
        return *this;
    }
    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Port() const { return LocalPort(fd_); }
    void Reset() {
        if (fd_ >= 0) close(std::exchange(fd_, -1));
    }

    // A TCP listener on an ephemeral port of 127.0.0.1.
    static Socket Listen() {
        Socket s = Bound(SOCK_STREAM, 0);
        if (s.Valid() && listen(s.fd_, 4) != 0) s.Reset();
        return s;
    }
    static Socket Udp(int port = 0) { return Bound(SOCK_DGRAM, port); }
    static Socket Connect(int port) {
        Socket s(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address = Loopback(port);
        if (connect(s.fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) s.Reset();
        return s;
    }
    // Waits at most limitMs for a client; an invalid socket when none came.
    Socket Accept(int limitMs = 3000) const {
        pollfd waiting{fd_, POLLIN, 0};
        if (poll(&waiting, 1, limitMs) != 1) return Socket();
        return Socket(accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
    }

    bool SendAll(const std::string& bytes) const {
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    bool SendTo(const std::string& bytes, int port) const {
        sockaddr_in to = Loopback(port);
        return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                      sizeof to) == static_cast<ssize_t>(bytes.size());
    }
    // Whatever arrives within limitMs, stopping once count bytes are there.
    std::string Receive(size_t count, int limitMs = 3000) const {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd waiting{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) != 1) break;
            char buffer[65536];
            const ssize_t n = read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) break;
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }

  private:
    static Socket Bound(int type, int port) {
        Socket s(socket(AF_INET, type | SOCK_CLOEXEC, 0));
        const int on = 1;
        if (type == SOCK_STREAM) setsockopt(s.fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address = Loopback(port);
        if (bind(s.fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) s.Reset();
        return s;
    }

    int fd_ = -1;
};

// A port number that was free a moment ago.
inline int FreeTcpPort() {
    return Socket::Listen().Port();
}

// A pty pair: the engine opens the device path, the test talks on the master.
class PtyPair {
  public:
    PtyPair() {
        char name[256] = {};
        int master = -1;
        if (openpty(&master, &slave_, name, nullptr, nullptr) == 0) path_ = name;
        master_ = Socket(master);
    }
    ~PtyPair() { CloseSlave(); }
    const std::string& Path() const { return path_; }
    // Kept open only until the engine opened it, so that the engine's
    // exclusive open is the one that matters.
    void CloseSlave() {
        if (slave_ >= 0) close(std::exchange(slave_, -1));
    }
    bool Write(const std::string& bytes) const {
        return write(master_.Fd(), bytes.data(), bytes.size()) ==
               static_cast<ssize_t>(bytes.size());
    }
    std::string Read(size_t count) const { return master_.Receive(count); }

  private:
    Socket master_;
    int slave_ = -1;
    std::string path_;
};

// One engine over its own INI file, with a recording view.
class EngineTest : public testing::Test {
  protected:
    EngineTest() : settings(CComSetting::Loaded(dir.File("t.ini"))) {
        SetStringLanguage(UiLanguage::English);
        // Plain sending, so that the peer sees the send text's own bytes.
        settings.Preamble.clear();
        settings.Postamble.clear();
        for (auto* flag :
             {&settings.HexSendData, &settings.UsedCheckSum, &settings.SenDataEncodeCov,
              &settings.HandShake, &settings.AutoSaveLog, &settings.SendAfterLoadFile,
              &settings.LButtonDblClkSend, &settings.SupportStress})
            *flag = 0;
        settings.Replace_Old = settings.Replace_New = 0;
        settings.AutoSendElapse = 20;
        settings.SvrIPAddr = "127.0.0.1";
    }

    CMainEngine& Engine() {
        if (!engine) {
            engine = std::make_unique<CMainEngine>(settings, view);
            engine->InitExchange();
        }
        return *engine;
    }
    const CMainState& State() { return Engine().State(); }
    const ButtonState& Button(int id) { return State().Button(id); }
    const std::string& Pane(size_t index) { return State().panes[index]; }

    void ExpectSendButtons(bool data, bool autoSend) {
        EXPECT_EQ(Button(kIdSendData).enabled, data);
        EXPECT_EQ(Button(kIdSendFile).enabled, data);
        EXPECT_EQ(Button(kIdAutoSend).enabled, autoSend);
    }
    void Poll(int ticks = 1) {
        for (int i = 0; i < ticks; ++i)
            Engine().OnTimer(kTimerPoll);
    }
    bool PollUntil(const std::function<bool()>& done) {
        return RunUntil([this] { Poll(); }, done);
    }
    void OpenSerial(const std::string& device) {
        settings.WorkMode = kWorkModeSerial;
        settings.ComPort = 0;
        settings.ComName = device;
        settings.BaudRate = 9600;
        settings.ByteSize = 8;
        settings.Parity = settings.StopBit = 0;
        Engine().OnOpenPort();
    }
    // Opens the engine as a TCP client of a listener of the test; the
    // accepted socket is the peer.
    Socket ConnectAsClient() {
        listener = Socket::Listen();
        settings.WorkMode = kWorkModeTcpClient;
        settings.IPPort = listener.Port();
        Engine().OnOpenPort();
        return listener.Accept();
    }
    Lines RecordsOf(char type) {
        Lines found;
        for (const CMsgRecord& record : Engine().Exchange().Records()) {
            if (record.Type() == type) found.push_back(record.Data());
        }
        return found;
    }
    void SetLines(const Lines& lines) { Engine().DataList().Assign(lines); }

    TempFolder dir;
    CComSetting settings;
    RecordingView view;
    Socket listener;
    std::unique_ptr<CMainEngine> engine;
};

}  // namespace qelvor::test
