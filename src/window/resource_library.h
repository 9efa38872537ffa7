// The resource library "Qelvor.rll" beside the program: a Qt binary resource
// file carrying a version text (":/rll/version") and a full set of the
// window translations (":/rll/i18n/"). Registered for the program's lifetime
// when its version is the program's. Needs no QCoreApplication, so the
// console compression mode checks it too. Main thread only.
#pragma once

#include <QString>
#include <string>

namespace qelvor {

class CResourceLibrary {
  public:
    CResourceLibrary() = default;
    ~CResourceLibrary();
    CResourceLibrary(const CResourceLibrary&) = delete;
    CResourceLibrary& operator=(const CResourceLibrary&) = delete;

    // Looks for the library in folder (ending in "/") and registers it when
    // its version equals programVersion; otherwise it stays unregistered
    // and Message() holds the note to show (empty when there is no file).
    // A library registered before is given up first.
    bool Load(const std::string& folder, const std::string& programVersion);
    void Unload();

    bool InUse() const { return !registered_.isEmpty(); }
    const std::string& Message() const { return message_; }
    // Where the translations are taken from: the library's while it is in
    // use, else the ones built into the program.
    QString TranslationsFolder() const;

    // The version text a registered resource file carries; empty without one.
    static std::string RegisteredVersion();

  private:
    QString registered_;
    std::string message_;
};

}  // namespace qelvor
