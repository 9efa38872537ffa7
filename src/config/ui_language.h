// The language of the user interface: which one the settings ask for, setting
// the string table from it at start-up, and the "Select UI" menu command.
// User-interface thread only.
#pragma once

#include "config/com_setting.h"
#include "config/message_box.h"
#include "config/string_table.h"

namespace qelvor {

// Menu commands of the "Select UI" popup: follow the system, Chinese, English.
inline constexpr int kCmdSelectUiSystem = 4021;
inline constexpr int kCmdSelectUiChinese = 4022;
inline constexpr int kCmdSelectUiEnglish = 4023;

// 1 Chinese, 2 English; any other code follows the locale: Chinese when its
// language (LC_ALL, else LC_MESSAGES, else LANG) starts with "zh".
UiLanguage UiLanguageFor(int usedUILangCode);
// Sets the string table's language from the settings. Called once at start-up.
void ApplyUILanguage(const CComSetting& settings);
// Stores the language chosen in the menu into the current set at once and
// tells the user it takes effect at the next start.
void OnSelectUI(int commandId, CComSetting& settings, IMessageBox& box);

}  // namespace qelvor
