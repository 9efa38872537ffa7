// One language for the windows a test builds next: the string table's and
// the Qt translators (the program's built-in ones and Qt's own), back to
// English with no translator when the scope ends; the rows of a test run in
// both languages, and where its screenshots go.
#pragma once

#include <QDir>
#include <QImage>
#include <QString>
#include <QWidget>
#include <QtTest>

#include "config/qt_translations.h"
#include "config/string_table.h"

namespace qelvor::test {

inline constexpr UiLanguage kBothLanguages[] = {UiLanguage::English, UiLanguage::Chinese};

// The rows "en" and "zh" of a test that runs once in each language.
inline void AddLanguageRows() {
    QTest::addColumn<int>("language");
    QTest::newRow("en") << int(UiLanguage::English);
    QTest::newRow("zh") << int(UiLanguage::Chinese);
}
inline UiLanguage RowLanguage() {
    QFETCH(int, language);
    return static_cast<UiLanguage>(language);
}

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

#ifdef QELVOR_SCREENSHOT_DIR
// Writes image as name.png into the build folder's screenshots, for a look
// by eye.
inline bool SaveScreenshot(const QImage& image, const QString& name) {
    return QDir().mkpath(QELVOR_SCREENSHOT_DIR) &&
           image.save(QStringLiteral(QELVOR_SCREENSHOT_DIR "/") + name + ".png");
}
inline bool SaveScreenshot(QWidget& widget, const QString& name) {
    return SaveScreenshot(widget.grab().toImage(), name);
}
#endif

}  // namespace qelvor::test
