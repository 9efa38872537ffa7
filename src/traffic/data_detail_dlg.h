// The message detail view: one record (or the pending received bytes) with its
// time, type and size and its bytes in the raw, formatted or hexadecimal
// view, the texts given by CDataDetail. "Save data" (pending bytes only)
// ends it with Accepted. User-interface thread only.
#pragma once

#include <QDialog>

#include "traffic/data_detail.h"

class QButtonGroup;
class QCheckBox;
class QPlainTextEdit;

namespace qelvor {

class CComSetting;

class CDataDetailDlg : public QDialog {
    Q_OBJECT

  public:
    CDataDetailDlg(CDataDetail detail, CComSetting& settings, QWidget* parent = nullptr);
    ~CDataDetailDlg() override;

  private:
    QWidget* BuildFields();
    QWidget* BuildViewChoice();
    void ShowView();

    CDataDetail detail_;
    CComSetting& settings_;
    QButtonGroup* views_ = nullptr;
    QCheckBox* decode_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
};

}  // namespace qelvor
