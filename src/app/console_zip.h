// The console compression mode ("-zip"): packs the files of a folder, or the
// files listed, into one zip archive, optionally deleting each packed file,
// and prints its progress. Runs on the main thread before any window exists.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace qelvor {

class CCommandLine;

// Exit status of a console command line that lacks the archive or the folder.
inline constexpr int kExitUsage = 2;

struct ConsoleZipArgs {
    std::string archivePath;
    std::string sourceFolder;        // ends in "/" once set
    std::vector<std::string> files;  // relative to sourceFolder
    bool deleteMode = false;
};

class CConsoleZip {
  public:
    // Reads the arguments behind "-zip", or behind a "-del" standing after
    // it (delete mode). Each argument is one name, whatever it holds; it
    // loses blanks and quotes at both ends (as a typed line's words would),
    // and arguments left empty are dropped. False, with args untouched
    // beyond the mode, when the archive or the folder is missing.
    static bool Parse(const CCommandLine& commandLine, ConsoleZipArgs& args);
    // Appends every file below folder, as prefix + its path relative to the
    // folder, entries of each folder sorted by name so that runs repeat.
    // Symbolic links to folders are not followed (no loops); skipPath, when
    // it names an existing file, is left out (the archive being written).
    static void Collect(const std::string& folder, std::vector<std::string>& list,
                        const std::string& prefix, const std::string& skipPath);

    // Runs the whole mode and prints its progress to out. The archive takes
    // the place of any earlier one only once it is complete and on disk; a
    // file of another kind in its place is refused. With -del a packed file
    // is deleted only when it is still exactly what went in; one that changed
    // is kept and named. beforeDeleting, when set, runs after the archive is
    // closed and before any file is deleted. The exit status: 0 when every
    // listed file was added (and there was at least one) and, with -del,
    // deleted; 1 otherwise; kExitUsage (said on err, nothing packed or
    // deleted) when the archive or the folder is missing.
    static int Run(const CCommandLine& commandLine, std::FILE* out, std::FILE* err,
                   const std::function<void()>& beforeDeleting = {});
};

}  // namespace qelvor
