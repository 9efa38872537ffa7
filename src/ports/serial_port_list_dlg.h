// The serial port list: the ports present on this machine, one a line, with
// a mark on those another program holds or this user may not open.
// User-interface thread only.
#pragma once

#include <QDialog>

namespace qelvor {

class CSerialPortListDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CSerialPortListDlg(QWidget* parent = nullptr);
};

}  // namespace qelvor
