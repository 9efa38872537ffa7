// The engine and qelvor-cli tests' parts: a recording view, an engine, a scripted ASTM peer.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "astm/astm_frame.h"
#include "config/com_setting.h"
#include "config/string_table.h"
#include "mainwnd/main_engine.h"
#include "mainwnd/main_view.h"
#include "support/loopback.h"
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
    std::string text, caption;
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
        if (whileBoxShown) whileBoxShown();
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
    // Run inside every message box, as a nested event loop would.
    std::function<void()> whileBoxShown;
};

// Runs step until done() holds, for at most limitMs; the result of done().
inline bool RunUntil(const std::function<void()>& step, const std::function<bool()>& done,
                     int limitMs = 3000) {
    return testing_support::WaitUntil([&] { return done() || (step(), done()); }, limitMs);
}

using Socket = loopback::Peer;

// One engine over its own INI file, with a recording view.
class EngineTest : public testing::Test {
  protected:
    EngineTest() : settings(CComSetting::Loaded(dir.File("t.ini"))) {
        SetStringLanguage(UiLanguage::English);
        // Plain sending, so that the peer sees the send text's own bytes; the
        // tests of the link events turn them on.
        settings.Preamble.clear();
        settings.Postamble.clear();
        for (auto* flag :
             {&settings.HexSendData, &settings.UsedCheckSum, &settings.SenDataEncodeCov,
              &settings.HandShake, &settings.AutoSaveLog, &settings.SendAfterLoadFile,
              &settings.LButtonDblClkSend, &settings.SupportStress, &settings.RecordLinkEvents})
            *flag = 0;
        settings.Replace_Old = settings.Replace_New = 0;
        std::tie(settings.AutoSendElapse, settings.SvrIPAddr) = std::make_tuple(20, "127.0.0.1");
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
        EXPECT_EQ(std::make_tuple(Button(kIdSendData).enabled, Button(kIdSendFile).enabled,
                                  Button(kIdAutoSend).enabled),
                  std::make_tuple(data, data, autoSend));
    }
    void Poll(int ticks = 1) {
        for (int i = 0; i < ticks; ++i)
            Engine().OnTimer(kTimerPoll);
    }
    bool PollUntil(const std::function<bool()>& done) {
        return RunUntil([this] { Poll(); }, done);
    }
    void OpenSerial(const std::string& device) {
        std::tie(settings.WorkMode, settings.ComPort, settings.ComName, settings.BaudRate,
                 settings.ByteSize, settings.Parity, settings.StopBit) =
            std::make_tuple(kWorkModeSerial, 0, device, 9600, 8, 0, 0);
        Engine().OnOpenPort();
        EXPECT_EQ(State().shownStatusCode, 1) << State().pane0ToolTip;
    }
    void OpenTcp(int workMode, int port) {
        std::tie(settings.WorkMode, settings.IPPort) = std::make_tuple(workMode, port);
        Engine().OnOpenPort();
    }
    // Connects as a TCP client of the test's listener; the accepted peer (invalid on a failure).
    Socket ConnectAsClient() {
        listener = Socket::Listen();
        OpenTcp(kWorkModeTcpClient, listener.Port());
        Socket peer = listener.Accept();
        const bool connected = PollWhileConnecting() && peer.Valid();
        EXPECT_TRUE(connected) << "no connection to the test's listener";
        return connected ? std::move(peer) : Socket();
    }
    // Polls while a TCP client's connect is under way.
    bool PollWhileConnecting() {
        return PollUntil([this] { return State().shownStatusCode != 0; });
    }
    bool PollUntilCode(int code, int limitMs = 4000) {
        return RunUntil([this] { Poll(); }, [&] { return State().shownStatusCode == code; },
                        limitMs);
    }
    Lines RecordsOf(char type) {
        Lines found;
        for (const CMsgRecord& record : Engine().Exchange().Records())
            if (record.Type() == type) found.push_back(record.Data());
        return found;
    }
    // Every record as "type:data".
    Lines Typed() {
        Lines all;
        for (const CMsgRecord& record : Engine().Exchange().Records())
            all.push_back(std::string(1, record.Type()) + ":" + record.Data());
        return all;
    }
    void SetLines(const Lines& lines) { Engine().DataList().Assign(lines); }

    TempFolder dir;
    CComSetting settings;
    RecordingView view;
    Socket listener;
    std::unique_ptr<CMainEngine> engine;
};

inline const std::string kEnq(1, astm::kEnq), kAck(1, astm::kAck), kNak(1, astm::kNak),
    kEot(1, astm::kEot);

// One final frame of a record and its CR.
inline std::string Frame(int number, const std::string& record) {
    return astm::CAstmFrame{number, record + '\r', true}.Bytes();
}

struct LineStep {
    std::vector<std::string> send;  // sent 2 ms apart
    std::string expect;             // what must come back before the next step
};

// Plays the steps, calling pump (an engine poll, or nothing for a child process)
// while it waits; all that came back, in order, up to the first wrong answer.
inline std::string PlaySteps(const Socket& peer, const std::vector<LineStep>& steps,
                             const std::function<void()>& pump) {
    std::string got;
    for (const LineStep& step : steps) {
        for (size_t i = 0; i < step.send.size(); ++i) {
            const auto gap = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
            if (i > 0) RunUntil(pump, [&] { return std::chrono::steady_clock::now() >= gap; });
            peer.SendAll(step.send[i]);
        }
        std::string part;
        RunUntil(pump, [&] {
            // Two: a limit of 1 ms rounds down to no wait at all.
            part += peer.Receive(step.expect.size() - part.size(), 2);
            return part.size() >= step.expect.size();
        });
        got += part;
        if (part != step.expect) break;
    }
    return got;
}

// The host's side of one message: the ENQ and each frame acknowledged but the
// one at position refused (from 1; 0: none), refused six times; then EOT.
inline std::vector<LineStep> HostSteps(const std::vector<std::string>& frames, size_t refused) {
    std::vector<LineStep> steps = {{{}, kEnq}};
    std::string reply = kAck;
    for (size_t i = 0; i < frames.size(); ++i) {
        const bool refuse = i + 1 == refused;
        for (int tries = refuse ? 6 : 1; tries > 0; --tries) {
            steps.push_back({{reply}, frames[i]});
            reply = refuse ? kNak : kAck;
        }
        if (refuse) break;
    }
    steps.push_back({{reply}, kEot});
    return steps;
}

// The whole script's expected answers, to compare with PlaySteps.
inline std::string Expected(const std::vector<LineStep>& steps) {
    std::string all;
    for (const LineStep& step : steps)
        all += step.expect;
    return all;
}

}  // namespace qelvor::test
