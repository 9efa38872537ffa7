// The message of the configuration dialog when Save refuses an edit: the
// edit named by its label, what it takes and what it held. Its texts keep
// the dialog's own translations. User-interface thread only.
#pragma once

#include <QCoreApplication>
#include <QString>

#include "config/com_set_form.h"

namespace qelvor {

class CRefusalText {
    Q_DECLARE_TR_FUNCTIONS(qelvor::CComSetDlg)

  public:
    // label names the edit as the dialog shows it, a colon at its end or not.
    static QString Of(const NumberRefusal& refusal, QString label);
};

}  // namespace qelvor
