// The virtual serial port: a peer that opens it by its link name, the name taken only
// from a dead pty, and the line settings the peer sets.
#include "ports/pty_port.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "ports/port_test_probes.h"
#include "support/pty_pair.h"

namespace {

using namespace porttest;
using qelvor::testing_support::Exists;
using qelvor::testing_support::TempFolder;
using StreamPort::CPtyPort;

std::string LinkTarget(const std::string& link) {
    char buf[256];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// This process's descriptors on the pty: its device, and any master (ptmx).
// (Whether the device's path still exists says nothing: another test may
// have been given the same number since.)
size_t PtyDescriptors(const std::string& pts) {
    size_t count = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        if (target == pts || target == "/dev/ptmx" || target == "/dev/pts/ptmx") ++count;
    }
    return count;
}

// What a peer that opened the device reads within 5 s, until count bytes came.
std::string PeerRead(int fd, size_t count) {
    std::string got;
    char buf[256];
    WaitUntil([&] {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) got.append(buf, static_cast<size_t>(n));
        return got.size() >= count;
    });
    return got;
}

class PtyPort : public ::testing::Test {
  protected:
    void SetUp() override { port_.SetLinkPath(link_); }
    int OpenPeer() const { return open(link_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK); }
    TempFolder dir_;
    const std::string link_ = dir_.File("ttyLab");
    CPtyPort port_;
};

// Raw both ways (no CR/LF translation, no echo); a peer that leaves and comes back finds
// the port working; a peer that stops reading never makes a write wait.
TEST_F(PtyPort, PeerOpensTheLinkAndBytesTravelBothWaysAcrossItsReopens) {
    ASSERT_EQ(port_.Open(), 1) << port_.LastOpenErrorText();
    const std::string pts = port_.PtsPath();
    EXPECT_EQ(pts.rfind("/dev/pts/", 0), 0u);
    EXPECT_EQ(LinkTarget(link_), pts);
    EXPECT_EQ(std::string(port_.GetDescription()), "PTY:" + link_ + " (" + pts + ")");
    int lines = 0;
    EXPECT_EQ(port_.ControlLines(StreamPort::ControlRequest::GetLines, lines),
              StreamPort::kLinesNotAvailable);
    // While no peer holds the device, what is sent waits in the pty for the next one.
    std::string waiting;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const int peer = OpenPeer();
        ASSERT_GE(peer, 0);
        ASSERT_EQ(write(peer, "ping\r\n\x00\xff", 8), 8);
        EXPECT_EQ(Collect(port_, 8), std::string("ping\r\n\x00\xff", 8));
        EXPECT_EQ(port_.WriteString("pong\n"), 5);
        EXPECT_EQ(PeerRead(peer, waiting.size() + 5), waiting + "pong\n");
        close(peer);
        EXPECT_EQ(port_.TryWrite("!", 1), 1);
        waiting = "!";
        EXPECT_EQ(port_.GetState(0), 1);
    }
    const std::string flood(1 << 20, 'x');
    const int taken = port_.TryWrite(flood.data(), static_cast<int>(flood.size()));
    EXPECT_GT(taken, 0);
    EXPECT_LT(taken, static_cast<int>(flood.size()));
    EXPECT_EQ(PtyDescriptors(pts), 2u);  // the master and the device held open
    port_.Close();
    EXPECT_FALSE(Exists(link_));
    EXPECT_EQ(PtyDescriptors(pts), 0u);
    EXPECT_EQ(port_.GetState(0), 0);
}

// Each row: what stands at the link name before Open, and whether Open may take it.
TEST_F(PtyPort, TheLinkNameIsTakenOnlyFromAPtyThatIsGone) {
    qelvor::testing_support::PtyDevice live;
    const struct {
        const char* what;
        std::string target;  // empty: a regular file
        bool taken;
    } cases[] = {{"stale link", "/dev/pts/987654", true},
                 {"regular file", "", false},
                 {"link to a live pty", live.path, false},
                 {"link elsewhere", "/tmp/nowhere", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        unlink(link_.c_str());
        c.target.empty() ? qelvor::testing_support::WriteFile(link_, "keep")
                         : (void)symlink(c.target.c_str(), link_.c_str());
        EXPECT_EQ(port_.Open(), c.taken ? 1 : 0);
        if (!c.taken) {
            EXPECT_NE(port_.LastOpenErrorText().find(link_), std::string::npos);
        }
        EXPECT_EQ(LinkTarget(link_), c.taken ? port_.PtsPath() : c.target);
        if (c.target.empty()) {
            EXPECT_EQ(qelvor::testing_support::ReadFile(link_), "keep");
        }
        port_.Close();
        EXPECT_EQ(Exists(link_), !c.taken);  // Close removes only a link of its own
        EXPECT_EQ(qelvor::testing_support::Listing(dir_.Path()).size(), c.taken ? 0u : 1u);
    }
    // Without a name the link goes to a private folder of the runtime directory.
    qelvor::testing_support::ScopedEnv runtime("XDG_RUNTIME_DIR", dir_.Path() + "run");
    mkdir((dir_.Path() + "run").c_str(), 0700);
    CPtyPort unnamed;
    ASSERT_EQ(unnamed.Open(), 1) << unnamed.LastOpenErrorText();
    EXPECT_EQ(LinkTarget(dir_.Path() + "run/qelvor/ttyQelvor0"), unnamed.PtsPath());
    EXPECT_EQ(qelvor::testing_support::Permissions(dir_.Path() + "run/qelvor"), 0700u);
    qelvor::testing_support::ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(StreamPort::CPtyLink::DefaultPath(),
              "/tmp/qelvor-" + std::to_string(getuid()) + "/ttyQelvor0");
}

// A pty keeps the rate, the stop bits and odd/mark/space parity, and forces 8 data bits.
TEST_F(PtyPort, LineSettingsThePeerSetsAreReportedOncePerChange) {
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.TakeLineChange(), std::nullopt);
    ASSERT_EQ(std::system(("stty -F " + link_ + " 19200 parodd cstopb").c_str()), 0);
    EXPECT_EQ(port_.TakeLineChange(), "19200 8O2");
    EXPECT_EQ(port_.TakeLineChange(), std::nullopt);
    const std::string peer = "timeout 20 /usr/bin/python3 -c \"import serial; s = serial.Serial('" +
                             link_ +
                             "', 4800, bytesize=7, parity='S'); s.write(b'hi'); s.flush()\"";
    ASSERT_EQ(std::system(peer.c_str()), 0);
    EXPECT_EQ(port_.TakeLineChange(), "4800 8S1");
    EXPECT_EQ(Collect(port_, 2), "hi");
}

}  // namespace
