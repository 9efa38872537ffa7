// The Qt translators of the window texts: the program's own (from the
// built-in resources or a resource library) and Qt's own for its standard
// buttons and file dialogs, installed for the chosen language. Created after
// the QApplication, on its thread; removed again when destroyed.
#pragma once

#include <QString>
#include <QTranslator>

#include "config/string_table.h"

namespace qelvor {

class CQtTranslations {
  public:
    CQtTranslations() = default;
    ~CQtTranslations();
    CQtTranslations(const CQtTranslations&) = delete;
    CQtTranslations& operator=(const CQtTranslations&) = delete;

    // Installs the program's translation of language from folder (":/i18n/"
    // or a resource library's) and, for Chinese, Qt's own when it is found.
    // False when the program's translation could not be loaded: the source
    // texts (English) show then.
    bool Install(UiLanguage language, const QString& folder);
    void Remove();

    bool QtOwnInstalled() const { return qtOwnInstalled_; }

    // "qelvor_zh_CN.qm" or "qelvor_en.qm".
    static QString FileName(UiLanguage language);

  private:
    QTranslator program_;
    QTranslator qtOwn_;
    bool programInstalled_ = false;
    bool qtOwnInstalled_ = false;
};

}  // namespace qelvor
