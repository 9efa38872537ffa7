// The message detail view "Data Detail": one record (or the pending received
// bytes) with its time in the title, its type and size, and its bytes in the
// raw, formatted or hexadecimal view, all texts given by CDataDetail. "Save
// data" (offered for the pending bytes only) ends it with Accepted; the view
// chosen is handed to the opener's store when the dialog is destroyed. A record
// that carries an ASTM record in the ASTM mode, or an HL7 message in the HL7
// mode, shows its fields as a tree.
// User-interface thread only.
#pragma once

#include <QDialog>
#include <functional>

#include "traffic/data_detail.h"

class QButtonGroup;
class QCheckBox;
class QLayout;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace qelvor {

class CComSetting;

class CDataDetailDlg : public QDialog {
    Q_OBJECT

  public:
    // Keeps the view chosen (CDataDetail::kRaw ...) for the next detail view.
    using ViewStore = std::function<void(int view)>;

    // Opens on the view the settings select; without a store the view chosen
    // is not kept.
    CDataDetailDlg(CDataDetail detail, const CComSetting& settings, QWidget* parent = nullptr,
                   ViewStore storeView = {});
    ~CDataDetailDlg() override;

  private:
    QLayout* BuildViewChoice();
    QLayout* BuildFields();
    QPlainTextEdit* BuildViewField();
    // The fields of the ASTM record or HL7 message the record carries in
    // those modes, shown beside the raw text; nullptr when it carries none.
    QTreeWidget* BuildFieldTree();
    QTreeWidget* BuildFieldTree(const char* name, const QString& header, QTreeWidgetItem* root);
    static QString AstmNodeText(const astm::AstmTreeNode& node);
    static QString Hl7NodeText(const hl7::Hl7TreeNode& node);
    // "3 Practice Assigned Patient ID: value"; "field 3: value" when the
    // field has no name.
    static QString FieldText(const QString& position, const std::string& name,
                             const QString& value);
    void ShowView();

    CDataDetail detail_;
    const CComSetting& settings_;
    ViewStore storeView_;
    QButtonGroup* views_ = nullptr;
    QCheckBox* decode_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    bool segmentLines_ = false;  // an HL7 message: a line a segment
};

}  // namespace qelvor
