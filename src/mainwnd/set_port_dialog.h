// Stand-in for the configuration dialog until it is built: it says that the
// settings are edited in the settings file and always ends with Cancel, so
// that the port reopens as the settings stand. User-interface thread only.
#pragma once

#include <QDialog>
#include <string>

namespace qelvor {

class CSetPortDialog : public QDialog {
    Q_OBJECT

  public:
    CSetPortDialog(const std::string& iniPath, bool portOpen, QWidget* parent = nullptr);
};

}  // namespace qelvor
