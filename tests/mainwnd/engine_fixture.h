// A fixture that builds one engine over its own INI file in a temporary
// folder, with a recording view, and connects it to real peers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "mainwnd/engine_test_support.h"
#include "mainwnd/main_engine.h"

namespace qelvor::test {

class EngineTest : public testing::Test {
  protected:
    EngineTest() : settings(dir.File("t.ini")) {
        SetStringLanguage(UiLanguage::English);
        // Plain sending, so that the peer sees the send text's own bytes.
        settings.Preamble.clear();
        settings.Postamble.clear();
        settings.HexSendData = 0;
        settings.UsedCheckSum = 0;
        settings.SenDataEncodeCov = 0;
        settings.Replace_Old = 0;
        settings.Replace_New = 0;
        settings.HandShake = 0;
        settings.AutoSaveLog = 0;
        settings.SendAfterLoadFile = 0;
        settings.LButtonDblClkSend = 0;
        settings.SupportStress = 0;
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

    void Poll(int ticks = 1) {
        for (int i = 0; i < ticks; ++i)
            Engine().OnTimer(kTimerPoll);
    }
    // Polls until done() holds; false after about three seconds.
    bool PollUntil(const std::function<bool()>& done) {
        return RunUntil([this] { Poll(); }, done);
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

    std::vector<std::string> RecordsOf(char type) {
        std::vector<std::string> found;
        for (const CMsgRecord& record : Engine().Exchange().Records()) {
            if (record.Type() == type) found.push_back(record.Data());
        }
        return found;
    }

    void SetLines(const std::vector<std::string>& lines) { Engine().DataList().Assign(lines); }

    TempDir dir;
    CComSetting settings;
    RecordingView view;
    Socket listener;
    std::unique_ptr<CMainEngine> engine;
};

}  // namespace qelvor::test
