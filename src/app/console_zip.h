// The console compression mode ("-zip"): packs the files of a folder, or the
// files listed, into one zip archive, optionally deleting each packed file,
// and prints its progress. Runs on the main thread before any window exists.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace qelvor {

struct ConsoleZipArgs {
    std::string archivePath;
    std::string sourceFolder;        // ends in "/" once set
    std::vector<std::string> files;  // relative to sourceFolder
    bool deleteMode = false;
};

class CConsoleZip {
  public:
    // Splits the argument text at blanks and TABs outside quotes. Either
    // quote toggles the quoted state and stays in the token; each token loses
    // blanks and quotes at both ends, and empty tokens are dropped.
    static std::vector<std::string> Tokenize(std::string_view text);
    // Reads the arguments behind "-zip", or behind a "-del" standing after
    // it (delete mode); options are found without regard to case.
    static ConsoleZipArgs Parse(const std::string& commandLine);
    // Appends every file below folder, as prefix + its path relative to the
    // folder, entries of each folder sorted by name so that runs repeat.
    // Symbolic links to folders are not followed (no loops); skipPath, when
    // it names an existing file, is left out (the archive being written).
    static void Collect(const std::string& folder, std::vector<std::string>& list,
                        const std::string& prefix, const std::string& skipPath);

    // Runs the whole mode and prints to out. The exit status: 0 when every
    // listed file was added (and there was at least one), else 1.
    static int Run(const std::string& commandLine, std::FILE* out);
};

}  // namespace qelvor
