// The command line of qelvor-cli, parsed into plain options. Pure; any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/line_end.h"
#include "tap/named_port.h"

namespace qelvor {

// The line end --eol appends to each line read from standard input: the
// set's SendLineEnd for this run.
using CliEol = LineEnd;

// --fault-checksum N, --fault-nak N, --fault-withhold-ack N, --fault-enq N,
// --fault-drop-after N and --fault-delay MS: the faults the ASTM link injects
// in this run, in place of the set's Fault keys; -1: not given, the key stands.
struct CliFaults {
    int badChecksum = -1;
    int nak = -1;
    int withholdAck = -1;
    int enqContention = -1;
    int dropAfter = -1;
    int delayMs = -1;
};

struct CCliOptions {
    std::string iniFile;  // empty: the settings folder's "qelvor.ini"
    std::string setName;  // empty: the current set of the INI file
    std::string dataFile;
    // --rules FILE: trigger rules for this run in place of the set's.
    std::string rulesFile;
    // --orders FILE: the order table the ASTM host or the HL7 receiver
    // answers queries from in this run, in place of the set's OrdersFile.
    std::string ordersFile;
    // The port for this run only, over the set in use; kind None: the set's.
    CNamedPort port;
    // --tap A B: a tap between the two endpoints (WorkMode 30) for this run,
    // each written KIND:VALUE; empty: no tap.
    std::string tapA, tapB;
    bool autoSend = false;
    // ProtocolMode 1 for this run only; astmHost also takes the host's role.
    bool astm = false;
    bool astmHost = false;
    // ProtocolMode 2 for this run only; hl7Sender also takes the sender's
    // role, which sends the data file's messages.
    bool hl7 = false;
    bool hl7Sender = false;
    CliFaults faults;
    // The data file goes out once as a message; the run ends after it.
    bool exitAfterMessage = false;
    // ScriptHooks 1 for this run only: the script's OnFrame and OnTimer.
    bool scriptHooks = false;
    double seconds = -1;  // below 0: run until a signal ends it
    // How records are printed: data as hexadecimal pairs, without the time
    // stamp; quiet leaves the status lines out.
    bool hex = false;
    bool noTime = false;
    bool quiet = false;
    // Not given: the set's own SendLineEnd.
    std::optional<CliEol> eol;
    // The end of standard input ends the run once its lines went out.
    bool exitAtEof = false;
    // The end of a TCP connection or a vanished serial device ends the run
    // with kExitConnectionClosed.
    bool exitOnClose = false;
    // --session FILE --print: the capture file's records, printed as record
    // lines; no port is opened.
    std::string sessionFile;
    bool print = false;
};

enum class CliAction { Run, Help, Version, ListPorts, PrintSession, UsageError };

// Parses the arguments behind the program name. On UsageError, error holds a
// one-line reason.
CliAction ParseCliOptions(const std::vector<std::string>& args, CCliOptions& options,
                          std::string& error);

// The text of --help.
std::string CliUsageText();

// Exit statuses of qelvor-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;            // the port, the socket or the data file
inline constexpr int kExitUsage = 2;             // the command line or the settings it names
inline constexpr int kExitConnectionClosed = 3;  // with --exit-on-close

}  // namespace qelvor
