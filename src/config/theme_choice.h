// The window theme the user chose, by name ("system", "light", "dark"): the
// user's own choice, not a settings set's, kept as "Theme" in section
// [General] of $XDG_CONFIG_HOME/qelvor/qelvor.conf, a file Qt's INI settings
// format reads as well. Plain file access, no Qt; one thread at a time.
#pragma once

#include <string>

namespace qelvor {

class CThemeChoice {
  public:
    // The file; empty without a home folder.
    static std::string FilePath();
    // The stored name as written; empty when none is stored or the file
    // cannot be read.
    static std::string Stored();
    // Writes the name into its one line of the file, making the folder
    // first; false when it was not written.
    static bool Store(const std::string& name);
};

}  // namespace qelvor
