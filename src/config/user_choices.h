// The user's own choices that no settings set holds (the window theme, the
// folders the file dialogs last chose), one line each in
// $XDG_CONFIG_HOME/qelvor/qelvor.conf, a file Qt's INI settings format reads
// as well. Plain file access, no Qt; one thread at a time.
#pragma once

#include <string>

namespace qelvor {

// The kinds of file a dialog asks for; each remembers its own folder.
enum class FileKind { SaveLog, SaveData, LoadData, SendFile, ExportCsv };

class CUserChoices {
  public:
    // The file; empty without a home folder.
    static std::string FilePath();
    // The value as written; empty when none is stored or the file cannot be
    // read.
    static std::string Get(const std::string& section, const std::string& key);
    // Writes the value into its one line of the file, making the folder
    // first; false when it was not written.
    static bool Set(const std::string& section, const std::string& key, const std::string& value);

    // The folder of the file last chosen in a dialog of the kind, ending in
    // "/"; empty when none is stored or it is no longer a folder.
    static std::string LastFolder(FileKind kind);
    // Keeps the folder of a chosen file for the next dialog of its kind.
    static bool RememberFolder(FileKind kind, const std::string& chosenFile);
};

}  // namespace qelvor
