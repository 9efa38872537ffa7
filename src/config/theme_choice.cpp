#include "config/theme_choice.h"

#include "config/user_choices.h"

namespace qelvor {

namespace {

// Qt's INI format keeps keys without a group in [General].
constexpr const char* kSection = "General";
constexpr const char* kKey = "Theme";

}  // namespace

std::string CThemeChoice::FilePath() {
    return CUserChoices::FilePath();
}

std::string CThemeChoice::Stored() {
    return CUserChoices::Get(kSection, kKey);
}

bool CThemeChoice::Store(const std::string& name) {
    return CUserChoices::Set(kSection, kKey, name);
}

}  // namespace qelvor
