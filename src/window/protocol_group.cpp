#include "window/protocol_group.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "config/setting_keys.h"

namespace qelvor {

CProtocolGroup::CProtocolGroup(IControlMaker& maker, QWidget* parent)
    : QGroupBox(tr("Protocol"), parent), maker_(maker) {
    auto* column = new QVBoxLayout(this);
    auto* top = new QWidget;
    QGridLayout* grid = NewGrid(top);
    mode_ = AddList(grid, 0, "ProtocolMode", tr("Answer peers by"),
                    {tr("0 configurable"), tr("1 ASTM E1381"), tr("2 HL7 (MLLP)")},
                    &ComSetControls::ProtocolMode);
    column->addWidget(top);
    pages_ = new QStackedWidget;
    pages_->setObjectName(QStringLiteral("ProtocolPages"));
    // One page a mode, in the order of the list.
    pages_->addWidget(BuildConfigurablePage());
    pages_->addWidget(BuildAstmPage());
    pages_->addWidget(BuildHl7Page());
    column->addWidget(pages_);
    column->addWidget(BuildOrdersRow());
    AlignLabels();
    for (QComboBox* list : {mode_, astmRole_, hl7Role_})
        connect(list, &QComboBox::currentIndexChanged, this, &CProtocolGroup::Refresh);
}

void CProtocolGroup::Refresh() {
    const int mode = mode_->currentIndex();
    // A mode the list does not hold answers as the configurable one does.
    pages_->setCurrentIndex(mode >= 0 && mode < pages_->count() ? mode : 0);
    // A role the list does not hold leaves every row open.
    const int role = hl7Role_->currentIndex();
    for (QWidget* row : receiverRows_)
        row->setEnabled(role != kHl7RoleSender);
    for (QWidget* row : senderRows_)
        row->setEnabled(role != kHl7RoleReceiver);
    ordersRow_->setVisible((mode == kProtocolAstm && astmRole_->currentIndex() == kAstmRoleHost) ||
                           (mode == kProtocolHl7 && role != kHl7RoleSender));
}

QWidget* CProtocolGroup::BuildConfigurablePage() {
    auto* page = new QWidget;
    QGridLayout* grid = NewGrid(page);
    QLabel* note =
        maker_.Label("ProtocolNote", tr("Peers are answered by the Split and Response settings."));
    note->setWordWrap(true);
    grid->addWidget(note, 0, 0, 1, 2);
    grid->setRowStretch(1, 1);
    return page;
}

QWidget* CProtocolGroup::BuildAstmPage() {
    auto* page = new QWidget;
    QGridLayout* grid = NewGrid(page);
    astmRole_ = AddList(grid, 0, "AstmRole", tr("ASTM role"), {tr("0 instrument"), tr("1 host")},
                        &ComSetControls::AstmRole);
    const int end = AddNumbers(
        grid, 1,
        {{"AstmReplyTimeoutMs", tr("reply time-out (ms)"), &ComSetControls::AstmReplyTimeoutMs},
         {"AstmIdleTimeoutMs", tr("idle time-out (ms)"), &ComSetControls::AstmIdleTimeoutMs},
         {"AstmEnqRetryMs", tr("ENQ retry (ms)"), &ComSetControls::AstmEnqRetryMs}});
    grid->setRowStretch(end, 1);
    return page;
}

// A receiver answers with the acknowledgement chosen; a sender waits for the
// answer, resends and makes the control ids and times. Both keep to the
// largest message.
QWidget* CProtocolGroup::BuildHl7Page() {
    auto* page = new QWidget;
    QGridLayout* grid = NewGrid(page);
    hl7Role_ = AddList(grid, 0, "Hl7Role", tr("HL7 role"), {tr("0 receiver"), tr("1 sender")},
                       &ComSetControls::Hl7Role);
    AddList(grid, 1, "Hl7AckCode", tr("acknowledgement"),
            {tr("0 AA always"), tr("1 AE"), tr("2 AR"), tr("3 no answer")},
            &ComSetControls::Hl7AckCode, &receiverRows_);
    int row =
        AddNumbers(grid, 2,
                   {{"Hl7AckTimeoutMs", tr("ACK time-out (ms)"), &ComSetControls::Hl7AckTimeoutMs},
                    {"Hl7Retries", tr("resends"), &ComSetControls::Hl7Retries}},
                   &senderRows_);
    row = AddNumbers(
        grid, row,
        {{"Hl7MaxMessage", tr("largest message (bytes)"), &ComSetControls::Hl7MaxMessage}});
    AddList(grid, row++, "Hl7ControlIds", tr("control ids"),
            {tr("0 running number"), tr("1 from the time")}, &ComSetControls::Hl7ControlIds,
            &senderRows_);
    QCheckBox* fillTime = maker_.Check("Hl7FillTime", tr("fill an empty MSH-7 with the time"),
                                       &ComSetControls::Hl7FillTime);
    grid->addWidget(fillTime, row++, 0, 1, 2);
    senderRows_.push_back(fillTime);
    grid->setRowStretch(row, 1);
    return page;
}

// The row keeps its room while hidden, so that the dialog keeps its size
// when the mode or the role changes.
QWidget* CProtocolGroup::BuildOrdersRow() {
    ordersRow_ = new QWidget;
    ordersRow_->setObjectName(QStringLiteral("OrdersRow"));
    QSizePolicy policy = ordersRow_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    ordersRow_->setSizePolicy(policy);
    QGridLayout* grid = NewGrid(ordersRow_);
    QLabel* text = maker_.Label("OrdersFileLabel", tr("orders table (CSV)"));
    ordersFile_ = maker_.Edit("OrdersFile", &ComSetControls::OrdersFile);
    ordersFile_->setPlaceholderText(tr("none: queries are not answered"));
    text->setBuddy(ordersFile_);
    auto* browse = new QPushButton(tr("Browse..."));
    browse->setObjectName(QStringLiteral("OrdersFileBrowse"));
    connect(browse, &QPushButton::clicked, this, &CProtocolGroup::ChooseOrdersFile);
    auto* line = new QHBoxLayout;
    line->addWidget(ordersFile_, 1);
    line->addWidget(browse);
    grid->addWidget(text, 0, 0);
    grid->addLayout(line, 0, 1);
    labels_.push_back(text);
    return ordersRow_;
}

void CProtocolGroup::ChooseOrdersFile() {
    QFileDialog dialog(window(), tr("Orders table"), QFileInfo(ordersFile_->text()).path());
    dialog.setObjectName(QStringLiteral("OrdersFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({tr("CSV (*.csv)"), tr("All files (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    ordersFile_->setText(dialog.selectedFiles().first());
}

QGridLayout* CProtocolGroup::NewGrid(QWidget* page) {
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setColumnStretch(1, 1);
    grids_.push_back(grid);
    return grid;
}

QComboBox* CProtocolGroup::AddList(QGridLayout* grid, int row, const char* name,
                                   const QString& label, const QStringList& entries,
                                   int ComSetControls::*control, std::vector<QWidget*>* role) {
    QLabel* text = maker_.Label((std::string(name) + "Label").c_str(), label);
    QComboBox* list = maker_.List(name, entries, control);
    text->setBuddy(list);
    grid->addWidget(text, row, 0);
    grid->addWidget(list, row, 1, Qt::AlignLeft);
    labels_.push_back(text);
    if (role != nullptr) role->insert(role->end(), {text, list});
    return list;
}

int CProtocolGroup::AddNumbers(QGridLayout* grid, int row, const std::vector<NumberRow>& rows,
                               std::vector<QWidget*>* role) {
    for (const NumberRow& number : rows) {
        QLabel* text = maker_.Label((std::string(number.name) + "Label").c_str(), number.label);
        QLineEdit* edit = maker_.NumberEdit(number.name, number.label, number.control);
        text->setBuddy(edit);
        grid->addWidget(text, row, 0);
        grid->addWidget(edit, row++, 1, Qt::AlignLeft);
        labels_.push_back(text);
        if (role != nullptr) role->insert(role->end(), {text, edit});
    }
    return row;
}

void CProtocolGroup::AlignLabels() {
    int widest = 0;
    for (const QLabel* label : labels_)
        widest = std::max(widest, label->sizeHint().width());
    for (QGridLayout* grid : grids_)
        grid->setColumnMinimumWidth(0, widest);
}

}  // namespace qelvor
