// The command line of a second copy of the program ("New Instance"): it runs
// on a settings file of its own, named after the current one, and opens with
// the configuration dialog. Pure functions; any thread.
#pragma once

#include <string>

namespace qelvor {

// "new" followed by the file name part of iniPath (after its last "/"), or
// "newQelvor.ini" when the path holds no "/" after its first character.
std::string NewInstanceIniName(const std::string& iniPath);

}  // namespace qelvor
