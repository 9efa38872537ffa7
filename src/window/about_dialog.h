// The About box: the program line, its build time, the program file's path
// and the table of the 32 control-character names. User-interface thread only.
#pragma once

#include <QDialog>
#include <string>

namespace qelvor {

class CAboutDialog : public QDialog {
    Q_OBJECT

  public:
    CAboutDialog(const std::string& exePath, QWidget* parent = nullptr);

    // 8 lines of 4 "NAME =0xNN" entries separated by commas, each line ended
    // by CR LF.
    static std::string AsciiTableText();
    // "BuildDate:%Y-%m-%d %H:%M:%S" of the time this file was compiled.
    static QString BuildDateText();
};

}  // namespace qelvor
