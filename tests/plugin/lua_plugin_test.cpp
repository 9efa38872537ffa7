// The real LuaPlugins.so in the engine against a peer: a bad script costs one line and one note.
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "lua/script_worker.h"
#include "support/engine_fixture.h"
#include "support/pty_pair.h"

namespace qelvor::test {
namespace {

using testing_support::ScopedEnv;
using testing_support::WaitUntil;

// Fills "{X}" with "ok"; a line holding "BAD" runs the fault instead.
std::string ScriptWithFault(const std::string& fault) {
    return "function FormatLine(line)\n  if line:find('BAD') then " + fault +
           " end\n  return (line:gsub('{X}', 'ok'))\nend\n";
}

// The processes this test program started (the plug-in's script worker).
std::vector<pid_t> OwnChildren() {
    std::vector<pid_t> children;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream list(task.path() / "children");
        for (pid_t pid = 0; list >> pid;)
            children.push_back(pid);
    }
    return children;
}

class LuaPluginTest : public EngineTest {
  protected:
    void SetUp() override {
        settings.ExeDir = dir.Path();
        settings.HandShake = 1;
        settings.UsedResponseFile = 1;
        std::filesystem::copy_file(QELVOR_LUA_PLUGIN, dir.File(kPluginLibraryName));
    }
    // Replaces the script, which may be a FIFO: writing into one would wait.
    void WriteScript(const std::string& text) {
        std::filesystem::remove(dir.File("LuaProc.lua"));
        WriteFile(dir.File("LuaProc.lua"), text);
    }
    Lines PluginNotes() {
        Lines notes;
        for (const std::string& note : RecordsOf('I'))
            if (note.rfind("Script plug-in: ", 0) == 0) notes.push_back(note);
        return notes;
    }
    // One ACK from the peer; the bytes it got back (empty when the engine
    // took the line and sent nothing).
    std::string AnswerToAck(const Socket& peer) {
        const size_t sent = RecordsOf('S').size();
        const int line = Engine().Exchange().DataIndex();
        EXPECT_TRUE(peer.SendAll("\x06"));
        EXPECT_TRUE(PollUntil([&] {
            return RecordsOf('S').size() > sent || Engine().Exchange().DataIndex() != line;
        }));
        if (RecordsOf('S').size() == sent) return {};
        return peer.Receive(RecordsOf('S').back().size());
    }
};

// Each case: what the script does for the line holding "BAD" and a piece of its
// 'I' record; a backtracking pattern (in C, no instruction count) meets the deadline.
TEST_F(LuaPluginTest, ScriptFaultDropsOnlyItsLineWithOneNote) {
    const ScopedEnv deadline(lua::kDeadlineVariable, "500");
    // clang-format off
    const struct { const char *fault, *reason; } cases[] = {
        {"error('no such sample')", "LuaProc.lua:2: no such sample"},
        {"while true do end", "stopped after 10000000 instructions"},
        {"while true do pcall(function() while true do end end) end", "stopped after"},
        {"debug.sethook() while true do end", "(global 'debug')"},
        {"string.find(string.rep('a', 40), string.rep('a*', 40) .. 'b')",
         "stopped: no answer within 500 ms; the script starts afresh"},
        {"return {}", "FormatLine returned a table, not a string or nil"},
        // os keeps only the clock and calendar; io, package and debug are not opened.
        {"os.exit(3)", "(field 'exit')"}, {"os.execute('true')", "(field 'execute')"},
        {"io.open('LuaProc.lua')", "(global 'io')"}, {"load(string.dump(FormatLine))()", "(global 'load')"},
        {"package.loadlib('libc.so.6', 'system')", "(global 'package')"},
        {"local s = 'x' while true do s = s .. s end", "not enough memory"},
        {"return ''", nullptr}};  // a chosen empty answer sends nothing, without a note
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        TempFolder fresh;  // each case loads its own copy, with a state of its own
        std::filesystem::copy_file(QELVOR_LUA_PLUGIN, fresh.File(kPluginLibraryName));
        WriteFile(fresh.File("LuaProc.lua"), ScriptWithFault(c.fault));
        settings.ExeDir = fresh.Path();
        SetLines({"1{X}", "2BAD{X}", "3{X}"});
        Socket peer = ConnectAsClient();
        // The script still runs for the third line.
        EXPECT_EQ((Lines{AnswerToAck(peer), AnswerToAck(peer), AnswerToAck(peer)}),
                  (Lines{"1ok", "", "3ok"}));
        ASSERT_EQ(PluginNotes().size(), c.reason != nullptr ? 1u : 0u);
        EXPECT_TRUE(c.reason == nullptr || PluginNotes()[0].find(c.reason) != std::string::npos)
            << PluginNotes()[0];
        engine.reset();  // unloads this case's copy before its folder goes
    }
}

// Only a regular text file of sane size is run: a FIFO is refused without
// waiting for a writer, and a binary chunk is refused.
TEST_F(LuaPluginTest, ScriptThatCannotLoadIsReadAgainForTheNextLine) {
    const std::string fifo = "(a FIFO)";
    const std::string large = std::string(1100000, '-') + "\nfunction FormatLine() end";
    // A script "" is no script file; a reason null: the line is answered.
    // clang-format off
    const struct { std::string script; const char* reason; } steps[] = {
        {"", "LuaProc.lua not found in"}, {fifo, "LuaProc.lua: not a regular file"},
        {"\x1bLuaT", "attempt to load a binary chunk"}, {large, "LuaProc.lua: larger than 1 MiB"},
        {"function FormatLine(line) return line .. end", "LuaProc.lua:1: unexpected symbol"},
        {"while true do end", "stopped after 10000000 instructions"},
        {"x = 1", "defines no function FormatLine(line)"},
        {"function FormatLine(line) return line .. '!' end", nullptr}};
    // clang-format on
    SetLines({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"});
    Socket peer = ConnectAsClient();
    size_t notes = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.script.substr(0, 60));
        if (step.script == fifo)
            ASSERT_EQ(mkfifo(dir.File("LuaProc.lua").c_str(), 0600), 0);
        else if (!step.script.empty())
            WriteScript(step.script);
        EXPECT_EQ(AnswerToAck(peer), step.reason != nullptr ? "" : "8!");
        notes += step.reason != nullptr ? 1 : 0;
        ASSERT_EQ(PluginNotes().size(), notes);
        EXPECT_TRUE(step.reason == nullptr ||
                    PluginNotes().back().find(step.reason) != std::string::npos)
            << PluginNotes().back();
    }
    // Once loaded, the state is kept: an edit of the file has no effect.
    WriteScript("function FormatLine(line) return 'changed' end");
    EXPECT_EQ(AnswerToAck(peer), "9!");
    // A worker that dies between two lines costs no line: a fresh one, with
    // the edited script, answers the next.
    const std::vector<pid_t> workers = OwnChildren();
    ASSERT_EQ(workers.size(), 1u);
    kill(workers[0], SIGKILL);
    // Dead as a whole only once its last thread is gone (a sanitizer's
    // runtime may have started one of its own in the worker).
    const std::string proc = "/proc/" + std::to_string(workers[0]);
    EXPECT_TRUE(WaitUntil([&] {
        const auto tasks = std::distance(std::filesystem::directory_iterator(proc + "/task"),
                                         std::filesystem::directory_iterator());
        return ReadFile(proc + "/stat").find(") Z ") != std::string::npos && tasks == 1;
    }));
    EXPECT_EQ(AnswerToAck(peer), "changed");
    EXPECT_EQ(PluginNotes().size(), notes) << PluginNotes().back();
}

// The local time as the sample stamps it, YYYYMMDDHHMMSS.
std::string Now() {
    const std::time_t now = std::time(nullptr);
    char text[16];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", std::localtime(&now));
    return text;
}

// The sample fills the time and a running number; an answer longer than the
// host's first buffer comes back whole.
TEST_F(LuaPluginTest, SampleScriptFillsDateTimeAndRunningNumberAndLongAnswersArriveWhole) {
    std::filesystem::copy_file(QELVOR_LUA_SAMPLE, dir.File("LuaProc.lua"));
    SetLines({"1H|\\^&|||Qelvor|||||||P|1|{DATE}{TIME}", "2O|{SEQ}|SID{SEQ}||^^^GLU", "3O|{SEQ}|x",
              "4L|1|N"});
    Socket peer = ConnectAsClient();
    const std::string before = Now(), header = AnswerToAck(peer), after = Now();
    const std::string prefix = "1H|\\^&|||Qelvor|||||||P|1|";
    ASSERT_EQ(header.substr(0, prefix.size()), prefix);
    const std::string stamp = header.substr(prefix.size());
    EXPECT_TRUE(stamp.size() == 14 && before <= stamp && stamp <= after) << header;
    // The last answer is the end of the file.
    EXPECT_EQ((Lines{AnswerToAck(peer), AnswerToAck(peer), AnswerToAck(peer), AnswerToAck(peer)}),
              (Lines{"2O|1|SID1||^^^GLU", "3O|2|x", "4L|1|N", "\x04"}));
    EXPECT_EQ(PluginNotes(), Lines{});

    engine.reset();
    WriteScript("function FormatLine(line) return line:rep(300000) end");
    SetLines({"abcd"});
    peer = ConnectAsClient();
    std::string expected;
    for (int i = 0; i < 300000; ++i)
        expected += "abcd";
    EXPECT_TRUE(AnswerToAck(peer) == expected);
}

// What the script's OnFrame does with a frame, by the word it holds.
constexpr const char* kHookScript = R"(
function OnFrame(type, bytes)
  if bytes:find('NUL') then return 'a\0b' .. type end
  if bytes:find('ECHO') then return type .. '|' .. bytes end
  if bytes:find('ERR') then error('bad frame') end
  if bytes:find('LOOP') then string.find(string.rep('a', 40), string.rep('a*', 40) .. 'b') end
  if bytes:find('QUIET') then return '' end
  return nil
end
)";

class ScriptHooksTest : public LuaPluginTest {
  protected:
    // The peer sends frame; what came back for it (empty when nothing was sent).
    std::string Answer(const Socket& peer, const std::string& frame) {
        const size_t received = RecordsOf('R').size(), sent = RecordsOf('S').size();
        EXPECT_TRUE(peer.SendAll(frame));
        EXPECT_TRUE(PollUntil([&] { return RecordsOf('R').size() > received; }));
        Poll();
        if (RecordsOf('S').size() == sent) return {};
        return peer.Receive(RecordsOf('S').back().size());
    }
};

// A frame no rule took goes to OnFrame: its bytes go back as they are, nil and
// a failure let the split string's response follow, and a failed or killed
// script costs that frame only.
TEST_F(ScriptHooksTest, OnFrameAnswersInPlaceOfTheResponseOrLetsItFollow) {
    const ScopedEnv deadline(lua::kDeadlineVariable, "300");
    WriteScript(kHookScript);
    std::tie(settings.SplitStrs, settings.RespondStrs, settings.ScriptHooks) =
        std::make_tuple("#", "ok", 1);
    // clang-format off
    const struct { const char* frame; std::string answer; const char* note; } steps[] = {
        {"NUL#", std::string("a\0bR", 4), nullptr}, {"ECHO x#", "R|ECHO x#", nullptr},
        {"PASS#", "ok", nullptr}, {"ERR#", "ok", "OnFrame failed: "},
        {"QUIET#", "", nullptr}, {"LOOP#", "ok", "stopped: no answer within 300 ms"},
        {"NUL#", std::string("a\0bR", 4), nullptr}};
    // clang-format on
    Socket peer = ConnectAsClient();
    size_t notes = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.frame);
        const size_t answered = RecordsOf('I').size() - PluginNotes().size();
        EXPECT_EQ(Answer(peer, step.frame), step.answer);
        notes += step.note != nullptr ? 1 : 0;
        ASSERT_EQ(PluginNotes().size(), notes);
        EXPECT_TRUE(step.note == nullptr ||
                    PluginNotes().back().find(step.note) != std::string::npos)
            << PluginNotes().back();
        // Each frame the script took is told, and only those.
        const std::string told = RecordsOf('I').back();
        EXPECT_EQ(RecordsOf('I').size() - PluginNotes().size() - answered,
                  step.note == nullptr && step.answer != "ok" ? 1u : 0u);
        EXPECT_TRUE(step.answer == "ok" ||
                    told == (step.answer.empty() ? "script took the frame, nothing to send"
                                                 : "script answered"))
            << told;
    }
    EXPECT_NE(PluginNotes()[0].find("LuaProc.lua:5: bad frame"), std::string::npos);
    // A flood in one tick: the script takes its share, the rest get the
    // usual response, told once.
    const auto took = [&] {
        const Lines told = RecordsOf('I');
        return std::count(told.begin(), told.end(), "script took the frame, nothing to send");
    };
    const size_t tookBefore = static_cast<size_t>(took()), frames = RecordsOf('R').size();
    const size_t total = CScriptHooks::kFramesPerTick + 36;
    std::string flood;
    for (size_t i = 0; i < total; ++i)
        flood += "QUIET#";
    ASSERT_TRUE(peer.SendAll(flood));
    ASSERT_TRUE(PollUntil([&] { return RecordsOf('R').size() == frames + total; }));
    EXPECT_EQ(static_cast<size_t>(took()) - tookBefore, CScriptHooks::kFramesPerTick);
    std::string oks;
    for (int i = 0; i < 36; ++i)
        oks += "ok";
    EXPECT_EQ(peer.Receive(oks.size()), oks);
    EXPECT_EQ(RecordsOf('I').back(),
              "script hooks: 36 frames of a flood went to the usual response");
    // Off, the script is not asked.
    settings.ScriptHooks = 0;
    EXPECT_EQ(Answer(peer, "NUL#"), "ok");
}

// In a tap each side's frames reach OnFrame with the side's letter, and the
// answer goes back into that side while the other side hears the frame.
TEST_F(ScriptHooksTest, TapFramesAreAnsweredIntoTheSideThatSentThem) {
    WriteScript(kHookScript);
    testing_support::PtyDevice analyzer;
    listener = Socket::Listen();
    std::tie(settings.WorkMode, settings.SplitStrs, settings.ScriptHooks, settings.TapA,
             settings.TapB) =
        std::make_tuple(kWorkModeTap, "#", 1, "serial:" + analyzer.path + ":9600:8N1",
                        "tcp-client:127.0.0.1:" + std::to_string(listener.Port()));
    Engine().OnOpenPort();
    Socket host = listener.Accept();
    ASSERT_TRUE(PollUntil([&] { return Pane(1).find(": up") != std::string::npos; })) << Pane(1);
    std::string atAnalyzer, atHost;
    const auto heard = [&](size_t analyzerBytes, size_t hostBytes) {
        return PollUntil([&] {
            char buffer[256];
            const ssize_t n = read(analyzer.master, buffer, sizeof buffer);
            if (n > 0) atAnalyzer.append(buffer, static_cast<size_t>(n));
            atHost += host.Receive(hostBytes - std::min(hostBytes, atHost.size()), 2);
            return atAnalyzer.size() >= analyzerBytes && atHost.size() >= hostBytes;
        });
    };
    ASSERT_TRUE(analyzer.Feed("ECHO a#"));
    EXPECT_TRUE(heard(9, 7));
    ASSERT_TRUE(host.SendAll("ECHO b#"));
    EXPECT_TRUE(heard(16, 16));
    EXPECT_EQ(atAnalyzer, "A|ECHO a#ECHO b#");
    EXPECT_EQ(atHost, "ECHO a#B|ECHO b#");
}

// The host takes a hook's answer longer than its first buffer whole, through
// fnGetMsg, and tells a function the script does not define.
TEST_F(LuaPluginTest, HookAnswerLongerThanTheBufferArrivesWhole) {
    WriteScript("function OnFrame(type, bytes) return type .. bytes:rep(300000) end");
    CPluginHost host;
    ASSERT_EQ(host.LoadPlugin(dir.Path(), true), 1);
    const std::string frame("a\0c\n", 4);
    std::string answer, expected = "B";
    for (int i = 0; i < 300000; ++i)
        expected += frame;
    EXPECT_EQ(host.OnFrame('B', frame, answer), CPluginHost::HookResult::Answered);
    EXPECT_TRUE(answer == expected) << answer.size();
    EXPECT_EQ(host.OnTimer(answer), CPluginHost::HookResult::Missing);
    EXPECT_EQ(answer, "");
}

}  // namespace
}  // namespace qelvor::test
