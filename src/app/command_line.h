// The program's command line as the system hands it over, already split into
// arguments. Options ("-zip", "-del", "-n") count only as whole arguments,
// found without regard to case; every path keeps its case. Built once at
// start-up; read on the user-interface thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qelvor {

class CCommandLine {
  public:
    CCommandLine() = default;
    // The arguments behind the program name.
    explicit CCommandLine(std::vector<std::string> args);
    // argv[1] .. argv[argc - 1].
    static CCommandLine FromMain(int argc, char** argv);
    // "--version" or "--help", which the program answers before anything
    // else; InfoText is the answer ("qelvor VERSION", or the usage).
    static bool IsInfoOption(std::string_view arg);
    static std::string InfoText(std::string_view arg, std::string_view version);

    // The arguments joined by single blanks, an argument holding a blank or
    // a quote wrapped in double quotes: the line as a user would type it.
    const std::string& Text() const { return text_; }
    const std::vector<std::string>& Args() const { return args_; }
    bool Empty() const { return args_.empty(); }
    // Index of the first argument equal to the option without regard to
    // case, at or after from; npos when there is none.
    size_t IndexOf(std::string_view option, size_t from = 0) const;
    bool Has(std::string_view option) const { return IndexOf(option) != std::string::npos; }

    // "-zip" as an argument: the console compression mode.
    bool IsConsoleZip() const { return Has("-zip"); }
    // "-n" as an argument: the configuration dialog comes first.
    bool HasIniOption() const { return Has("-n"); }
    // The settings file named behind "-n": the arguments after it joined by
    // blanks; empty when nothing follows. No value without "-n".
    std::optional<std::string> IniName() const;
    // The data file of the main window: the arguments joined by blanks,
    // without added quotes; empty when "-n" or "--session" is given.
    std::string DataFilePath() const;
    // The capture file behind "--session", to be shown read-only: the
    // arguments after it joined by blanks; empty without "--session".
    std::string SessionPath() const;

  private:
    std::vector<std::string> args_;
    std::string text_;
};

}  // namespace qelvor
