#include "mainwnd/new_instance.h"

namespace qelvor {

std::string NewInstanceIniName(const std::string& iniPath) {
    const size_t slash = iniPath.rfind('/');
    if (slash == std::string::npos || slash == 0) return "newQelvor.ini";
    return "new" + iniPath.substr(slash + 1);
}

}  // namespace qelvor
