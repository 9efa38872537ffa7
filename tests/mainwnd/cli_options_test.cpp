// The command line of qelvor-cli: accepted forms and the usage errors, the
// port options, the printed record lines; the reading of its standard input.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/cli/cli_options.h"
#include "app/cli/cli_port_list.h"
#include "app/cli/record_line_format.h"
#include "app/cli/stdin_reader.h"
#include "config/string_table.h"
#include "support/temp_folder.h"

namespace qelvor {
namespace {

// Each case: the arguments, the action, and for a usage error a piece of the
// one-line reason that names the bad part. (What each option does, the runs
// of qelvor-cli show; here its value may also follow a '='.)
TEST(CliOptions, HelpVersionListPortsAndUsageErrorsNamingTheBadPart) {
    const std::tuple<std::vector<std::string>, CliAction, std::string> cases[] = {
        {{"--ini", "x", "--help"}, CliAction::Help, ""},
        {{"-h"}, CliAction::Help, ""},
        {{"--version"}, CliAction::Version, ""},
        {{"--list-ports"}, CliAction::ListPorts, ""},
        {{"--astm", "--data", "d"}, CliAction::Run, ""},
        {{"--bogus"}, CliAction::UsageError, "'--bogus'"},
        {{"positional"}, CliAction::UsageError, "'positional'"},
        {{"--ini"}, CliAction::UsageError, "--ini needs a value"},
        {{"--seconds", "soon"}, CliAction::UsageError, "'soon'"},
        {{"--seconds", "-1"}, CliAction::UsageError, "'-1'"},
        {{"--seconds", "1e99"}, CliAction::UsageError, "'1e99'"},
        {{"--seconds", "nan"}, CliAction::UsageError, "'nan'"},
        {{"--data="}, CliAction::UsageError, "--data needs a non-empty"},
        {{"--auto-send=yes"}, CliAction::UsageError, "'--auto-send=yes'"},
        {{"--list-ports=1"}, CliAction::UsageError, "'--list-ports=1'"},
        {{"--exit-after-message", "--astm"}, CliAction::UsageError, "needs --astm"},
        {{"--exit-after-message", "--data", "d"}, CliAction::UsageError, "needs --astm"},
        {{"--eol", "crnl"}, CliAction::UsageError, "'crnl'"},
        {{"--serial", ":9600"}, CliAction::UsageError, "--serial needs a device"},
        {{"--serial", "ttyS0:96k"}, CliAction::UsageError, "baud rate '96k'"},
        {{"--serial", "ttyS0:49"}, CliAction::UsageError, "baud rate '49'"},
        {{"--serial", "ttyS0:9600:9N1"}, CliAction::UsageError, "format '9N1'"},
        {{"--serial", "ttyS0:9600:8X1"}, CliAction::UsageError, "format '8X1'"},
        {{"--serial", "ttyS0:9600:8N3"}, CliAction::UsageError, "format '8N3'"},
        {{"--serial", "ttyS0:9600:8N1:x"}, CliAction::UsageError, "DEVICE[:BAUD[:FORMAT]]"},
        {{"--tcp-server", "65536"}, CliAction::UsageError, "port '65536'"},
        {{"--tcp-server", ":9000"}, CliAction::UsageError, "address before ':' is empty"},
        {{"--tcp-client", "9000"}, CliAction::UsageError, "HOST:PORT, not '9000'"},
        {{"--tcp-client", "host:0"}, CliAction::UsageError, "port '0'"},
        {{"--udp", "9000:host"}, CliAction::UsageError, "LOCAL:HOST:REMOTE, not '9000:host'"},
        {{"--udp", "0"}, CliAction::UsageError, "local port 0 receives nothing"},
        {{"--udp", "x:h:1"}, CliAction::UsageError, "local port 'x'"},
        {{"--udp", "9000::9001"}, CliAction::UsageError, "host between the ports is empty"},
        {{"--udp", "9000:h:-1"}, CliAction::UsageError, "remote port '-1'"},
        {{"--serial", "a", "--udp", "1"}, CliAction::UsageError, "--serial and --udp"},
    };
    CCliOptions options;
    std::string error;
    ASSERT_EQ(
        ParseCliOptions({"--set=Lab", "--seconds=2.5", "--data=d", "--udp=9000"}, options, error),
        CliAction::Run);
    EXPECT_EQ(StrPrintf("%s %g %s %d", options.setName.c_str(), options.seconds,
                        options.dataFile.c_str(), options.port.port),
              "Lab 2.5 d 9000");
    for (const auto& [args, action, reason] : cases) {
        options = CCliOptions();
        error.clear();
        EXPECT_EQ(ParseCliOptions(args, options, error), action) << args[0];
        EXPECT_NE(error.find(reason), std::string::npos) << args[0] << ": " << error;
        EXPECT_EQ(error.empty(), action != CliAction::UsageError) << args[0];
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
    for (const char* option : {"--astm-host", "--serial", "--udp", "--list-ports", "--exit-at-eof",
                               "--exit-on-close", "--eol", "--quiet", "\n3 with"})
        EXPECT_NE(CliUsageText().find(option), std::string::npos) << option;
}

// What each port option sets: device, rate, byte size, parity and stop-bit
// codes, host, port, remote port.
TEST(CliOptions, PortOptionsGiveTheirSettings) {
    const std::tuple<CliPortKind, std::string, std::string> cases[] = {
        {CliPortKind::Serial, "/dev/pts/3:115200:7E1", "/dev/pts/3 115200 7 2 0 | 0 0"},
        {CliPortKind::Serial, "ttyUSB0", "ttyUSB0 0 - | 0 0"},
        {CliPortKind::Serial, "ttyS1:9600:8o2", "ttyS1 9600 8 1 2 | 0 0"},
        {CliPortKind::Serial, "ttyS1:300:5S1.5", "ttyS1 300 5 4 1 | 0 0"},
        {CliPortKind::Serial, "ttyS1:50:6m1", "ttyS1 50 6 3 0 | 0 0"},
        // A by-path name holds ':' itself and stays whole.
        {CliPortKind::Serial, "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0:57600",
         "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0 57600 - | 0 0"},
        {CliPortKind::TcpServer, "9000", " 0 - | 9000 0"},
        {CliPortKind::TcpServer, "127.0.0.1:65535", " 0 - 127.0.0.1| 65535 0"},
        {CliPortKind::TcpClient, "localhost:1", " 0 - localhost| 1 0"},
        {CliPortKind::Udp, "9000", " 0 - | 9000 0"},
        {CliPortKind::Udp, "0:10.0.0.2:9001", " 0 - 10.0.0.2| 0 9001"},
    };
    for (const auto& [kind, value, expected] : cases) {
        CCliPort port;
        std::string error;
        ASSERT_TRUE(ParseCliPort(kind, value, port, error)) << value << ": " << error;
        const std::string format =
            port.formatGiven ? StrPrintf("%d %d %d", port.byteSize, port.parity, port.stopBit)
                             : "-";
        EXPECT_EQ(StrPrintf("%s %d %s %s| %d %d", port.device.c_str(), port.baudRate,
                            format.c_str(), port.host.c_str(), port.port, port.remotePort),
                  expected);
    }
    EXPECT_EQ(CliFormatText(7, 2, 0) + CliFormatText(8, 4, 1) + CliFormatText(5, 1, 2),
              "7E18S1.55O2");
    EXPECT_EQ(WithLineEnd("a", CliEol::None, false) + WithLineEnd("b", CliEol::Cr, false) +
                  WithLineEnd("c", CliEol::Lf, false) + WithLineEnd("d", CliEol::CrLf, false),
              "ab<CR>c<LF>d<CR><LF>");
    EXPECT_EQ(WithLineEnd("41", CliEol::CrLf, true) + WithLineEnd(" 42", CliEol::Lf, true),
              "41 0D 0A 42 0A");
}

// The log-line format by default; hexadecimal data, no time, and the
// terminal's escaping (with and without UTF-8) on request.
TEST(CliOptions, RecordLinesInEachForm) {
    const SystemTime at{2026, 12, 1, 7, 9, 5, 3, 42};
    const CMsgRecord received('R', "\002A\177\233\302\233\346\226\207\342\202", at);
    const CMsgRecord info('I', "note \x85", at);
    const CRecordLineFormat hex{true}, hexNoTime{true, true}, terminal{false, true, true},
        utf8{false, true, true, true}, utf8Timed{false, false, true, true};
    const std::tuple<CRecordLineFormat, const CMsgRecord*, std::string> cases[] = {
        {{}, &received, "<09:05:03.042>R:<STX>A\x7F\x9B\xC2\x9B\xE6\x96\x87\xE2\x82"},
        {hex, &received, "<09:05:03.042>R:02 41 7F 9B C2 9B E6 96 87 E2 82"},
        {hexNoTime, &info, "I:note \x85"},
        {terminal, &received, "R:<STX>A<DEL><x9B>\xC2<x9B>\xE6<x96><x87>\xE2<x82>"},
        // UTF-8: whole characters stay; a C1 control and a cut character do not.
        {utf8, &received, "R:<STX>A<DEL><x9B>\xC2<x9B>\xE6\x96\x87\xE2<x82>"},
        {utf8Timed, &info, "<09:05:03.042>I:note <x85>"},
    };
    for (const auto& [format, record, expected] : cases)
        EXPECT_EQ(FormatRecordLine(*record, format), expected);
    // Overlong forms and surrogates are no characters.
    EXPECT_EQ(EscapeForTerminal("\xF0\x9F\x98\x80\xE0\x80\x80\xED\xA0\x80", true),
              "\xF0\x9F\x98\x80\xE0<x80><x80>\xED\xA0<x80>");
}

// A port's line names its first by-id link (by name) and whether it can be used.
TEST(CliOptions, PortListLinesNameTheByIdLinkAndTheUse) {
    testing_support::TempFolder dir;
    testing_support::WriteFile(dir.File("ttyFAKE0"), "");
    std::filesystem::create_directory(dir.File("by-id"));
    std::filesystem::create_symlink(dir.File("ttyFAKE0"), dir.File("by-id/usb-B"));
    std::filesystem::create_symlink("../ttyFAKE0", dir.File("by-id/usb-A"));
    const std::string device = std::filesystem::canonical(dir.File("ttyFAKE0"));
    const std::list<StreamPort::CSerialPortInfo> ports = {{device, "FT232R (ttyFAKE0)", 0, ""},
                                                          {"/dev/ttyS1", "ttyS1", 1, ""},
                                                          {"/dev/ttyS2", "ttyS2", 0, "dialout"}};
    EXPECT_EQ(
        PortListText(ports, LinksByDevice(dir.File("by-id"))),
        "FT232R (ttyFAKE0)\t" + device + "\t" + dir.File("by-id/usb-A") +
            "\tfree\nttyS1\t/dev/ttyS1\t-\tin use\nttyS2\t/dev/ttyS2\t-\tneeds group dialout\n");
    EXPECT_TRUE(LinksByDevice(dir.File("none")).empty());
}

}  // namespace
}  // namespace qelvor

// A file as standard input: its lines lose their ends, and a line that never
// ends comes in bounded pieces.
TEST(StdinReader, LinesLoseTheirEndsAndEndlessInputComesInBoundedPieces) {
    qelvor::testing_support::TempFolder dir;
    const std::string endless(2'500'000, 'a');
    qelvor::testing_support::WriteFile(dir.File("in"), "one\r\ntwo\n" + endless);
    const int fd = open(dir.File("in").c_str(), O_RDONLY | O_CLOEXEC);
    qelvor::CStdinReader reader;
    reader.Start(fd);
    EXPECT_TRUE(qelvor::testing_support::WaitUntil([&] { return reader.Ended(); }));
    reader.Stop();
    close(fd);
    std::vector<std::string> lines;
    for (std::string line; reader.PopLine(line);)
        lines.push_back(line);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0] + "|" + lines[1], "one|two");
    std::string rest;
    for (size_t i = 2; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 1024u * 1024 + 4096) << "piece " << i;
        rest += lines[i];
    }
    EXPECT_EQ(rest, endless);
}
