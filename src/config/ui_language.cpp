#include "config/ui_language.h"

#include <cstdlib>
#include <cstring>

namespace qelvor {

namespace {

constexpr int kLangChinese = 1;
constexpr int kLangEnglish = 2;

// The locale variable that decides the message language, in the order the C
// library consults them; the first one set and not empty wins.
std::string MessageLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return value;
    }
    return {};
}

}  // namespace

UiLanguage UiLanguageFor(int usedUILangCode) {
    if (usedUILangCode == kLangChinese) return UiLanguage::Chinese;
    if (usedUILangCode == kLangEnglish) return UiLanguage::English;
    return MessageLocale().rfind("zh", 0) == 0 ? UiLanguage::Chinese : UiLanguage::English;
}

const char* ProgramVersionText() {
    return QELVOR_VERSION_TEXT;
}

ResourceLibraryDecision DecideResourceLibrary(bool fileFound, const std::string& libraryVersion,
                                              const std::string& programVersion) {
    // A file that carries no version is no resource library: it is not used,
    // and there is nothing to tell about it.
    if (!fileFound || libraryVersion.empty()) return {};
    if (libraryVersion == programVersion) return {true, {}};
    return {false, StrPrintf(LoadStr(kStrResourceVersionMismatch), libraryVersion.c_str(),
                             programVersion.c_str())};
}

void ApplyUILanguage(const CComSetting& settings) {
    SetStringLanguage(UiLanguageFor(settings.UsedUILangCode));
}

bool ChooseUILanguage(int code, CComSetting& settings, IMessageBox& box) {
    if (code == settings.UsedUILangCode) return true;
    settings.UsedUILangCode = code;
    const bool written = settings.WriteKey(SettingKey::UsedUILangCode);
    box.ShowMessageBox(LoadStr(kStrUiLanguageChanged), "Qelvor", MsgIcon::Information,
                       MsgButtons::Ok);
    return written;
}

}  // namespace qelvor
