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

// Splits "--name=value"; value is set only when there was an "=".
void SplitInline(const std::string& arg, std::string& name, std::string& value, bool& inlined) {
    const size_t eq = arg.find('=');
    inlined = arg.rfind("--", 0) == 0 && eq != std::string::npos;
    name = inlined ? arg.substr(0, eq) : arg;
    value = inlined ? arg.substr(eq + 1) : std::string();
}

// Stores the value of an option that takes one into options.
bool StoreValue(const std::string& name, const std::string& value, CCliOptions& options,
                std::string& error) {
    if (name == "--seconds") {
        if (ParseSeconds(value, options.seconds)) return true;
        error = "--seconds needs a number of seconds from 0 up, not '" + value + "'";
        return false;
    }
    if (value.empty()) {
        error = name + " needs a non-empty value";
        return false;
    }
    if (name == "--ini") options.iniFile = value;
    if (name == "--set") options.setName = value;
    if (name == "--data") options.dataFile = value;
    return true;
}

// The options that take no value; false for any other name.
bool StoreFlag(const std::string& name, CCliOptions& options) {
    if (name == "--auto-send") {
        options.autoSend = true;
    } else if (name == "--astm") {
        options.astm = true;
    } else if (name == "--astm-host") {
        options.astm = options.astmHost = true;
    } else if (name == "--exit-after-message") {
        options.exitAfterMessage = true;
    } else {
        return false;
    }
    return true;
}

// Options that only mean something together.
bool CheckCombination(const CCliOptions& options, std::string& error) {
    if (!options.exitAfterMessage || (options.astm && !options.dataFile.empty())) return true;
    error = "--exit-after-message needs --astm or --astm-host and --data";
    return false;
}

bool TakesValue(const std::string& name) {
    return name == "--ini" || name == "--set" || name == "--data" || name == "--seconds";
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
        if (!inlined && StoreFlag(name, options)) continue;
        if (!TakesValue(name)) {
            error = "unknown option '" + args[i] + "'";
            return CliAction::UsageError;
        }
        if (!inlined) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return CliAction::UsageError;
            }
            value = args[++i];
        }
        if (!StoreValue(name, value, options, error)) return CliAction::UsageError;
    }
    return CheckCombination(options, error) ? CliAction::Run : CliAction::UsageError;
}

std::string CliUsageText() {
    return "Usage: qelvor-cli [--ini FILE] [--set NAME] [--data FILE] [--auto-send] [--seconds N]\n"
           "                  [--astm | --astm-host] [--exit-after-message]\n"
           "Runs the configured port headless: prints every traffic record on standard\n"
           "output, every new port status and its reason on standard error, and sends\n"
           "each line read from standard input. It never writes the settings file.\n"
           "\n"
           "  --ini FILE     settings file; a name without '/' is looked up in the current\n"
           "                 folder, then in the settings folder (default: qelvor.ini\n"
           "                 there, and the defaults when it does not exist)\n"
           "  --set NAME     use this settings set of the file instead of its current one\n"
           "  --data FILE    load FILE into the data list at start\n"
           "  --auto-send    send the data list line by line once the port is open\n"
           "  --seconds N    end after N seconds (default: at SIGINT, SIGTERM or SIGHUP)\n"
           "  --astm         speak the ASTM E1381 link (ProtocolMode=1) in this run, as the\n"
           "                 instrument; with --data the data file, each line a record, is\n"
           "                 sent once as a message when the connection is up\n"
           "  --astm-host    as --astm, in the host's role (AstmRole=1)\n"
           "  --exit-after-message\n"
           "                 with --astm and --data: end once that message has ended\n"
           "  --help         show this text\n"
           "  --version      show the version\n"
           "\n"
           "Exit status: 0 normal end (also when the reader of standard output goes),\n"
           "1 the port, the listening socket or the data file could not be opened, or\n"
           "with --exit-after-message a frame of the message was not acknowledged,\n"
           "2 a usage error or a settings file or set that cannot be used.\n";
}

}  // namespace qelvor
