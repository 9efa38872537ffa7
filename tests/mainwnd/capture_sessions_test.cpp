#include "mainwnd/capture_sessions.h"

#include <filesystem>
#include <string>
#include <vector>

#include "config/app_paths.h"
#include "log/csv_exporter.h"
#include "support/engine_fixture.h"
#include "traffic/session_file.h"

namespace qelvor::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class CaptureSessions : public EngineTest {
  protected:
    CaptureSessions() { settings.ExeDir = dir.Path(); }

    std::vector<std::string> Captures() {
        std::vector<std::string> found;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(SessionsDir(settings.ExeDir), ignored))
            if (entry.path().extension() == CSessionFile::kDataSuffix)
                found.push_back(entry.path());
        return found;
    }
    // The five save layouts and the CSV export of the engine's store; the
    // Txt layout without its line of the time of the save.
    Lines Saves(const std::string& tag) {
        Lines saves;
        for (int format = 1; format <= kLogFormatCount; ++format) {
            const std::string path = dir.File(tag + std::to_string(format));
            EXPECT_EQ(Engine().SaveLog(static_cast<LogFormat>(format), path), 1) << format;
            std::string text = ReadFile(path);
            if (static_cast<LogFormat>(format) == LogFormat::Txt) text.erase(0, text.find('\n'));
            saves.push_back(text);
        }
        CCsvExporter csv(Engine().Exchange());
        EXPECT_EQ(csv.Start(dir.File(tag + ".csv"), nullptr, {}), 0);
        while (csv.Step(CCsvExporter::Clock::now() + std::chrono::seconds(1)) ==
               CCsvExporter::State::kWriting) {
        }
        saves.push_back(ReadFile(dir.File(tag + ".csv")));
        return saves;
    }
};

TEST_F(CaptureSessions, TheRunsFileTakesTheRecordsAtThePollTickAndGoesAtTheEndUnlessKept) {
    for (const int keep : {0, 1}) {
        settings.KeepSessions = keep;
        listener = Socket::Listen();
        settings.WorkMode = kWorkModeTcpClient;
        settings.IPPort = listener.Port();
        Engine().Startup({});
        Socket peer = listener.Accept();
        ASSERT_TRUE(PollWhileConnecting() && peer.Valid());
        peer.Send("hello\r\n");
        ASSERT_TRUE(PollUntil([&] { return !RecordsOf('R').empty(); }));
        const Lines typed = Typed();
        ASSERT_EQ(Captures().size(), 1u);
        CSessionFile file;
        ASSERT_TRUE(file.OpenForReading(Captures()[0]));
        ASSERT_EQ(file.Count(), typed.size());
        EXPECT_EQ(file.Read(file.Count() - 1).Data(), "hello\r\n");
        engine.reset();
        EXPECT_EQ(Captures().size(), static_cast<size_t>(keep)) << keep;
    }
    uint32_t flags = 0;
    int64_t created = 0;
    ASSERT_TRUE(CSessionFile::PeekHeader(Captures()[0], &flags, &created));
    EXPECT_EQ(flags, CSessionFile::kFlagClosed | CSessionFile::kFlagKept);
}

TEST_F(CaptureSessions, OnlyAFileLeftUnendedIsOfferedAfterwards) {
    const std::string folder = SessionsDir(settings.ExeDir);
    EnsureFolder(folder);
    CSessionFile crashed;
    ASSERT_TRUE(crashed.Create(folder + "crashed.qcap", 1765000000));
    crashed.Close();  // its writer is gone and it is not marked closed
    Engine().Exchange().Store().StartSession(folder, true);
    Engine().Exchange().Store().EndSession();                 // kept, marked closed
    Engine().Exchange().Store().StartSession(folder, false);  // live, locked
    const std::vector<LeftSession> left = Engine().LeftSessions();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].path, folder + "crashed.qcap");
    EXPECT_EQ(left[0].created, 1765000000);
    EXPECT_TRUE(DeleteSession(left[0].path));
    EXPECT_TRUE(Engine().LeftSessions().empty());
}

TEST_F(CaptureSessions, AnOpenedFileSavesAndExportsAsTheRecordsDidLive) {
    CRecordStore& live = Engine().Exchange().Store();
    ASSERT_TRUE(live.StartSession(SessionsDir(settings.ExeDir), true));
    const SystemTime t{2026, 12, 1, 7, 8, 15, 2, 45};
    for (const auto& [type, data] : {std::pair{'S', "\x02\x41\x03"s},
                                     {'R', "ok\r\n\0\xAB\xFF"s},
                                     {'I', "Send data,but error!"s},
                                     {'R', ""s},
                                     {'R', std::string(70000, '\x1b')},
                                     {'S', "=1+2,\"x\""s}})
        Engine().Exchange().AppendRecord(CMsgRecord(type, data, t));
    const Lines liveSaves = Saves("live");
    const std::string path = live.SessionPath();
    engine.reset();

    EXPECT_TRUE(Engine().OpenSession(path));
    EXPECT_TRUE(Engine().Exchange().Records().ReadOnly());
    const std::string name = path.substr(path.rfind('/') + 1);
    EXPECT_TRUE(State().title.ends_with(" - " + name + " (read-only)")) << State().title;
    EXPECT_EQ(Saves("opened"), liveSaves);

    WriteFile(dir.File("junk.qcap"), "not a capture");
    EXPECT_FALSE(Engine().OpenSession(dir.File("junk.qcap")));
    EXPECT_EQ(RecordsOf('I').back(),
              "capture file: " + dir.File("junk.qcap") + ": not a capture file");
}

}  // namespace
}  // namespace qelvor::test
