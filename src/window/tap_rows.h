// The configuration dialog's rows of a tap's two endpoints, A and B: each a
// list of the port kinds and a box for the rest of the endpoint's name, whose
// greyed hint says what the chosen kind takes. Their texts keep the dialog's
// own translations. User-interface thread only.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <vector>

#include "window/control_maker.h"

class QGridLayout;
class QWidget;

namespace qelvor {

class CTapRows {
    Q_DECLARE_TR_FUNCTIONS(qelvor::CComSetDlg)

  public:
    // Adds the two rows to grid from row on (a label, the kind list, the
    // box over two columns); returns their widgets.
    static std::vector<QWidget*> Build(IControlMaker& maker, QGridLayout* grid, int row);
    // Each box hints what its kind takes; for the dialog after it set the
    // lists with their signals blocked (the user's choice is followed).
    static void ShowHints(const QWidget& dialog);
    // What the rest of a kind's name is, as the box hints it; empty for a
    // kind the list does not hold.
    static QString Hint(int kind);
};

}  // namespace qelvor
