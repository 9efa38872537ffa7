#include "app/cli/cli_options.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>

#include "support/engine_fixture.h"

namespace qelvor::test {
namespace {

// Each case: the arguments, the action, and a piece of a usage error's one-line reason.
TEST(CliOptions, ActionsPortSettingsAndUsageErrorsNamingTheBadPart) {
    const CliAction U = CliAction::UsageError;
    // clang-format off
    const std::tuple<std::vector<std::string>, CliAction, std::string> cases[] = {
        {{"--ini", "x", "--help"}, CliAction::Help, ""}, {{"--version"}, CliAction::Version, ""},
        {{"--list-ports"}, CliAction::ListPorts, ""},
        {{"--astm", "--data", "d"}, CliAction::Run, ""},
        {{"--session", "s.qcap", "--print"}, CliAction::PrintSession, ""},
        {{"--session", "s.qcap"}, U, "--session and --print go together"},
        {{"--print", "--hex"}, U, "--session and --print go together"},
        {{"--bogus"}, U, "'--bogus'"}, {{"--ini"}, U, "--ini needs a value"},
        {{"--seconds", "-1"}, U, "'-1'"}, {{"--seconds", "1e99"}, U, "'1e99'"},
        {{"--seconds", "nan"}, U, "'nan'"}, {{"--data="}, U, "--data needs a non-empty"},
        {{"--auto-send=yes"}, U, "'--auto-send=yes'"}, {{"--list-ports=1"}, U, "'--list-ports=1'"},
        {{"--exit-after-message", "--astm"}, U, "needs --astm"},
        {{"--exit-after-message", "--data", "d"}, U, "needs --astm"},
        {{"--exit-after-message", "--hl7", "--data", "d"}, U, "--hl7-sender, and --data"},
        {{"--hl7", "--astm"}, U, "--astm and --hl7 do not go together"},
        {{"--astm-host", "--fault-drop-after=3", "--fault-delay", "0"}, CliAction::Run, ""},
        {{"--hl7", "--fault-nak", "2"}, U, "--fault options need --astm or --astm-host"},
        {{"--astm", "--orders", "o.csv"}, U, "--orders needs --astm-host or --hl7"},
        {{"--hl7-sender", "--orders", "o.csv"}, U, "--orders needs --astm-host or --hl7"},
        {{"--hl7", "--orders", "o.csv"}, CliAction::Run, ""},
        {{"--astm", "--fault-enq", "-1"}, U, "'-1'"}, {{"--astm", "--fault-delay=3600001"}, U, "'3600001'"},
        {{"--tap", "pty"}, U, "--tap needs two endpoints"},
        {{"--tap", "pty", "udp:9", "--hl7"}, U, "--tap names both ports and answers nothing"},
        {{"--eol", "crnl"}, U, "'crnl'"}, {{"--serial", ":9600"}, U, "--serial needs a device"},
        {{"--serial", "ttyS0:49"}, U, "baud rate '49'"},
        {{"--serial", "ttyS0:9600:9N1"}, U, "format '9N1'"},
        {{"--serial", "ttyS0:9600:8X1"}, U, "format '8X1'"},
        {{"--serial", "ttyS0:9600:8N3"}, U, "format '8N3'"},
        {{"--serial", "ttyS0:9600:8N1:x"}, U, "DEVICE[:BAUD[:FORMAT]]"},
        {{"--tcp-server", "65536"}, U, "port '65536'"},
        {{"--tcp-server", ":9000"}, U, "address before ':' is empty"},
        {{"--tcp-client", "9000"}, U, "HOST:PORT, not '9000'"},
        {{"--tcp-client", "host:0"}, U, "port '0'"}, {{"--udp", "x:h:1"}, U, "local port 'x'"},
        {{"--udp", "9000:host"}, U, "LOCAL:HOST:REMOTE, not '9000:host'"},
        {{"--udp", "0"}, U, "local port 0 receives nothing"},
        {{"--udp", "9000::9001"}, U, "host between the ports is empty"},
        {{"--udp", "9000:h:-1"}, U, "remote port '-1'"},
        {{"--serial", "a", "--udp", "1"}, U, "--serial and --udp"},
        {{"--pty", "run/"}, U, "--pty: 'run/' is a folder"}};
    // clang-format on
    CCliOptions options;
    std::string error;
    ASSERT_EQ(
        ParseCliOptions({"--set=Lab", "--seconds=2.5", "--data=d", "--udp=9000"}, options, error),
        CliAction::Run);
    EXPECT_EQ(StrPrintf("%s %g %s %d", options.setName.c_str(), options.seconds,
                        options.dataFile.c_str(), options.port.port),
              "Lab 2.5 d 9000");
    // --pty takes the next argument as its link unless it is an option.
    for (const auto& [args, link] :
         {std::make_pair(std::vector<std::string>{"--pty", "--hex"}, ""),
          std::make_pair(std::vector<std::string>{"--pty", "L", "--hex"}, "L"),
          std::make_pair(std::vector<std::string>{"--hex", "--pty"}, ""),
          std::make_pair(std::vector<std::string>{"--pty=", "--hex"}, "")}) {
        options = CCliOptions();
        EXPECT_EQ(ParseCliOptions(args, options, error), CliAction::Run) << error;
        EXPECT_EQ(std::make_tuple(options.port.kind, options.port.device, options.hex),
                  std::make_tuple(NamedPortKind::Pty, std::string(link), true));
    }
    for (const auto& [args, action, reason] : cases) {
        options = CCliOptions();
        error.clear();
        EXPECT_EQ(ParseCliOptions(args, options, error), action) << args[0];
        EXPECT_NE(error.find(reason), std::string::npos) << args[0] << ": " << error;
        EXPECT_EQ(std::make_pair(error.empty(), error.find('\n')),
                  std::make_pair(action != U, std::string::npos))
            << args[0];
    }
    // What each port option sets: device, rate, byte size, parity and
    // stop-bit codes, host, port, remote port.
    const NamedPortKind S = NamedPortKind::Serial;
    // clang-format off
    const std::tuple<NamedPortKind, std::string, std::string> ports[] = {
        {S, "ttyUSB0", "ttyUSB0 0 - | 0 0"}, {S, "ttyS1:9600:8o2", "ttyS1 9600 8 1 2 | 0 0"},
        {S, "ttyS1:300:5S1.5", "ttyS1 300 5 4 1 | 0 0"},
        {S, "ttyS1:50:6m1", "ttyS1 50 6 3 0 | 0 0"},
        // A by-path name holds ':' itself and stays whole.
        {S, "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0:57600",
         "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0 57600 - | 0 0"},
        {NamedPortKind::TcpServer, "9000", " 0 - | 9000 0"},
        {NamedPortKind::TcpServer, "127.0.0.1:65535", " 0 - 127.0.0.1| 65535 0"},
        {NamedPortKind::TcpClient, "localhost:1", " 0 - localhost| 1 0"},
        {NamedPortKind::Udp, "0:10.0.0.2:9001", " 0 - 10.0.0.2| 0 9001"}};
    // clang-format on
    for (const auto& [kind, value, expected] : ports) {
        CNamedPort port;
        ASSERT_TRUE(ParseNamedPort(kind, value, port, error)) << value << ": " << error;
        const std::string format =
            port.formatGiven ? StrPrintf("%d %d %d", port.byteSize, port.parity, port.stopBit)
                             : "-";
        EXPECT_EQ(StrPrintf("%s %d %s %s| %d %d", port.device.c_str(), port.baudRate,
                            format.c_str(), port.host.c_str(), port.port, port.remotePort),
                  expected);
    }
    // The forms the runs below do not print.
    EXPECT_EQ(LineFormatText(8, 4, 1) + LineFormatText(5, 1, 2), "8S1.55O2");
    EXPECT_EQ(WithLineEnd("a", CliEol::Cr, false) + WithLineEnd(" 41", CliEol::Lf, true) +
                  WithLineEnd(" 42", CliEol::CrLf, true),
              "a<CR> 41 0A 42 0D 0A");
}

}  // namespace
}  // namespace qelvor::test
