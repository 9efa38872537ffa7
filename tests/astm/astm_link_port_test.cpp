// Two links talking over the real ports: a serial port on a pty pair, and a
// TCP server with a TCP client on 127.0.0.1.
#include <poll.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "astm/astm_link.h"
#include "link_recorder.h"
#include "ports/serial_port.h"
#include "ports/tcp_port.h"
#include "support/loopback.h"
#include "support/pty_pair.h"

namespace qelvor::astm {
namespace {

using Strings = std::vector<std::string>;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// One link and its way to the line: what has arrived, and how to write.
struct Endpoint {
    CAstmLink& link;
    LinkRecorder& out;
    std::function<std::string()> read;
    std::function<void(const std::string&)> write;
};

// The links' clock: the time since the test began.
milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// Runs both links on the real lines until done says so or 10 s have passed.
bool RunUntil(Clock::time_point start, Endpoint a, Endpoint b, const std::function<bool()>& done) {
    while (Since(start) < std::chrono::seconds(10)) {
        for (Endpoint* e : {&a, &b}) {
            const std::string in = e->read();
            if (!in.empty()) e->link.OnBytes(in, Since(start));
            e->link.OnTick(Since(start));
            const std::string out = std::exchange(e->out.sent, {});
            if (!out.empty()) e->write(out);
        }
        if (done()) return true;
    }
    return false;
}

std::string ReadPort(StreamPort::CStreamPort& port) {
    char buf[4096];
    const int n = port.WaitForData(1) > 0 ? port.Read(buf, sizeof buf) : 0;
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

// Thirteen short records, so that the frame number wraps, and one record of
// 600 characters, which goes as three frames.
Strings Message() {
    Strings records = {"H|\\^&|||analyser"};
    for (int i = 1; i <= 11; ++i)
        records.push_back("R|" + std::to_string(i) + "|^^^GLU|5." + std::to_string(i));
    std::string longRecord = "C|1|";
    while (longRecord.size() < 600)
        longRecord += char('a' + longRecord.size() % 26);
    records.push_back(longRecord);
    records.push_back("L|1|N");
    return records;
}

// The instrument plays the device behind the pty's master and writes every
// piece of its output in two parts 2 ms apart, split at the given position.
class AstmOverPty : public ::testing::TestWithParam<size_t> {};

TEST_P(AstmOverPty, MessageArrivesWholeWhateverTheSplit) {
    testing_support::PtyDevice pty;
    StreamPort::CSerialPort port;
    port.SetComParam(0, 115200, pty.path.c_str());
    ASSERT_EQ(port.Open(), 1);
    LinkRecorder instrumentOut, hostOut;
    CAstmLink instrument(AstmLinkSettings{}, instrumentOut);
    CAstmLink host(AstmLinkSettings{true}, hostOut);
    const size_t cut = GetParam();
    auto readMaster = [&] {
        pollfd ready{pty.master, POLLIN, 0};
        char buf[4096];
        const ssize_t n = poll(&ready, 1, 1) == 1 ? read(pty.master, buf, sizeof buf) : 0;
        return n > 0 ? std::string(buf, size_t(n)) : std::string();
    };
    auto writeSplit = [&](const std::string& bytes) {
        if (bytes.size() <= cut) return void(pty.Feed(bytes));
        pty.Feed(std::string_view(bytes).substr(0, cut));
        std::this_thread::sleep_for(milliseconds(2));
        pty.Feed(std::string_view(bytes).substr(cut));
    };
    const auto start = Clock::now();
    ASSERT_TRUE(instrument.Send(Message(), Since(start)));
    EXPECT_TRUE(RunUntil(start, {instrument, instrumentOut, readMaster, writeSplit},
                         {host, hostOut, [&] { return ReadPort(port); },
                          [&](const std::string& bytes) { port.WriteString(bytes); }},
                         [&] { return !instrumentOut.results.empty(); }));
    EXPECT_EQ(instrumentOut.results, std::vector<bool>{true});
    EXPECT_EQ(hostOut.records, Message());
    EXPECT_EQ(hostOut.notes, Strings{});
    EXPECT_EQ(instrumentOut.notes, Strings{});
    port.Close();
}

// After the STX, inside the text, and (in the long frames) before the CR LF.
INSTANTIATE_TEST_SUITE_P(Splits, AstmOverPty, ::testing::Values(1u, 9u, 245u));

TEST(AstmOverTcp, BothSendAtOnceAndTheInstrumentGoesFirst) {
    const uint32_t loopback = htonl(INADDR_LOOPBACK);
    const int tcpPort = loopback::FreePort(SOCK_STREAM);
    StreamPort::CTCPPort server, client;
    server.SetNetParam(0, tcpPort, loopback);
    ASSERT_EQ(server.Open(), 1);
    client.SetNetParam(1, tcpPort, loopback);
    ASSERT_EQ(client.Open(), 1);
    for (int i = 0; i < 5000 && server.GetState(0) != StreamPort::CTCPPort::kConnected; ++i)
        std::this_thread::sleep_for(milliseconds(1));
    ASSERT_EQ(server.GetState(0), StreamPort::CTCPPort::kConnected);

    Strings order;
    LinkRecorder instrumentOut("instrument", &order), hostOut("host", &order);
    CAstmLink instrument(AstmLinkSettings{}, instrumentOut);
    CAstmLink host(AstmLinkSettings{true}, hostOut);
    const auto start = Clock::now();
    const Strings query = {"H|\\^&", "Q|1|^SID42", "L|1|N"};
    ASSERT_TRUE(instrument.Send(Message(), Since(start)));
    ASSERT_TRUE(host.Send(query, Since(start)));
    auto writer = [](StreamPort::CTCPPort& port) {
        return [&port](const std::string& bytes) { port.WriteString(bytes); };
    };
    EXPECT_TRUE(RunUntil(
        start, {instrument, instrumentOut, [&] { return ReadPort(client); }, writer(client)},
        {host, hostOut, [&] { return ReadPort(server); }, writer(server)},
        [&] { return order.size() == 2; }));
    EXPECT_EQ(order, (Strings{"instrument done", "host done"}));
    EXPECT_EQ(hostOut.records, Message());
    EXPECT_EQ(instrumentOut.records, query);
    // The host's ENQ was out before it saw the instrument's: both met contention.
    EXPECT_EQ(hostOut.notes,
              Strings{"contention: the instrument goes first; ours follows its EOT"});
    EXPECT_EQ(instrumentOut.notes,
              Strings{"contention: the host's ENQ is ignored; ours again in 1 s"});
    EXPECT_EQ(instrumentOut.results, std::vector<bool>{true});
    EXPECT_EQ(hostOut.results, std::vector<bool>{true});
    client.Close();
    server.Close();
}

}  // namespace
}  // namespace qelvor::astm
