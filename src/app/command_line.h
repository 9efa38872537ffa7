// The program's command line: the arguments joined by single blanks (an
// argument holding a blank or a quote wrapped in double quotes), searched for
// options without regard to case while every path keeps its case.
// Built once at start-up; read on the user-interface thread.
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

    // The joined command line, in its own case.
    const std::string& Text() const { return text_; }
    bool Empty() const { return text_.empty(); }
    // Position of the option in Text(), found without regard to case, at or
    // after from; npos when absent.
    size_t Find(std::string_view option, size_t from = 0) const;
    bool Has(std::string_view option) const { return Find(option) != std::string::npos; }

    // "-zip" anywhere: the console compression mode.
    bool IsConsoleZip() const { return Has("-zip"); }
    // The settings file named behind "-n ", to the end of the line. When the
    // name starts an argument, it is the remaining arguments joined by
    // blanks without the quotes added by joining, so "-n 'my set.ini'"
    // names my set.ini.
    std::optional<std::string> IniName() const;
    // The data file of the main window: the arguments joined by blanks,
    // without added quotes.
    std::string DataFilePath() const;

  private:
    std::vector<std::string> args_;
    std::vector<size_t> argStarts_;  // where each argument begins in text_
    std::string text_;
    std::string lowered_;
};

}  // namespace qelvor
