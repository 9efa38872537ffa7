// The numbered texts shown to the user (ids 18 to 33 and 21000 to 21063), in
// English and Chinese. The language is chosen once at start-up, before any
// other thread runs; lookups may then come from any thread.
#pragma once

#include <string>

namespace qelvor {

enum class UiLanguage { English, Chinese };

void SetStringLanguage(UiLanguage language);
UiLanguage StringLanguage();
// The text of id in the chosen language; an empty text for an unknown id.
const char* LoadStr(int id);
// The text of id in the given language.
const char* LoadStrIn(UiLanguage language, int id);
// printf-style formatting into a std::string.
std::string StrPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qelvor
