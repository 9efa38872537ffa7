// The engine's window-wide commands: the timers it routes, clearing the
// traffic store and the backup tick with a real continuous log.
#include <filesystem>
#include <string>

#include "log/log_writer.h"
#include "mainwnd/engine_fixture.h"

namespace qelvor::test {
namespace {

using MainEngine = EngineTest;

TEST_F(MainEngine, ClearAllDataEmptiesTheStore) {
    Engine().Exchange().AddRecord('I', "one");
    Engine().Exchange().AddRecord('I', "two");
    view.changes = 0;
    Engine().OnClearAllData();
    EXPECT_EQ(Engine().Exchange().RecordCount(), 0u);
    EXPECT_NE(view.changes & kChangedRecords, 0u);
}

TEST_F(MainEngine, BackupTickMovesTheLogAsideAndEmptiesTheStore) {
    const std::string folder = dir.File("LogData") + "/";
    std::filesystem::create_directory(folder);
    settings.AutoSaveLog = 1;
    {
        CLogWriter writer;
        writer.Start(folder + "Qelvor.log", settings);
        Engine().AttachLogWriter(&writer);
        Engine().Exchange().AddRecord('I', "before backup");
        Engine().OnTimer(kTimerBackup);
        EXPECT_EQ(Engine().Exchange().RecordCount(), 0u);
        writer.Stop();
        Engine().AttachLogWriter(nullptr);
    }
    int backups = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("MsgLog", 0) != 0) continue;
        ++backups;
        EXPECT_NE(ReadFile(entry.path().string()).find("I:before backup\r\n"), std::string::npos);
    }
    EXPECT_EQ(backups, 1);
    EXPECT_FALSE(std::filesystem::exists(folder + "Qelvor.log"));
}

TEST_F(MainEngine, BackupTickWithoutALogStillEmptiesTheStore) {
    Engine().Exchange().AddRecord('I', "x");
    Engine().OnBackupTick();
    EXPECT_EQ(Engine().Exchange().RecordCount(), 0u);
}

TEST_F(MainEngine, ReceivedRecordsAndTheBufferReachTheView) {
    Socket peer = ConnectAsClient();
    ASSERT_TRUE(peer.Valid());
    settings.SplitStrs = "<ETX>";
    Engine().Exchange().LoadSplitConfig();
    view.changes = 0;
    ASSERT_TRUE(
        peer.SendAll("ab\x03"
                     "cd"));
    ASSERT_TRUE(PollUntil([&] { return !RecordsOf('R').empty(); }));
    EXPECT_EQ(RecordsOf('R'), std::vector<std::string>{"ab\x03"});
    EXPECT_EQ(State().bufferText, "cd");
    EXPECT_NE(view.changes & kChangedRecords, 0u);
    EXPECT_NE(view.changes & kChangedBuffer, 0u);
}

TEST_F(MainEngine, UnknownTimersAreIgnored) {
    Engine().OnTimer(2);
    Engine().OnTimer(8);
    EXPECT_EQ(view.notifications, 0);
    EXPECT_TRUE(Engine().Exchange().Records().empty());
}

}  // namespace
}  // namespace qelvor::test
