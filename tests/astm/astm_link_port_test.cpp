// Two links talking over the real ports: a serial port on a pty pair, and a
// TCP server with a TCP client on 127.0.0.1.
#include <poll.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "link_recorder.h"
#include "ports/serial_port.h"
#include "ports/tcp_port.h"
#include "support/loopback.h"
#include "support/pty_pair.h"

namespace qelvor::astm {
namespace {

using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

std::string ReadPort(StreamPort::CStreamPort& port) {
    char buf[4096];
    const int n = port.WaitForData(1) > 0 ? port.Read(buf, sizeof buf) : 0;
    return std::string(buf, size_t(std::max(n, 0)));
}

// Thirteen records, so that the frame number wraps, one of them of 600
// characters, which crosses as three frames.
const Strings kMessage =
    CAstmLink::RecordsOfText("H|\\^&|||analyser\nP|1\nO|1|SID42\n" + std::string(600, 'c') +
                             "\nR|1\nR|2\nR|3\nR|4\nR|5\nR|6\nR|7\nC|1\nL|1|N");
const Strings kQuery = {"H|\\^&", "Q|1|^SID42", "L|1|N"};

// Parameter 0: over TCP; else over the pty, whose master side the instrument
// plays, writing every piece of output in two parts 2 ms apart split at that
// position (after the STX, inside the text, in long frames before CR LF).
class AstmOverRealLines : public ::testing::TestWithParam<size_t> {};
INSTANTIATE_TEST_SUITE_P(Lines, AstmOverRealLines, ::testing::Values(0u, 1u, 9u, 245u));

TEST_P(AstmOverRealLines, BothSendAtOnceTheInstrumentFirstAndEveryRecordArrivesWhole) {
    const size_t cut = GetParam();
    testing_support::PtyDevice pty;
    StreamPort::CSerialPort serial;
    StreamPort::CTCPPort server, client;
    StreamPort::CStreamPort* ends[2] = {&client, &server};
    if (cut == 0) {
        const int tcpPort = loopback::FreePort(SOCK_STREAM);
        server.SetNetParam(0, tcpPort, htonl(INADDR_LOOPBACK));
        client.SetNetParam(1, tcpPort, htonl(INADDR_LOOPBACK));
        ASSERT_EQ(server.Open() + client.Open(), 2);
        for (int i = 0; i < 5000 && server.GetState(0) != StreamPort::CTCPPort::kConnected; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } else {
        serial.SetComParam(0, 115200, pty.path.c_str());
        ASSERT_EQ(serial.Open(), 1);
        ends[1] = &serial;
    }
    auto read = [&](int end) {
        if (cut == 0 || end == 1) return ReadPort(*ends[end]);
        char buf[4096];
        pollfd ready{pty.master, POLLIN, 0};
        const ssize_t n = poll(&ready, 1, 1) == 1 ? ::read(pty.master, buf, sizeof buf) : 0;
        return std::string(buf, size_t(std::max<ssize_t>(n, 0)));
    };
    auto write = [&](int end, std::string_view bytes) {
        if (cut == 0 || end == 1) return void(ends[end]->WriteString(std::string(bytes)));
        pty.Feed(bytes.substr(0, cut));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        pty.Feed(bytes.substr(std::min(cut, bytes.size())));
    };

    LinkRecorder out[2];
    CComSetting hostSettings;
    hostSettings.AstmRole = kAstmRoleHost;
    CAstmLink instrument(AstmLinkSettings{}, out[0]);
    CAstmLink host(AstmLinkSettings::From(hostSettings), out[1]);
    CAstmLink* links[2] = {&instrument, &host};
    const auto start = Clock::now();
    auto now = [&] { return std::chrono::duration_cast<Millis>(Clock::now() - start); };
    ASSERT_TRUE(instrument.Send(kMessage, now()) && host.Send(kQuery, now()));
    bool instrumentFirst = false;
    while (now() < std::chrono::seconds(10) && (instrument.HasMessage() || host.HasMessage())) {
        for (int end = 0; end < 2; ++end) {
            links[end]->OnBytes(read(end), now());
            links[end]->OnTick(now());
            if (!out[end].sent.empty()) write(end, std::exchange(out[end].sent, {}));
        }
        instrumentFirst |= !instrument.HasMessage() && host.HasMessage();
    }
    EXPECT_TRUE(instrumentFirst);
    EXPECT_EQ(out[1].records, kMessage);
    EXPECT_EQ(out[0].records, kQuery);
    EXPECT_EQ(out[0].results, std::vector<bool>{true});
    EXPECT_EQ(out[1].results, std::vector<bool>{true});
    // The host's ENQ was out before it saw the instrument's: both met contention.
    EXPECT_EQ(out[1].notes, Strings{"contention: the instrument goes first; ours follows its EOT"});
    EXPECT_EQ(out[0].notes, Strings{"contention: the host's ENQ is ignored; ours again in 1 s"});
}

}  // namespace
}  // namespace qelvor::astm
