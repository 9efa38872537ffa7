// The configuration dialog's groups of what is added to sent data (prefix,
// suffix, hex, checksum) and of how received data is split and answered.
// Their labels keep the dialog's own translations. User-interface thread only.
#pragma once

#include <QCoreApplication>

#include "window/control_maker.h"

class QGroupBox;

namespace qelvor {

class CDataGroups {
    Q_DECLARE_TR_FUNCTIONS(qelvor::CComSetDlg)

  public:
    static QGroupBox* BuildSendGroup(IControlMaker& maker);
    static QGroupBox* BuildSplitGroup(IControlMaker& maker);
};

}  // namespace qelvor
