// The configuration dialog's "Protocol" group: the list of protocol modes and,
// below it, the settings of the chosen mode alone (the ASTM link's or the HL7
// link's), on pages of one height, so that the dialog keeps its size when the
// mode changes. In the HL7 mode the rows of the other role take no edits.
// Below the pages, the order table that the ASTM host and the HL7 receiver
// answer queries from shows in those roles alone. User-interface thread only.
#pragma once

#include <QGroupBox>
#include <QString>
#include <string>
#include <vector>

#include "window/control_maker.h"

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QStackedWidget;

namespace qelvor {

class CProtocolGroup : public QGroupBox {
    Q_OBJECT

  public:
    // maker makes the bound widgets, so that the dialog exchanges them.
    explicit CProtocolGroup(IControlMaker& maker, QWidget* parent = nullptr);

    // Shows the page of the mode the list holds and enables the rows of the
    // HL7 role chosen; the dialog calls it after it set the lists.
    void Refresh();

  private:
    struct NumberRow {
        const char* name;
        QString label;
        std::string ComSetControls::*control;
    };

    QWidget* BuildConfigurablePage();
    QWidget* BuildAstmPage();
    QWidget* BuildHl7Page();
    QWidget* BuildOrdersRow();
    void ChooseOrdersFile();
    // A page and its grid, whose label column lines up with the mode list's.
    QGridLayout* NewGrid(QWidget* page);
    // Adds a label and a list in row; returns the list.
    QComboBox* AddList(QGridLayout* grid, int row, const char* name, const QString& label,
                       const QStringList& entries, int ComSetControls::*control,
                       std::vector<QWidget*>* role = nullptr);
    // Adds a label and a number edit a row from row on; returns the next row.
    int AddNumbers(QGridLayout* grid, int row, const std::vector<NumberRow>& rows,
                   std::vector<QWidget*>* role = nullptr);
    // Gives every grid's label column the width of the widest label.
    void AlignLabels();

    IControlMaker& maker_;
    QComboBox* mode_ = nullptr;
    QComboBox* astmRole_ = nullptr;
    QComboBox* hl7Role_ = nullptr;
    QWidget* ordersRow_ = nullptr;
    QLineEdit* ordersFile_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    std::vector<QGridLayout*> grids_;
    std::vector<QLabel*> labels_;
    // The HL7 rows that only a receiver or only a sender uses.
    std::vector<QWidget*> receiverRows_, senderRows_;
};

}  // namespace qelvor
