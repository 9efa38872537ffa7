// One language for the windows a test builds next: the string table's and
// the Qt translators (the program's built-in ones and Qt's own), back to
// English with no translator when the scope ends. For screenshots in both
// languages.
#pragma once

#include <QString>

#include "config/qt_translations.h"
#include "config/string_table.h"

namespace qelvor::test {

inline constexpr UiLanguage kBothLanguages[] = {UiLanguage::English, UiLanguage::Chinese};

class ScopedUiLanguage {
  public:
    explicit ScopedUiLanguage(UiLanguage language) : language_(language) {
        SetStringLanguage(language);
        translations_.Install(language, QStringLiteral(":/i18n/"));
    }
    ~ScopedUiLanguage() { SetStringLanguage(UiLanguage::English); }
    ScopedUiLanguage(const ScopedUiLanguage&) = delete;
    ScopedUiLanguage& operator=(const ScopedUiLanguage&) = delete;

    // "en" or "zh", as the screenshot files are named.
    QString Suffix() const {
        return language_ == UiLanguage::Chinese ? QStringLiteral("zh") : QStringLiteral("en");
    }

  private:
    UiLanguage language_;
    CQtTranslations translations_;
};

}  // namespace qelvor::test
