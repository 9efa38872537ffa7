// The command line of qelvor-cli, parsed into plain options. Pure; any thread.
#pragma once

#include <string>
#include <vector>

namespace qelvor {

struct CCliOptions {
    std::string iniFile;  // empty: the settings folder's "qelvor.ini"
    std::string setName;  // empty: the current set of the INI file
    std::string dataFile;
    bool autoSend = false;
    // ProtocolMode 1 for this run only; astmHost also takes the host's role.
    bool astm = false;
    bool astmHost = false;
    // The data file goes out once as a message; the run ends after it.
    bool exitAfterMessage = false;
    double seconds = -1;  // below 0: run until a signal ends it
};

enum class CliAction { Run, Help, Version, UsageError };

// Parses the arguments behind the program name. On UsageError, error holds a
// one-line reason.
CliAction ParseCliOptions(const std::vector<std::string>& args, CCliOptions& options,
                          std::string& error);

// The text of --help.
std::string CliUsageText();

}  // namespace qelvor
