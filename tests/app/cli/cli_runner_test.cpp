// qelvor-cli as a child process against loopback peers and ptys: what the command line adds.
#include "app/cli/cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>

#include "hl7/hl7_encoding.h"
#include "support/child_process.h"
#include "support/engine_fixture.h"
#include "support/full_disk.h"
#include "support/pty_pair.h"
#include "traffic/session_file.h"

namespace qelvor::test {
namespace {

const std::string kCli = QELVOR_CLI_PATH;

std::string Key(const std::string& name, const std::string& value) {
    return name + "=" + value + "\r\n";
}
std::string Key(const std::string& name, int value) {
    return Key(name, std::to_string(value));
}

// An INI file whose current set holds the given keys and sends plain bytes.
std::string WriteIni(const TempFolder& dir, const std::string& keys,
                     const std::string& name = "cli.ini") {
    const std::string path = dir.File(name);
    WriteFile(path, "[ComSet]\r\n" + keys + "SendAfterLoadFile=0\r\nAutoSaveLog=0\r\n" +
                        "Preamble=\r\nPostamble=\r\nSvrIPAddr=127.0.0.1\r\n");
    return path;
}

// qelvor-cli as a TCP client of the test's listener for at most 30 s; peer: its connection.
class CliClient : public testing::Test {
  protected:
    void Start(const std::string& keys, std::vector<std::string> args, ChildOptions options = {}) {
        ini = WriteIni(dir, Key("WorkMode", 1) + Key("IPPort", listener.Port()) + keys);
        iniBefore = ReadFile(ini);
        args.insert(args.begin(), {program, "--ini", ini});
        args.insert(args.end(), {"--seconds", "30"});
        cli.emplace(args, options);
        peer = listener.Accept(5000);
        EXPECT_TRUE(peer.Valid()) << "qelvor-cli did not connect: " << cli->Err();
    }

    TempFolder dir;
    Socket listener = Socket::Listen();
    std::string program = kCli;
    std::string ini, iniBefore;
    std::optional<ChildProcess> cli;
    Socket peer;
};

// --astm sends the data file as one message, --astm-host yields on contention;
// --exit-after-message ends with 0 only when every frame was acknowledged; a
// fault option is played to the peer.
TEST_F(CliClient, AstmRolesPlayTheirScriptAndEndWithTheMessagesResult) {
    const std::string message = "H|\\^&\r\n\r\nP|1\r\nL|1|N\r\n";
    const std::vector<std::string> frames = {Frame(1, "H|\\^&"), Frame(2, "P|1"),
                                             Frame(3, "L|1|N")};
    // clang-format off
    const std::vector<LineStep> contention = {
        {{}, kEnq}, {{kEnq}, kAck}, {{Frame(1, "H|\\^&")}, kAck},
        {{Frame(2, "R|1|^^^GLU|5.2")}, kAck}, {{kEot}, kEnq}, {{kAck}, Frame(1, "Q|1|^42")},
        {{kAck}, kEot}};
    // The first frame goes out with a wrong checksum and again when refused.
    std::vector<LineStep> badSum = HostSteps(frames, 0);
    const std::string sum = frames[0].substr(frames[0].size() - 4, 2);
    badSum[1].expect.replace(frames[0].size() - 4, 2, "00");
    badSum.insert(badSum.begin() + 2, {{kNak}, frames[0]});
    const struct {
        const char* role; std::string data; std::vector<LineStep> steps; int status;
        std::vector<std::string> printed; const char* fault;
    } runs[] = {
        {"--astm", message, HostSteps(frames, 0), 0,
         {">I:ASTM: message sent, every frame acknowledged\n"}, ""},
        {"--astm", message, HostSteps(frames, 2), 1,
         {">I:ASTM: the host refused frame 2 six times: EOT\n"}, ""},
        {"--astm-host", "Q|1|^42", contention, 0,
         {">I:record: H|\\^&\n", ">I:record: R|1|^^^GLU|5.2\n", ">S:<STX>1Q|1|^42<CR><ETX>"}, ""},
        {"--astm", message, badSum, 0,
         {">I:ASTM: fault: frame 1 sent with checksum 00 instead of " + sum + "\n"},
         "--fault-checksum=1"}};
    // clang-format on
    for (const auto& run : runs) {
        SCOPED_TRACE(run.role + std::to_string(run.status));
        cli.reset();
        listener = Socket::Listen();
        WriteFile(dir.File("msg.txt"), run.data);
        std::vector<std::string> args = {run.role, "--data", dir.File("msg.txt"),
                                         "--exit-after-message"};
        if (*run.fault != '\0') args.push_back(run.fault);
        Start("", args);
        EXPECT_EQ(PlaySteps(peer, run.steps, [] {}), Expected(run.steps));
        EXPECT_EQ(cli->Wait(), run.status) << cli->Err();
        EXPECT_EQ(ReadFile(ini), iniBefore);
        for (const std::string& line : run.printed)
            EXPECT_NE(cli->Out().find(line), std::string::npos) << line << cli->Out();
    }
}

// The hex of a field's text with its escapes decoded, as the peer prints it.
std::string DecodedHex(const std::string& field) {
    std::string hex;
    for (const unsigned char byte : hl7::Unescape(field, hl7::Hl7Encoding{}))
        hex += "0123456789abcdef"[byte >> 4] + std::string(1, "0123456789abcdef"[byte & 15]);
    return hex;
}

// Against python3-hl7 (mllp_send and its MLLP streams): --hl7 answers each
// message with an AA naming it, and with --orders a query with its RSP;
// --hl7-sender sends a file of messages, its escapes decoded by the peer as
// by us, resends a refused one, and with --exit-after-message ends with 0
// only when every message got AA or CA.
TEST(CliHl7, AnswersAndSendsMessagesToAnotherImplementation) {
    const std::vector<std::string> python = {"/usr/bin/python3", QELVOR_HL7_PEER};
    TempFolder dir;
    const std::string messages = dir.File("orders.hl7"),
                      escapes = "a\\F\\b\\S\\c\\T\\d\\R\\e\\E\\f\\X41\\";
    WriteFile(messages,
              "MSH|^~\\&|LAB|ANALYZER|LIS|HOSP|20261208||ORU^R01|M1|P|2.5.1\n"
              "PID|1||42^^^HOSP||Doe^Jane\nOBX|1|NM|GLU||5.2|mmol/L\n\n"
              "MSH|^~\\&|LAB|ANALYZER|LIS|HOSP|20261208||ORU^R01|M2|P|2.5.1\n"
              "PID|2\nNTE|1||" +
                  escapes + "\n");
    const std::string query = dir.File("query.hl7"), orders = dir.File("orders.csv");
    WriteFile(query,
              "MSH|^~\\&|LAB|ANALYZER|LIS|HOSP|20261208||QBP^Q11^QBP_Q11|Q7|P|2.5.1\n"
              "QPD|WOS^Work Order Step^IHE_LABTF|T1|S1~S2\nRCP|I||R\n");
    WriteFile(orders, "specimen id,test codes,collected\nS1,GLU;K,20261208093000\n");
    const std::string port = std::to_string(loopback::FreePort(SOCK_STREAM));
    ChildProcess receiver({kCli, "--tcp-server", "127.0.0.1:" + port, "--hl7", "--orders", orders,
                           "--seconds", "30"});
    // The server serves one client at a time and listens again once the
    // last has gone: each client waits for its turn.
    const auto listening = [&receiver](size_t turn) {
        return testing_support::WaitUntil([&] {
            const std::string err = receiver.Err();
            size_t told = 0;
            for (size_t at = err.find("waiting client"); at != std::string::npos;
                 at = err.find("waiting client", at + 1))
                ++told;
            return told >= turn;
        });
    };
    ASSERT_TRUE(listening(1)) << receiver.Err();
    ChildProcess client({python[0], python[1], "send", port, messages});
    EXPECT_EQ(client.Wait(25000), 0) << client.Err();
    EXPECT_EQ(client.Out(), "ACK AA M1 LAB\nACK AA M2 LAB\n");
    ASSERT_TRUE(listening(2)) << receiver.Err();
    ChildProcess mllpSend(
        {"/usr/bin/mllp_send", "--loose", "-f", messages, "-p", port, "127.0.0.1"});
    EXPECT_EQ(mllpSend.Wait(25000), 0) << mllpSend.Err();
    EXPECT_THAT(mllpSend.Out(), testing::AllOf(testing::HasSubstr("\rMSA|AA|M1"),
                                               testing::HasSubstr("\rMSA|AA|M2")));
    ASSERT_TRUE(listening(3)) << receiver.Err();
    ChildProcess mllpQuery({"/usr/bin/mllp_send", "--loose", "-f", query, "-p", port, "127.0.0.1"});
    EXPECT_EQ(mllpQuery.Wait(25000), 0) << mllpQuery.Err();
    EXPECT_THAT(mllpQuery.Out(),
                testing::HasSubstr("|P|2.5.1\rMSA|AA|Q7\r"
                                   "QAK|T1|OK|WOS^Work Order Step^IHE_LABTF\r"
                                   "QPD|WOS^Work Order Step^IHE_LABTF|T1|S1~S2\rPID|1||||\r"
                                   "SPM|1|S1|||||||||||||||20261208093000\rORC|NW|S1\r"
                                   "OBR|1|S1||GLU^GLU^L|R\rORC|NW|S1\rOBR|2|S1||K^K^L|R\r"));
    EXPECT_THAT(mllpQuery.Out(), testing::HasSubstr("||RSP^K11^RSP_K11|"));
    receiver.Signal(SIGTERM);
    EXPECT_EQ(receiver.Wait(), 0);
    EXPECT_NE(receiver.Out().find(">I:HL7: message ORU^R01 id M1 from LAB/ANALYZER: AA sent\n"),
              std::string::npos)
        << receiver.Out();
    const struct {
        std::vector<std::string> codes;
        int status;
        std::string got, note;
    } runs[] = {
        {{"AE", "AA", "AA"},
         0,
         "GOT M1\nGOT M1\nGOT M2 " + DecodedHex(escapes) + "\n",
         "ACK for id M1: AE, resent 1 of 3"},
        {{"AR", "AR", "AR", "AR"},
         1,
         "GOT M1\nGOT M1\nGOT M1\nGOT M1\n",
         "ACK for id M1: AR, given up after 3 resends"},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.status);
        std::vector<std::string> serve = {python[0], python[1], "serve"};
        serve.insert(serve.end(), run.codes.begin(), run.codes.end());
        ChildProcess server(serve);
        ASSERT_TRUE(server.WaitForOut("\n")) << server.Err();
        const std::string at = server.Out().substr(std::string("LISTENING ").size());
        ChildProcess sender({kCli, "--tcp-client", "127.0.0.1:" + at.substr(0, at.size() - 1),
                             "--hl7-sender", "--data", messages, "--exit-after-message",
                             "--seconds", "30"});
        EXPECT_EQ(sender.Wait(25000), run.status) << sender.Err();
        EXPECT_EQ(server.Wait(25000), 0) << server.Err();
        EXPECT_EQ(server.Out().substr(server.Out().find('\n') + 1), run.got);
        EXPECT_NE(sender.Out().find(run.note), std::string::npos) << sender.Out();
    }
}

// --serial sets rate and format; a peer's bytes cannot steer a UTF-8 terminal
// nor change its flags; with --exit-on-close a vanished device ends with 3.
TEST(CliRunner, SerialOptionSetsTheLineEscapesForATerminalAndEndsWhenTheDeviceGoes) {
    testing_support::PtyDevice pty, terminal;
    ASSERT_FALSE(pty.path.empty() || terminal.path.empty());
    fcntl(pty.master, F_SETFD, FD_CLOEXEC);  // the device vanishes when the test closes it
    const ChildOptions onTerminal{.outFd = terminal.slave};
    const int flags = fcntl(terminal.slave, F_GETFL);
    ChildProcess cli = [&] {
        const testing_support::ScopedEnv utf8("LC_ALL", "C.UTF-8");
        return ChildProcess({kCli, "--serial", pty.path + ":115200:7E2", "--exit-on-close", "--eol",
                             "lf", "--seconds", "30"},
                            onTerminal);
    }();
    ASSERT_TRUE(cli.WaitForErr("SerialPort:" + pty.path + "(115200 7-E-2)")) << cli.Err();
    ASSERT_TRUE(pty.Feed("a\x7F\x9B[2J\u202Eb\u2066\r\n"));
    // After the time stamp; the terminal turns "\n" into "\r\n".
    const std::string shown = ">R:a<DEL><x9B>[2J<U+202E>b<U+2066><CR><LF>\r\n";
    EXPECT_EQ(Socket(dup(terminal.master)).Receive(13 + shown.size(), 5000).substr(13), shown);
    cli.WriteStdin("yo\n");
    EXPECT_EQ(Socket(dup(pty.master)).Receive(3), "yo\n");
    pty.CloseMaster();
    EXPECT_EQ(cli.Wait(), 3) << cli.Err();
    EXPECT_NE(cli.Err().find(", serial " + pty.path + " 115200 7E2\n"), std::string::npos);
    EXPECT_EQ(fcntl(terminal.slave, F_GETFL), flags);
}

// --tap between a virtual serial port and a TCP server: each side's bytes
// reach the other unchanged and are printed as A: and B: lines; a side
// written wrongly is refused before anything opens.
TEST(CliTap, RelaysBetweenAPtyAndATcpClientAndPrintsEachSide) {
    TempFolder dir;
    const std::string link = dir.File("analyzer"),
                      port = std::to_string(loopback::FreePort(SOCK_STREAM));
    ChildProcess cli({kCli, "--tap", "pty:" + link, "tcp-server:127.0.0.1:" + port, "--no-time",
                      "--seconds", "30"});
    ASSERT_TRUE(cli.WaitForOut("I:A analyzer: connected\n")) << cli.Err();
    const int device = open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(device, 0);
    termios raw{};
    tcgetattr(device, &raw);
    cfmakeraw(&raw);
    tcsetattr(device, TCSANOW, &raw);
    Socket host = Socket::Connect(std::stoi(port), 4096);
    // B's own line: a byte A sends before B is up is not B's to receive.
    ASSERT_TRUE(cli.WaitForOut("I:B :" + port + ": connected\n")) << cli.Out();
    ASSERT_TRUE(write(device, "\x05", 1) == 1);
    EXPECT_EQ(host.Receive(1), "\x05");
    ASSERT_TRUE(host.SendAll("\x06"));
    char answer = 0;
    pollfd in{device, POLLIN, 0};
    ASSERT_EQ(poll(&in, 1, 5000), 1);
    EXPECT_EQ(read(device, &answer, 1), 1);
    EXPECT_EQ(answer, '\x06');
    ASSERT_TRUE(cli.WaitForOut("\nB:<ACK>\n")) << cli.Out();
    EXPECT_NE(cli.Out().find("\nA:<ENQ>\n"), std::string::npos) << cli.Out();
    close(device);
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(), 0) << cli.Err();
    ChildProcess bad({kCli, "--tap", "pty:" + link, "serial:", "--seconds", "5"});
    EXPECT_EQ(bad.Wait(), 2);
    EXPECT_NE(bad.Err().find("--tap: --serial needs a device"), std::string::npos) << bad.Err();
}

// A link to qelvor-cli in dir, whose settings folder is then dir.
std::string IsolatedCli(const TempFolder& dir) {
    const std::string path = dir.File("qelvor-cli");
    if (std::filesystem::exists(path)) return path;
    std::error_code error;
    std::filesystem::create_hard_link(kCli, path, error);
    if (error) std::filesystem::copy_file(kCli, path);
    return path;
}

// --pty: a peer opens the link, sets the line and talks; the link goes with the run.
TEST(CliRunner, PtyOptionPlaysTheDeviceForAPeerOnTheLink) {
    TempFolder dir;
    const std::string link = dir.File("ttyLab");
    ChildProcess cli({IsolatedCli(dir), "--pty", link, "--no-time", "--eol", "lf"});
    ASSERT_TRUE(cli.WaitForErr("PTY:" + link + " (/dev/pts/")) << cli.Err();
    ASSERT_EQ(std::system(("stty -F " + link + " 57600 cstopb").c_str()), 0);
    Socket peer(open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
    ASSERT_EQ(write(peer.Fd(), "ping\r\n", 6), 6);
    ASSERT_TRUE(cli.WaitForOut("R:ping<CR><LF>\n")) << cli.Out();
    cli.WriteStdin("pong\n");
    EXPECT_EQ(peer.Receive(5), "pong\n");
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(), 0) << cli.Err();
    EXPECT_EQ(cli.Out(), "I:virtual port: peer set 57600 8N2\nR:ping<CR><LF>\nS:pong<LF>\n");
    EXPECT_NE(cli.Err().find(", virtual serial port " + link + "\n"), std::string::npos);
    EXPECT_FALSE(testing_support::Exists(link));
}

// One run per port option against a loopback peer, no settings file read or written.
struct PortCase {
    NamedPortKind kind;
    const char* where;           // the option's value for the port number
    const char* options;         // blank-separated
    std::string received, sent;  // the lines printed for the peer's bytes and for "pong"
    std::string peerGets;        // what the peer receives for the input line "pong"
    std::string err;             // a piece of standard error; "": it stays empty
    int status;
};

// Names each run after its option in test listings instead of a byte dump.
void PrintTo(const PortCase& c, std::ostream* os) {
    *os << PortOptionName(c.kind);
}
class CliPortOption : public testing::TestWithParam<PortCase> {};

TEST_P(CliPortOption, TalksToALoopbackPeerWithTheDefaults) {
    const PortCase& c = GetParam();
    TempFolder dir;
    Socket listener = Socket::Listen();
    Socket peer = Socket::Udp();
    const bool udp = c.kind == NamedPortKind::Udp;
    const int port = c.kind == NamedPortKind::TcpClient
                         ? listener.Port()
                         : loopback::FreePort(udp ? SOCK_DGRAM : SOCK_STREAM);
    std::vector<std::string> args{IsolatedCli(dir), PortOptionName(c.kind),
                                  StrPrintf(c.where, port)};
    std::istringstream options(c.options);
    args.insert(args.end(), std::istream_iterator<std::string>(options), {});
    ChildProcess cli(args);
    if (c.kind == NamedPortKind::TcpClient) peer = listener.Accept(5000);
    // Listening on 127.0.0.1 only, the server is not found on 127.0.0.2.
    if (c.kind == NamedPortKind::TcpServer && cli.WaitForErr("waiting client")) {
        EXPECT_FALSE(Socket::Connect(port, 0, "127.0.0.2").Valid());
        peer = Socket::Connect(port);
    }
    ASSERT_TRUE(peer.Valid() && (!udp || cli.WaitForErr("UDP on"))) << cli.Err();
    const std::string arrived = StrPrintf("I:client 127.0.0.1:%d connected\n", peer.Port());
    ASSERT_TRUE(udp ? peer.Send("ping\x9B\r\n", port) : peer.SendAll("ping\x9B\r\n"));
    // The input line follows the printed record, so the order is fixed.
    ASSERT_TRUE(cli.WaitForOut(c.received)) << cli.Out() << cli.Err();
    cli.WriteStdin("pong\n");
    EXPECT_EQ(peer.Receive(c.peerGets.size()), c.peerGets);
    ASSERT_TRUE(cli.WaitForOut(c.sent)) << cli.Out();
    if (c.status == 3) peer.Reset();
    cli.CloseStdin();
    if (udp) {
        EXPECT_EQ(cli.Wait(200), -1) << "the end of the input ends reading, not the run";
        cli.Signal(SIGTERM);
    }
    EXPECT_EQ(cli.Wait(), c.status) << cli.Err();
    const std::string out = cli.Out();
    // A server also tells its client's arrival and departure.
    const bool server = c.kind == NamedPortKind::TcpServer;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), server ? 4 : 2) << out;
    if (server) {
        EXPECT_EQ(out.substr(0, arrived.size()), arrived);
    }
    const std::string err = cli.Err();
    EXPECT_TRUE(c.err.empty() ? err.empty() : err.find(c.err) != std::string::npos) << err;
    EXPECT_FALSE(testing_support::Exists(dir.File("qelvor.ini")));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CliPortOption,
    testing::Values(
        PortCase{NamedPortKind::TcpServer, "127.0.0.1:%d", "--no-time --eol crlf --exit-on-close",
                 "R:ping\x9B<CR><LF>\n", "\nS:pong<CR><LF>\n", "pong\r\n",
                 "qelvor.ini (not there: defaults), set ComSet, TCP server on 127.0.0.1:", 3},
        PortCase{NamedPortKind::TcpClient, "localhost:%d", "--hex --quiet --eol cr --exit-at-eof",
                 ">R:70 69 6E 67 9B 0D 0A\n", ">S:70 6F 6E 67 0D\n", "pong\r", "", 0},
        PortCase{NamedPortKind::Udp, "%d", "", ">R:ping\x9B<CR><LF>\n", ">S:pong\n", "pong",
                 "answering the last sender", 0}));

// Runs that end by themselves: status and all they print. A settings file or
// set named on the command line must exist: a typo never runs the defaults.
TEST(CliRunner, RunsThatEndByThemselvesGiveTheirStatusAndSayWhy) {
    TempFolder dir;
    const int port = loopback::FreePort(SOCK_STREAM);
    // A backup period far beyond what the clock counts must not disturb the end.
    const std::string ini = WriteIni(
        dir, Key("WorkMode", 0) + Key("IPPort", port) + Key("BackupLogTimeCount", 2000000000));
    Socket taken = Socket::Listen();
    const std::string busy =
        WriteIni(dir, Key("WorkMode", 0) + Key("IPPort", taken.Port()), "busy.ini");
    const std::string at = StrPrintf("(Port=%d)", taken.Port()), p = std::to_string(port);
    const std::string nope = dir.File("nope.ini"), tty9 = dir.File("tty9");
    const std::string capture = dir.File("s.qcap"), cut = dir.File("cut.qcap");
    {
        CSessionFile file;
        ASSERT_TRUE(file.Create(capture, 0));
        const std::deque<CMsgRecord> records{CMsgRecord('S', "\x02\x41\x03"),
                                             CMsgRecord('R', "ok\r\n"),
                                             CMsgRecord('I', "Send data,but error!")};
        ASSERT_TRUE(file.Append(records, 0, records.size()));
    }
    WriteFile(cut, ReadFile(capture) + "\x01\x02\x03\x04\x05");
    const std::string rules = dir.File("bad.rules"), noRules = dir.File("none.rules");
    WriteFile(rules, "text\tR\tPING\tPONG\ntxt\tR\tA\tB\n");
    // clang-format off
    const struct { std::vector<std::string> args; int status; std::string err, out = ""; } runs[] = {
        {{"--ini", nope}, 2, "qelvor-cli: settings file " + nope + ": No such file or directory\n"},
        {{"--ini", ini, "--set", "NoSuchSet"}, 2,
         "qelvor-cli: " + ini + " lists no settings set 'NoSuchSet'\n"},
        {{"--ini", ini, "--serial", tty9 + ":9600"}, 2,
         "qelvor-cli: --serial: no such device " + tty9 + " (see --list-ports)\n"},
        {{"--serial", ini}, 2, "qelvor-cli: --serial: " + ini + " is not a serial device\n"},
        {{"--ini", ini, "--rules", rules}, 2, "qelvor-cli: --rules: " + rules + ": line 2: "
         "field 1 (kind): 'txt' is not text, regex, hex or timer\n"},
        {{"--ini", ini, "--rules", noRules}, 2,
         "qelvor-cli: --rules: " + noRules + ": No such file or directory\n"},
        {{"--ini", ini, "--astm-host", "--orders", rules}, 2, "qelvor-cli: --orders: orders file " +
         rules + ": line 1: no \"specimen id\" column\n"},
        {{"--seconds", "x"}, 2,
         "qelvor-cli: --seconds needs a number of seconds from 0 up, not 'x' (see --help)\n"},
        {{"--ini", busy, "--seconds", "30"}, 1, "qelvor-cli: settings " + busy + ", set ComSet, "
         "TCP server on *:" + std::to_string(taken.Port()) + "\nTCP-Server" + at + " port already"
         " in use\nport " + std::to_string(taken.Port()) + " already in use by another program\n"
         "TCP-Server" + at + "\n"},
        // A bare name is found in the current folder first; "comset" is the
        // file's own set in another case; --seconds ends the run with 0.
        {{"--ini", "cli.ini", "--set", "comset", "--seconds", "0.3"}, 0, "qelvor-cli: settings " +
         ini + ", set comset, TCP server on *:" + p + "\nTCP-Server(Port=" + p + ") waiting "
         "client\nTCP-Server(Port=" + p + ")\n"},
        {{"--session", capture, "--print", "--no-time"}, 0, "",
         "S:<STX>A<ETX>\nR:ok<CR><LF>\nI:Send data,but error!\n"},
        {{"--session", cut, "--print", "--no-time", "--hex"}, 0, "qelvor-cli: capture file: 5 bytes"
         " after record 3 are not a whole record and were left out\n",
         "S:02 41 03\nR:6F 6B 0D 0A\nI:Send data,but error!\n"},
        {{"--session", ini, "--print"}, 1, "qelvor-cli: " + ini + ": not a capture file\n"},
        {{"--help"}, 0, "", CliUsageText()},
        {{"--version"}, 0, "", "qelvor-cli " QELVOR_VERSION "\n"}};
    // clang-format on
    const ChildOptions inDir{.cwd = dir.Path()};
    for (const auto& run : runs) {
        std::vector<std::string> args{kCli};
        args.insert(args.end(), run.args.begin(), run.args.end());
        ChildProcess cli(args, inDir);
        EXPECT_EQ(cli.Wait(), run.status) << run.args[0];
        EXPECT_EQ(cli.Err(), run.err);
        EXPECT_EQ(cli.Out(), run.out);
    }
    // No settings file and no port: the run says how to name one.
    ChildProcess bare({IsolatedCli(dir)});
    EXPECT_EQ(bare.Wait(), 2);
    EXPECT_THAT(bare.Err(),
                testing::StartsWith("qelvor-cli: no settings file " + dir.File("qelvor.ini") +
                                    "; name the port, for example:\n  --serial DEVICE"));
    // Started with standard input closed, it still ends on SIGTERM.
    ChildProcess noInput({kCli, "--ini", ini}, {.withStdin = false});
    ASSERT_TRUE(noInput.WaitForErr("waiting client")) << noInput.Err();
    noInput.Signal(SIGTERM);
    EXPECT_EQ(noInput.Wait(3000), 0);
    // A log folder that cannot be made is told with its own reason; the run
    // goes on without its log.
    WriteFile(dir.File("LogData"), "a file where the folder belongs");
    const std::string logged = dir.File("log.ini");
    WriteFile(logged,
              "[ComSet]\r\n" + Key("WorkMode", 0) + Key("IPPort", port) + Key("AutoSaveLog", 1));
    ChildProcess noLog({IsolatedCli(dir), "--ini", logged, "--seconds", "0.2"});
    EXPECT_EQ(noLog.Wait(), 0);
    EXPECT_THAT(noLog.Err(), testing::StartsWith("qelvor-cli: cannot create the log folder " +
                                                 dir.File("LogData/") + ": Not a directory\n"));
}

// Auto-send starts once connected; pending bytes become a record at every end, here SIGHUP.
TEST_F(CliClient, AutoSendsOnceConnectedAndEveryEndRecordsThePendingBytes) {
    WriteFile(dir.File("lines.txt"), "L0\nL1\nL2");
    Start(Key("HandShake", 0) + Key("AutoSendElapse", 1),
          {"--data", dir.File("lines.txt"), "--auto-send"});
    EXPECT_EQ(peer.Receive(6), "L0L1L2");
    ASSERT_TRUE(peer.SendAll("abc"));
    peer.Reset();
    ASSERT_TRUE(cli->WaitForErr("connect failed")) << cli->Err();
    cli->Signal(SIGHUP);
    EXPECT_EQ(cli->Wait(), 0);
    EXPECT_THAT(cli->Out(),
                testing::AllOf(testing::HasSubstr(">S:L2\n"), testing::HasSubstr(">R:abc\n")));
}

// --rules: the file's rules answer in place of the set's rules and responses.
TEST_F(CliClient, RulesFileAnswersTheRunsFramesAndBeats) {
    const std::string rules = dir.File("lab.rules");
    WriteFile(rules,
              "# the analyser's query\r\nregex\tR\t^Q\\|(\\w+)\tA|$1<CR><LF>\tdelay=20\r\n"
              "timer\tR\t40\t<ENQ>\tonce\r\n");
    Start(Key("HandShake", 1) + Key("Rule1", "text\tR\tQ\tWRONG"), {"--rules", rules, "--no-time"});
    EXPECT_EQ(peer.Receive(1), "\x05");
    ASSERT_TRUE(peer.SendAll("Q|ID9\r\n"));
    EXPECT_EQ(peer.Receive(7), "A|ID9\r\n");
    ASSERT_TRUE(peer.SendAll("other\r\n"));
    EXPECT_EQ(peer.Receive(1), "\x06");
    ASSERT_TRUE(cli->WaitForOut("S:<ACK>\n")) << cli->Out();
    cli->Signal(SIGTERM);
    EXPECT_EQ(cli->Wait(), 0) << cli->Err();
    EXPECT_EQ(cli->Out(),
              "I:rule 2 answered\nS:<ENQ>\nR:Q|ID9<CR><LF>\nI:rule 1 answered\n"
              "S:A|ID9<CR><LF>\nR:other<CR><LF>\nS:<ACK>\n");
}

// --script-hooks: a copy of the program with the plug-in beside it runs the
// script there; OnFrame answers in place of the response, nil lets it follow,
// and OnTimer beats each second, its state kept, a fault that repeats told once.
TEST_F(CliClient, ScriptHooksAnswerFramesAndBeat) {
    const std::filesystem::path built(kCli);
    program = dir.File("qelvor-cli");
    std::filesystem::copy_file(built, program);
    std::filesystem::copy_file(built.parent_path() / "LuaPlugins.so", dir.File("LuaPlugins.so"));
    WriteFile(dir.File("LuaProc.lua"),
              "function OnFrame(type, bytes) if bytes:find('Q') then return type .. '\\0' .. bytes"
              " end end\nfunction OnTimer() n = (n or 0) + 1 if n < 3 then error('not yet') end"
              " return 'B' end\n");
    Start(Key("HandShake", 1) + Key("SplitStrs", "#") + Key("RespondStrs", "ok"),
          {"--script-hooks", "--no-time"});
    ASSERT_TRUE(peer.SendAll("Q1#"));
    EXPECT_EQ(peer.Receive(5), std::string("R\0Q1#", 5));
    ASSERT_TRUE(peer.SendAll("x#"));
    EXPECT_EQ(peer.Receive(2), "ok");
    EXPECT_EQ(peer.Receive(1, 5000), "B");
    ASSERT_TRUE(cli->WaitForOut("S:B\n")) << cli->Out();
    cli->Signal(SIGTERM);
    EXPECT_EQ(cli->Wait(), 0) << cli->Err();
    EXPECT_EQ(cli->Out(),
              "R:Q1#\nI:script answered\nS:R<NUL>Q1#\nR:x#\nS:ok\nI:Script plug-in: OnTimer "
              "failed: " +
                  dir.File("LuaProc.lua") + ":2: not yet\nI:script timer answered\nS:B\n");
}

// `qelvor-cli | head -n 5`: the reader goes, the run ends at once with 0, saying nothing.
TEST_F(CliClient, EndsQuietlyWhenTheReaderOfItsOutputGoes) {
    Start("", {}, {.outOnPipe = true});
    std::string lines;
    for (int i = 0; i < 1000; ++i)
        lines += "line " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(peer.SendAll(lines));
    EXPECT_EQ(cli->ReadOut(20).substr(14, 6), "R:line");
    cli->CloseOut();
    ASSERT_TRUE(peer.SendAll(lines));
    EXPECT_EQ(cli->Wait(5000), 0);
    EXPECT_EQ(cli->Err(),
              StrPrintf("qelvor-cli: settings %s, set ComSet, TCP client to "
                        "127.0.0.1:%d\nTCP-Client(127.0.0.1:%d) connected\n"
                        "TCP-Client(127.0.0.1:%d)\n",
                        ini.c_str(), listener.Port(), listener.Port(), listener.Port()));
}

// A stalled reader of the output while a peer floods: the log goes on, unwritten
// lines are dropped and counted, and a SIGTERM still ends the run with 0.
TEST(CliRunner, AStalledReaderHoldsUpNeitherTheLogNorAStopSignal) {
    TempFolder dir;
    Socket listener = Socket::Listen();
    const std::string ini = dir.File("flood.ini"), log = dir.File("LogData/Qelvor.log");
    WriteFile(ini, "[ComSet]\r\n" + Key("WorkMode", 1) + Key("IPPort", listener.Port()) +
                       Key("SvrIPAddr", "127.0.0.1") + Key("HandShake", 0) + Key("AutoSaveLog", 1));
    ChildProcess cli({IsolatedCli(dir), "--ini", ini, "--seconds", "30"}, {.outOnPipe = true});
    Socket peer = listener.Accept(5000);
    ASSERT_TRUE(peer.Valid()) << cli.Err();
    // A record's output line has 32 bytes, its log line 33; each half of the
    // flood is more than the output keeps for its reader.
    constexpr int kLines = 200'000;
    const auto logged = [&](int lines) {
        std::error_code error;  // a file that is not there yet has no size
        const auto size = [&] { return std::filesystem::file_size(log, error); };
        return testing_support::WaitUntil([&] { return size() >= lines * 33ul && !error; }, 20000);
    };
    std::string flood, expected;
    for (int i = 0; i < 2 * kLines; ++i) {
        flood += StrPrintf("L%06d\r\n", i);
        expected += StrPrintf("R:L%06d<CR><LF>\r", i);
    }
    ASSERT_TRUE(peer.SendAll(flood.substr(0, flood.size() / 2)));
    ASSERT_TRUE(logged(kLines)) << cli.Err();
    // The reader catches up: it gets the oldest lines, which the pipe took,
    // and the newest, with one gap between them.
    std::vector<int> numbers;
    for (std::string line; numbers.empty() || numbers.back() < kLines - 1;) {
        if ((line = cli.ReadOut(32)).size() < 32) break;
        numbers.push_back(std::stoi(line.substr(17, 6)));
    }
    ASSERT_TRUE(cli.WaitForErr(" lines dropped\n")) << cli.Err();
    int gaps = 0, dropped = 0;
    for (size_t i = 1; i < numbers.size(); ++i) {
        gaps += numbers[i] != numbers[i - 1] + 1;
        dropped += numbers[i] - numbers[i - 1] - 1;
    }
    EXPECT_EQ(StrPrintf("%d..%d, %d gap", numbers.front(), numbers.back(), gaps),
              StrPrintf("0..%d, 1 gap", kLines - 1));
    EXPECT_NE(
        cli.Err().find(StrPrintf("\nqelvor-cli: output not read, %d lines dropped\n", dropped)),
        std::string::npos)
        << cli.Err();
    // Stalled again.
    ASSERT_TRUE(peer.SendAll(flood.substr(flood.size() / 2)));
    ASSERT_TRUE(logged(2 * kLines)) << cli.Err();
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(3000), 0);
    std::istringstream lines(ReadFile(log));
    std::string records;
    for (std::string line; std::getline(lines, line);)
        records += line.substr(std::min<size_t>(line.size(), 14));
    EXPECT_TRUE(records == expected) << records.size() << " of " << expected.size() << " bytes";
}

// The run's capture file in dir/sessions/ (the settings folder of a linked
// qelvor-cli): every record printed before a kill -9 is in it, and a disk
// that fills keeps the run recording with one 'I' record saying so.
class CliCapture : public testing::Test {
  protected:
    void Start(const std::string& sessions) {
        if (!sessions.empty())
            std::filesystem::create_directory_symlink(sessions, dir.File("sessions"));
        const std::string ini = WriteIni(dir, Key("WorkMode", 1) + Key("IPPort", listener.Port()));
        cli.emplace(std::vector<std::string>{IsolatedCli(dir), "--ini", ini, "--no-time",
                                             "--seconds", "30"});
        peer = listener.Accept(5000);
        ASSERT_TRUE(peer.Valid()) << cli->Err();
    }
    std::string Frames(int from, int to, size_t size) {
        std::string frames;
        for (int i = from; i < to; ++i) {
            std::string frame = "frame " + std::to_string(i) + " ";
            frames += frame + std::string(size - frame.size() - 2, '.') + "\r\n";
        }
        return frames;
    }

    TempFolder dir;
    Socket listener = Socket::Listen();
    std::optional<ChildProcess> cli;
    Socket peer;
};

TEST_F(CliCapture, EveryRecordPrintedBeforeAKillIsInTheCaptureFile) {
    Start("");
    ASSERT_TRUE(peer.SendAll(Frames(0, 2000, 40)));
    ASSERT_TRUE(cli->WaitForOut("R:frame 1999 ")) << cli->Err();
    const std::string printed = cli->Out();
    cli->Signal(SIGKILL);
    cli->Wait();
    std::vector<std::string> captures;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("sessions")))
        captures.push_back(entry.path());
    ASSERT_EQ(captures.size(), 2u);  // the records and their index
    std::sort(captures.begin(), captures.end());
    ChildProcess print({kCli, "--session", captures[0], "--print", "--no-time"});
    EXPECT_EQ(print.Wait(), 0);
    EXPECT_EQ(print.Err(), "");
    EXPECT_EQ(print.Out(), printed);
}

TEST_F(CliCapture, AFullDiskKeepsTheRunRecording) {
    testing_support::SmallDisk disk(256);
    if (!disk.Reason().empty()) GTEST_SKIP() << disk.Reason();
    Start(disk.File(""));
    ASSERT_TRUE(peer.SendAll(Frames(0, 400, 1000)));
    ASSERT_TRUE(cli->WaitForOut("R:frame 399 ")) << cli->Err();
    EXPECT_THAT(cli->Out(),
                testing::HasSubstr("\nI:capture file: disk full, keeping the newest records in "
                                   "memory\n"));
}

}  // namespace
}  // namespace qelvor::test
