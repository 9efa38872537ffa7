// qelvor-cli run as a child process against real peers on 127.0.0.1 and a
// pty pair: the ASTM-style handshake, UDP answer mode, a serial line, the
// input lines, auto-send, the exit statuses and the printed lines.
#include <signal.h>

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "config/string_table.h"
#include "mainwnd/child_process.h"
#include "mainwnd/engine_test_support.h"

namespace qelvor::test {
namespace {

const std::string kCli = QELVOR_CLI_PATH;

// An INI file whose current set holds the given keys.
std::string WriteIni(const TempDir& dir, const std::string& keys) {
    const std::string path = dir.File("cli.ini");
    WriteFile(path, "[ComSet]\r\n" + keys + "SendAfterLoadFile=0\r\nAutoSaveLog=0\r\n");
    return path;
}

std::string Key(const std::string& name, const std::string& value) {
    return name + "=" + value + "\r\n";
}
std::string Key(const std::string& name, int value) {
    return Key(name, std::to_string(value));
}

// "<hh:mm:ss.mmm>T:" with T one of S, R, I, then the data.
bool IsRecordLine(const std::string& line) {
    const std::string shape = "<00:00:00.000>";
    if (line.size() < shape.size() + 2) return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
        if (shape[i] == '0' ? !digit : line[i] != shape[i]) return false;
    }
    const char type = line[shape.size()];
    return (type == 'S' || type == 'R' || type == 'I') && line[shape.size() + 1] == ':';
}

// Every standard-output line must be one record in the log line format.
void ExpectRecordLines(const std::string& out) {
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        EXPECT_TRUE(IsRecordLine(line)) << line;
}

const std::string kDefaultLists =
    Key("SplitStrs", "<CR><LF>,<ENQ>,<ACK>,<NAK>,<ETX>,<ETB>,<EOT><SOH>,<EOT>") +
    Key("RespondStrs", "<ACK>,<ACK>,[DATA],[RDATA],<ACK>,<ACK>,<ACK>");

TEST(CliRunner, AnswersAnAstmStyleSessionFromItsDataList) {
    TempDir dir;
    Socket listener = Socket::Listen();
    const std::string ini = WriteIni(
        dir, Key("WorkMode", 1) + Key("SvrIPAddr", "127.0.0.1") + Key("IPPort", listener.Port()) +
                 Key("HandShake", 1) + Key("UsedCheckSum", 1) + Key("CheckSum", 0) +
                 Key("Preamble", "") + Key("Postamble", "") + kDefaultLists);
    const std::string data = dir.File("astm.txt");
    WriteFile(
        data,
        "<STX><FN8>R|1<CR><ETX><CheckSum><CR><LF>\r\n<STX><FN8>L|1<CR><ETX><CheckSum><CR><LF>");
    ChildProcess cli({kCli, "--ini", ini, "--data", data, "--seconds", "30"});
    ASSERT_TRUE(cli.Started());
    Socket peer = listener.Accept(5000);
    ASSERT_TRUE(peer.Valid()) << cli.Err();

    ASSERT_TRUE(peer.SendAll("\x05"));
    EXPECT_EQ(peer.Receive(1), "\x06");
    ASSERT_TRUE(
        peer.SendAll("\x02"
                     "1H|\\^&\r\x03"
                     "00\r\n"));
    EXPECT_EQ(peer.Receive(1), "\x06");
    const std::string line0 =
        "\x02"
        "1R|1\r\x03"
        "40\r\n";
    const std::string line1 =
        "\x02"
        "2L|1\r\x03"
        "3B\r\n";
    ASSERT_TRUE(peer.SendAll("\x06"));
    EXPECT_EQ(peer.Receive(line0.size()), line0);
    ASSERT_TRUE(peer.SendAll("\x06"));
    EXPECT_EQ(peer.Receive(line1.size()), line1);
    ASSERT_TRUE(peer.SendAll("\x06"));
    EXPECT_EQ(peer.Receive(1), "\x04");

    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(), 0);
    const std::string out = cli.Out();
    EXPECT_NE(out.find(">R:<ENQ>\n"), std::string::npos) << out;
    EXPECT_NE(out.find(">S:<STX>1R|1<CR><ETX>40<CR><LF>\n"), std::string::npos) << out;
    EXPECT_NE(out.find(">S:<EOT>\n"), std::string::npos) << out;
    EXPECT_NE(out.find(">I:load data file succeeded,data count = 2!\n"), std::string::npos);
    ExpectRecordLines(out);
    EXPECT_NE(cli.Err().find(StrPrintf("TCP-Client(127.0.0.1:%d) connected", listener.Port())),
              std::string::npos)
        << cli.Err();
}

TEST(CliRunner, AnswersUdpSendersAndSendsInputLinesToThem) {
    TempDir dir;
    Socket probe = Socket::Udp();
    const int localPort = probe.Port();
    probe.Reset();
    const std::string ini = WriteIni(
        dir, Key("WorkMode", 2) + Key("SvrIPAddr", "127.0.0.1") + Key("UDPLocalPort", localPort) +
                 Key("UDPRemotePort", 0) + Key("HandShake", 1) + kDefaultLists);
    ChildProcess cli({kCli, "--ini", ini});
    ASSERT_TRUE(cli.Started());
    Socket peer = Socket::Udp();
    // Datagrams sent before the runner bound its port are lost: repeat.
    std::string answer;
    for (int i = 0; i < 50 && answer.empty(); ++i) {
        ASSERT_TRUE(peer.SendTo("\x05", localPort));
        answer = peer.Receive(1, 100);
    }
    EXPECT_EQ(answer, "\x06") << cli.Err();

    cli.WriteStdin("hello<CR><LF>\n");
    EXPECT_EQ(peer.Receive(7), "hello\r\n");
    // The end of the input stops reading, not the program.
    cli.CloseStdin();
    ASSERT_TRUE(peer.SendTo("\x05", localPort));
    EXPECT_EQ(peer.Receive(1), "\x06");

    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(), 0);
    EXPECT_NE(cli.Out().find(">S:hello<CR><LF>\n"), std::string::npos) << cli.Out();
    EXPECT_NE(cli.Err().find(StrPrintf("Local(%d)", localPort)), std::string::npos);
    ExpectRecordLines(cli.Out());
}

TEST(CliRunner, UsesAPtyAsItsSerialLine) {
    TempDir dir;
    PtyPair pty;
    ASSERT_FALSE(pty.Path().empty());
    const std::string ini = WriteIni(
        dir, Key("WorkMode", 10) + Key("ComPort", 0) + Key("ComName", pty.Path()) +
                 Key("BaudRate", 9600) + Key("ByteSize", 8) + Key("Parity", 0) + Key("StopBit", 0) +
                 Key("HandShake", 1) + Key("Preamble", "") + Key("Postamble", "") + kDefaultLists);
    ChildProcess cli({kCli, "--ini", ini, "--seconds", "30"});
    ASSERT_TRUE(cli.Started());
    ASSERT_TRUE(cli.WaitForErr("SerialPort:" + pty.Path() + "(9600 8-N-1)")) << cli.Err();

    ASSERT_TRUE(pty.Write("\x05"));
    EXPECT_EQ(pty.Read(1), "\x06");
    cli.WriteStdin("ping\r\n");
    EXPECT_EQ(pty.Read(4), "ping");

    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(), 0);
    EXPECT_NE(cli.Out().find(">R:<ENQ>\n"), std::string::npos);
    EXPECT_NE(cli.Out().find(">S:ping\n"), std::string::npos);
}

TEST(CliRunner, AutoSendGoesOutOnceTheClientIsConnected) {
    TempDir dir;
    Socket listener = Socket::Listen();
    const std::string ini =
        WriteIni(dir, Key("WorkMode", 1) + Key("SvrIPAddr", "127.0.0.1") +
                          Key("IPPort", listener.Port()) + Key("HandShake", 0) +
                          Key("AutoSendElapse", 1) + Key("Preamble", "") + Key("Postamble", ""));
    const std::string data = dir.File("lines.txt");
    WriteFile(data, "L0\nL1\nL2");
    ChildProcess cli({kCli, "--ini", ini, "--data", data, "--auto-send", "--seconds", "30"});
    Socket peer = listener.Accept(5000);
    ASSERT_TRUE(peer.Valid());
    EXPECT_EQ(peer.Receive(6), "L0L1L2");
    ASSERT_TRUE(cli.WaitForOut(">S:L2\n"));
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(), 0);
}

TEST(CliRunner, EndsAfterTheGivenSeconds) {
    TempDir dir;
    const int port = FreeTcpPort();
    // A backup period far beyond what the clock counts must not disturb it.
    const std::string ini = WriteIni(
        dir, Key("WorkMode", 0) + Key("IPPort", port) + Key("BackupLogTimeCount", 2000000000));
    ChildProcess cli({kCli, "--ini", ini, "--seconds", "0.3"});
    EXPECT_EQ(cli.Wait(), 0);
    EXPECT_NE(cli.Err().find(StrPrintf("TCP-Server(Port=%d) waiting client", port)),
              std::string::npos)
        << cli.Err();
    EXPECT_EQ(cli.Out(), "");
}

TEST(CliRunner, PortThatCannotBeOpenedEndsWithStatusOne) {
    TempDir dir;
    const std::string device = dir.File("no-such-tty");
    const std::string ini =
        WriteIni(dir, Key("WorkMode", 10) + Key("ComPort", 0) + Key("ComName", device));
    ChildProcess cli({kCli, "--ini", ini});
    EXPECT_EQ(cli.Wait(), 1);
    EXPECT_NE(cli.Err().find("SerialPort:" + device + "Open port failed"), std::string::npos)
        << cli.Err();
}

TEST(CliRunner, UsageErrorsEndWithStatusTwoAndOneLine) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{kCli, "--nope"}, {kCli, "--seconds", "x"}, {kCli, "--ini"}}) {
        ChildProcess cli(args);
        EXPECT_EQ(cli.Wait(), 2) << args[1];
        const std::string err = cli.Err();
        EXPECT_FALSE(err.empty());
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    }
    ChildProcess version({kCli, "--version"});
    EXPECT_EQ(version.Wait(), 0);
    const std::string text = version.Out();
    ASSERT_EQ(text.rfind("qelvor-cli ", 0), 0u) << text;
    EXPECT_EQ(text.find_first_not_of("0123456789.", 11), text.size() - 1) << text;
    ChildProcess help({kCli, "--help"});
    EXPECT_EQ(help.Wait(), 0);
    EXPECT_EQ(help.Out().rfind("Usage: qelvor-cli", 0), 0u);
}

}  // namespace
}  // namespace qelvor::test
