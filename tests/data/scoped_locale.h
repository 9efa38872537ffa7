// Sets the C library's locale, which the ANSI code page follows, for one scope.
#pragma once

#include <clocale>
#include <string>

namespace qelvor::testing_support {

struct ScopedLocale {
    explicit ScopedLocale(const char* name)
        : previous(std::setlocale(LC_ALL, nullptr)), ok(std::setlocale(LC_ALL, name) != nullptr) {}
    ~ScopedLocale() { std::setlocale(LC_ALL, previous.c_str()); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;
    std::string previous;
    bool ok;
};

}  // namespace qelvor::testing_support
