#include "app/cli/cli_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace qelvor {

namespace {

// Longer runs than a year are surely a typing error.
constexpr double kMaxSeconds = 365.0 * 24 * 3600;

bool ParseSeconds(const std::string& text, double& seconds) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size()) return false;
    if (!std::isfinite(value) || value < 0 || value > kMaxSeconds) return false;
    seconds = value;
    return true;
}

bool ParseEol(const std::string& text, std::optional<CliEol>& eol) {
    const std::pair<const char*, CliEol> names[] = {
        {"none", CliEol::None}, {"cr", CliEol::Cr}, {"lf", CliEol::Lf}, {"crlf", CliEol::CrLf}};
    for (const auto& [name, value] : names) {
        if (text == name) {
            eol = value;
            return true;
        }
    }
    return false;
}

// A fault's count, or its delay in ms: an hour's worth is plenty for either.
constexpr long kMaxFault = 3600 * 1000;

constexpr std::pair<const char*, int CliFaults::*> kFaultOptions[] = {
    {"--fault-checksum", &CliFaults::badChecksum},     {"--fault-nak", &CliFaults::nak},
    {"--fault-withhold-ack", &CliFaults::withholdAck}, {"--fault-enq", &CliFaults::enqContention},
    {"--fault-drop-after", &CliFaults::dropAfter},     {"--fault-delay", &CliFaults::delayMs},
};

int CliFaults::*FaultOption(const std::string& name) {
    for (const auto& [option, field] : kFaultOptions)
        if (name == option) return field;
    return nullptr;
}

bool AnyFault(const CliFaults& faults) {
    for (const auto& [option, field] : kFaultOptions)
        if (faults.*field >= 0) return true;
    return false;
}

bool StoreFault(int CliFaults::*field, const std::string& name, const std::string& value,
                CCliOptions& options, std::string& error) {
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || errno != 0 || *end != '\0' || number < 0 || number > kMaxFault) {
        error = name + " needs a whole number from 0 to " + std::to_string(kMaxFault) + ", not '" +
                value + "'";
        return false;
    }
    options.faults.*field = static_cast<int>(number);
    return true;
}

// Splits "--name=value"; value is set only when there was an "=".
void SplitInline(const std::string& arg, std::string& name, std::string& value, bool& inlined) {
    const size_t eq = arg.find('=');
    inlined = arg.rfind("--", 0) == 0 && eq != std::string::npos;
    name = inlined ? arg.substr(0, eq) : arg;
    value = inlined ? arg.substr(eq + 1) : std::string();
}

NamedPortKind PortKindOf(const std::string& name) {
    for (NamedPortKind kind : {NamedPortKind::Serial, NamedPortKind::TcpServer,
                               NamedPortKind::TcpClient, NamedPortKind::Udp, NamedPortKind::Pty}) {
        if (name == PortOptionName(kind)) return kind;
    }
    return NamedPortKind::None;
}

bool StorePort(NamedPortKind kind, const std::string& value, CCliOptions& options,
               std::string& error) {
    // Two ports in one run would leave the user guessing which one is used.
    if (options.port.kind != NamedPortKind::None) {
        error = std::string("only one port option: ") + PortOptionName(options.port.kind) +
                " and " + PortOptionName(kind) + " were given";
        return false;
    }
    return ParseNamedPort(kind, value, options.port, error);
}

// Stores the value of an option that takes one into options.
bool StoreValue(const std::string& name, const std::string& value, CCliOptions& options,
                std::string& error) {
    if (name == "--seconds") {
        if (ParseSeconds(value, options.seconds)) return true;
        error = "--seconds needs a number of seconds from 0 up, not '" + value + "'";
        return false;
    }
    if (name == "--eol") {
        if (ParseEol(value, options.eol)) return true;
        error = "--eol takes none, cr, lf or crlf, not '" + value + "'";
        return false;
    }
    if (int CliFaults::*fault = FaultOption(name))
        return StoreFault(fault, name, value, options, error);
    const NamedPortKind kind = PortKindOf(name);
    if (kind != NamedPortKind::None) return StorePort(kind, value, options, error);
    if (value.empty()) {
        error = name + " needs a non-empty value";
        return false;
    }
    if (name == "--ini") options.iniFile = value;
    if (name == "--set") options.setName = value;
    if (name == "--data") options.dataFile = value;
    if (name == "--rules") options.rulesFile = value;
    if (name == "--orders") options.ordersFile = value;
    if (name == "--session") options.sessionFile = value;
    return true;
}

// The options that take no value; false for any other name.
bool StoreFlag(const std::string& name, CCliOptions& options) {
    const std::pair<const char*, bool CCliOptions::*> flags[] = {
        {"--auto-send", &CCliOptions::autoSend},
        {"--astm", &CCliOptions::astm},
        {"--hl7", &CCliOptions::hl7},
        {"--exit-after-message", &CCliOptions::exitAfterMessage},
        {"--script-hooks", &CCliOptions::scriptHooks},
        {"--hex", &CCliOptions::hex},
        {"--no-time", &CCliOptions::noTime},
        {"--quiet", &CCliOptions::quiet},
        {"--exit-at-eof", &CCliOptions::exitAtEof},
        {"--exit-on-close", &CCliOptions::exitOnClose},
        {"--print", &CCliOptions::print},
    };
    if (name == "--astm-host") {
        options.astm = options.astmHost = true;
        return true;
    }
    if (name == "--hl7-sender") {
        options.hl7 = options.hl7Sender = true;
        return true;
    }
    for (const auto& [flag, field] : flags) {
        if (name == flag) {
            options.*field = true;
            return true;
        }
    }
    return false;
}

// Options that only mean something together.
bool CheckCombination(const CCliOptions& options, std::string& error) {
    if (options.print != !options.sessionFile.empty()) {
        error = "--session and --print go together";
        return false;
    }
    if (options.astm && options.hl7) {
        error = "--astm and --hl7 do not go together";
        return false;
    }
    if (!options.tapA.empty() &&
        (options.port.kind != NamedPortKind::None || options.astm || options.hl7)) {
        error = "--tap names both ports and answers nothing: no port option, --astm or --hl7";
        return false;
    }
    // The receiver of HL7 answers queries; its sender does not.
    if (!options.ordersFile.empty() && !options.astmHost && !(options.hl7 && !options.hl7Sender)) {
        error = "--orders needs --astm-host or --hl7";
        return false;
    }
    if (AnyFault(options.faults) && !options.astm) {
        error = "the --fault options need --astm or --astm-host";
        return false;
    }
    const bool sends = options.astm || options.hl7Sender;
    if (!options.exitAfterMessage || (sends && !options.dataFile.empty())) return true;
    error = "--exit-after-message needs --astm, --astm-host or --hl7-sender, and --data";
    return false;
}

bool TakesValue(const std::string& name) {
    return name == "--ini" || name == "--set" || name == "--data" || name == "--rules" ||
           name == "--orders" || name == "--session" || name == "--seconds" || name == "--eol" ||
           PortKindOf(name) != NamedPortKind::None || FaultOption(name) != nullptr;
}

}  // namespace

CliAction ParseCliOptions(const std::vector<std::string>& args, CCliOptions& options,
                          std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name;
        std::string value;
        bool inlined = false;
        SplitInline(args[i], name, value, inlined);
        if (name == "--help" || name == "-h") return CliAction::Help;
        if (name == "--version") return CliAction::Version;
        if (name == "--list-ports" && !inlined) return CliAction::ListPorts;
        if (!inlined && StoreFlag(name, options)) continue;
        if (name == "--tap" && !inlined) {
            if (i + 2 >= args.size()) {
                error = "--tap needs two endpoints: --tap A B";
                return CliAction::UsageError;
            }
            options.tapA = args[++i];
            options.tapB = args[++i];
            continue;
        }
        if (!TakesValue(name)) {
            error = "unknown option '" + args[i] + "'";
            return CliAction::UsageError;
        }
        // --pty takes a value only when one follows that is no option.
        const bool optional = name == PortOptionName(NamedPortKind::Pty);
        if (!inlined && optional && (i + 1 >= args.size() || args[i + 1].rfind('-', 0) == 0)) {
            value.clear();
        } else if (!inlined) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return CliAction::UsageError;
            }
            value = args[++i];
        }
        if (!StoreValue(name, value, options, error)) return CliAction::UsageError;
    }
    if (!CheckCombination(options, error)) return CliAction::UsageError;
    return options.print ? CliAction::PrintSession : CliAction::Run;
}

std::string CliUsageText() {
    return "Usage: qelvor-cli [--ini FILE] [--set NAME] [PORT] [--data FILE] [--auto-send]\n"
           "                  [--seconds N] [--astm | --astm-host | --hl7 | --hl7-sender]\n"
           "                  [--exit-after-message] [--rules FILE] [--orders FILE]\n"
           "                  [--script-hooks]\n"
           "                  [--fault-... N]\n"
           "                  [--hex] [--no-time] [--quiet] [--eol none|cr|lf|crlf]\n"
           "                  [--exit-at-eof] [--exit-on-close]\n"
           "       qelvor-cli --tap A B [--ini FILE] [--set NAME] [--seconds N] [--hex]\n"
           "                  [--no-time] [--quiet] [--exit-at-eof] [--exit-on-close]\n"
           "       qelvor-cli --session FILE --print [--hex] [--no-time]\n"
           "       qelvor-cli --list-ports | --help | --version\n"
           "Runs a port headless: prints every traffic record on standard output, every\n"
           "new port status and its reason on standard error, and sends each line read\n"
           "from standard input once the port is connected. It never writes the\n"
           "settings file.\n"
           "\n"
           "PORT, one of these, for this run only, over the settings set in use (no\n"
           "settings file is needed then: the defaults fill the rest):\n"
           "  --serial DEVICE[:BAUD[:FORMAT]]\n"
           "                 a serial line: a path or a name under /dev, a rate from 50\n"
           "                 to 12000000, a format like 8N1, 7E1 or 8N2\n"
           "  --tcp-server [ADDRESS:]PORT\n"
           "                 serve one TCP client on PORT, on ADDRESS only when given\n"
           "  --tcp-client HOST:PORT\n"
           "                 connect to a TCP server; HOST may be a name\n"
           "  --udp LOCAL[:HOST:REMOTE]\n"
           "                 receive on UDP port LOCAL; send to HOST:REMOTE, or without\n"
           "                 them answer whoever sent last\n"
           "  --pty [LINK]   a virtual serial port: a pty that another program opens as a\n"
           "                 serial device through the link LINK (default:\n"
           "                 $XDG_RUNTIME_DIR/qelvor/ttyQelvor0); this run plays the device\n"
           "\n"
           "  --tap A B      a tap between two endpoints (WorkMode=30): every byte one\n"
           "                 sends goes to the other unchanged; each side's frames are\n"
           "                 printed as A: and B: lines. Each is written KIND:VALUE:\n"
           "                 serial:DEVICE[:BAUD[:FORMAT]], tcp-server:[ADDRESS:]PORT,\n"
           "                 tcp-client:HOST:PORT, udp:LOCAL[:HOST:REMOTE], pty[:LINK]\n"
           "  --ini FILE     settings file; a name without '/' is looked up in the current\n"
           "                 folder, then in the settings folder (default: qelvor.ini\n"
           "                 there; without it and without PORT the run does not start)\n"
           "  --set NAME     use this settings set of the file instead of its current one\n"
           "  --list-ports   list the serial ports: name, device, /dev/serial/by-id path,\n"
           "                 and whether another program holds one or a group is needed\n"
           "  --data FILE    load FILE into the data list at start\n"
           "  --auto-send    send the data list line by line once the port is open\n"
           "  --rules FILE   answer frames by the trigger rules of FILE instead of the\n"
           "                 set's Rule1..Rule16: one rule a line, its fields separated\n"
           "                 by tabs: text|regex|hex|timer, R (or A, B), the pattern (a\n"
           "                 timer's period in ms), the answer, then delay=MS, once,\n"
           "                 times=N or off; a bad line is a usage error\n"
           "  --script-hooks give frames no rule answered to OnFrame(type, bytes) of the\n"
           "                 script plug-in's LuaProc.lua, which may answer them, and\n"
           "                 call its OnTimer() once a second (ScriptHooks=1)\n"
           "  --seconds N    end after N seconds (default: at SIGINT, SIGTERM or SIGHUP)\n"
           "  --astm         speak the ASTM E1381 link (ProtocolMode=1) in this run, as the\n"
           "                 instrument; with --data the data file, each line a record, is\n"
           "                 sent once as a message when the connection is up\n"
           "  --astm-host    as --astm, in the host's role (AstmRole=1)\n"
           "  --orders FILE  with --astm-host or --hl7, answer the peer's queries (Q\n"
           "                 records, QBP messages) with the orders of the CSV table\n"
           "                 FILE: columns specimen id, test codes, priority, patient\n"
           "                 id, patient name, collection time, action code, report\n"
           "                 type; a table that cannot be read is a usage error\n"
           "  --hl7          speak HL7 over MLLP (ProtocolMode=2) in this run, as the\n"
           "                 receiver: every message is answered with its ACK, and a\n"
           "                 query (QBP) with its RSP when --orders names a table\n"
           "  --hl7-sender   as --hl7, in the sender's role (Hl7Role=1): with --data the\n"
           "                 data file's messages (one segment a line, a blank line or an\n"
           "                 MSH segment starting the next) are sent once the connection\n"
           "                 is up, each after the previous one's ACK\n"
           "  --exit-after-message\n"
           "                 with --data and --astm, --astm-host or --hl7-sender: end once\n"
           "                 the message (every message) has ended; status 0 only when\n"
           "                 every frame was acknowledged (ASTM) or every message got AA or\n"
           "                 CA (HL7)\n"
           "  --fault-checksum N, --fault-nak N, --fault-withhold-ack N, --fault-enq N,\n"
           "  --fault-drop-after N, --fault-delay MS\n"
           "                 with --astm or --astm-host, test the peer with faults: the\n"
           "                 next N frames sent with a wrong checksum; N good frames\n"
           "                 answered with NAK, or left without ACK; the peer's ENQ\n"
           "                 answered with ENQ N times; the connection dropped (a serial\n"
           "                 line hung up) after N frames; every ACK and NAK sent MS ms\n"
           "                 late. Each fault is printed as an I: line; 0 turns off the\n"
           "                 set's Fault key\n"
           "  --hex          print record data as hexadecimal pairs\n"
           "  --no-time      print records without their time stamp\n"
           "  --quiet        print no status lines, only errors\n"
           "  --eol END      append none, cr, lf or crlf to each input line (default none)\n"
           "  --exit-at-eof  end once standard input has ended and its lines went out\n"
           "  --exit-on-close\n"
           "                 end with status 3 when the TCP connection ends or the serial\n"
           "                 device vanishes\n"
           "  --session FILE --print\n"
           "                 print the records of a capture file (FILE.qcap, kept in the\n"
           "                 sessions folder) as record lines, open no port, and end\n"
           "  --help         show this text\n"
           "  --version      show the version\n"
           "\n"
           "Exit status: 0 normal end (also when the reader of standard output goes),\n"
           "1 the port, the listening socket or the data file could not be opened, or\n"
           "with --exit-after-message a frame of the message was not acknowledged,\n"
           "2 a usage error, a bad PORT, or a settings file or set that cannot be used,\n"
           "3 with --exit-on-close the connection ended or the device vanished.\n";
}

}  // namespace qelvor
