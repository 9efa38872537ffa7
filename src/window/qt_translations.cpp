#include "window/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace qelvor {

CQtTranslations::~CQtTranslations() {
    Remove();
}

QString CQtTranslations::FileName(UiLanguage language) {
    return language == UiLanguage::Chinese ? QStringLiteral("qelvor_zh_CN.qm")
                                           : QStringLiteral("qelvor_en.qm");
}

bool CQtTranslations::Install(UiLanguage language, const QString& folder) {
    Remove();
    programInstalled_ = program_.load(folder + FileName(language)) &&
                        QCoreApplication::installTranslator(&program_);
    // Qt's dialogs speak English by themselves; their Chinese comes with
    // Qt's translations package when it is there.
    if (language == UiLanguage::Chinese) {
        qtOwnInstalled_ = qtOwn_.load(QStringLiteral("qtbase_zh_CN"),
                                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                          QCoreApplication::installTranslator(&qtOwn_);
    }
    return programInstalled_;
}

void CQtTranslations::Remove() {
    if (programInstalled_) QCoreApplication::removeTranslator(&program_);
    if (qtOwnInstalled_) QCoreApplication::removeTranslator(&qtOwn_);
    programInstalled_ = qtOwnInstalled_ = false;
}

}  // namespace qelvor
