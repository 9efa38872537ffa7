// The line-end selector beside the send box: no line end, CR, LF or CR LF
// after the text typed there, shown from the set's SendLineEnd and handed
// to the engine when the user picks another. User-interface thread only.
#pragma once

#include <QComboBox>

namespace qelvor {

class CMainEngine;

class CLineEndSelector : public QComboBox {
    Q_OBJECT

  public:
    CLineEndSelector(CMainEngine& engine, QWidget* parent);
    // Shows the set's choice again (another set was loaded).
    void Refresh();

  private:
    CMainEngine& engine_;
};

}  // namespace qelvor
