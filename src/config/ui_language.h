// The language of the user interface: which one the settings ask for, setting
// the string table from it at start-up, whether a resource library's texts
// are taken instead of the built-in ones, and the "Select UI" menu command.
// User-interface thread only.
#pragma once

#include <string>

#include "config/com_setting.h"
#include "config/message_box.h"
#include "config/string_table.h"

namespace qelvor {

// The resource library's file name; it lies in the program's folder.
inline constexpr const char* kResourceLibraryName = "Qelvor.rll";

// The program's own version, "major.minor.patch.build" (2.9.0.1).
const char* ProgramVersionText();

// What start-up does with a resource library file beside the program.
struct ResourceLibraryDecision {
    bool use = false;     // its texts replace the ones built into the program
    std::string message;  // shown to the user when not empty (string 21058)
};

// fileFound: a file of that name exists; libraryVersion: the version text it
// carries, empty when it carries none or is no resource file at all. Versions
// compare as plain, case-sensitive text; a file whose version is not empty
// and does not match is reported with its version first and the program's
// second. A file without a version is no resource library: ignored unsaid.
ResourceLibraryDecision DecideResourceLibrary(bool fileFound, const std::string& libraryVersion,
                                              const std::string& programVersion);

// 1 Chinese, 2 English; any other code follows the locale: Chinese when its
// language (LC_ALL, else LC_MESSAGES, else LANG) starts with "zh".
UiLanguage UiLanguageFor(int usedUILangCode);
// Sets the string table's language from the settings. Called once at start-up.
void ApplyUILanguage(const CComSetting& settings);
// Stores the language chosen in the menu (a UsedUILangCode: 0 the system's,
// 1 Chinese, 2 English) into the current set at once and tells the user it
// takes effect at the next start; the language in use does nothing. False
// when the choice could not be written to the INI file (it holds for this
// run all the same).
bool ChooseUILanguage(int usedUILangCode, CComSetting& settings, IMessageBox& box);

}  // namespace qelvor
