// The editor of the quick-send buttons: a table of the twelve buttons' names
// and texts. OK stores the rows that changed through the engine, all of them
// or, when the engine refuses one, none (the user is told which row and the
// dialog stays open with the edits); Cancel changes nothing. User-interface
// thread only.
#pragma once

#include <QDialog>

class QTableWidget;

namespace qelvor {

class CMainEngine;
struct QuickSend;

class CQuickSendDlg : public QDialog {
    Q_OBJECT

  public:
    CQuickSendDlg(CMainEngine& engine, QWidget* parent = nullptr);

  private:
    void Fill();
    QuickSend RowOf(int row) const;
    void OnOk();
    // Stores the changed rows; the index of the refused row, or -1 when all
    // were stored. A refusal puts back the rows stored before it.
    int StoreChangedRows();

    CMainEngine& engine_;
    QTableWidget* table_ = nullptr;
};

}  // namespace qelvor
