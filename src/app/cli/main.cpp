// qelvor-cli: the main window's engine without a window, for scripts,
// servers and CI pipelines that need a tireless peer or a recorder.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/cli_options.h"
#include "app/cli/cli_port_list.h"
#include "app/cli/cli_runner.h"
#include "app/cli/session_printer.h"

int main(int argc, char** argv) {
    // The user's character set is the code page that sent text is turned
    // into; numbers keep the C form, so settings and options read the same
    // in every language.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");

    // Read the options; a usage error is one line and status 2.
    qelvor::CCliOptions options;
    std::string error;
    const std::vector<std::string> args(argv + 1, argv + argc);
    switch (qelvor::ParseCliOptions(args, options, error)) {
        case qelvor::CliAction::Help:
            std::fputs(qelvor::CliUsageText().c_str(), stdout);
            return 0;
        case qelvor::CliAction::Version:
            std::printf("qelvor-cli %s\n", QELVOR_VERSION);
            return 0;
        case qelvor::CliAction::ListPorts: {
            std::string list;
            const int status = qelvor::ListSerialPorts(list, error);
            std::fputs(list.c_str(), stdout);
            if (!error.empty()) std::fprintf(stderr, "qelvor-cli: %s\n", error.c_str());
            return status;
        }
        case qelvor::CliAction::PrintSession:
            return qelvor::PrintSession(options, STDOUT_FILENO, STDERR_FILENO);
        case qelvor::CliAction::UsageError:
            std::fprintf(stderr, "qelvor-cli: %s (see --help)\n", error.c_str());
            return qelvor::kExitUsage;
        case qelvor::CliAction::Run:
            break;
    }

    // Run the engine until the time is up or a signal ends it.
    qelvor::CCliRunner runner(options, STDOUT_FILENO, STDERR_FILENO);
    return runner.Run();
}
