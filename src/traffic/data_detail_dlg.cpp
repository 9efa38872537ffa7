#include "traffic/data_detail_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qelvor {

namespace {

QString Local(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CDataDetailDlg::CDataDetailDlg(CDataDetail detail, CComSetting& settings, QWidget* parent)
    : QDialog(parent), detail_(std::move(detail)), settings_(settings) {
    setObjectName(QStringLiteral("DataDetailDialog"));
    setWindowTitle(Local(detail_.Title()));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildViewChoice());
    layout->addWidget(BuildFields());
    text_ = new QPlainTextEdit;
    text_->setObjectName(QStringLiteral("DetailText"));
    text_->setReadOnly(true);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setMinimumSize(560, 240);
    layout->addWidget(text_);
    auto* save = new QPushButton(tr("Save data"));
    save->setObjectName(QStringLiteral("SaveDetail"));
    save->setVisible(detail_.SaveShown());
    connect(save, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(save, 0, Qt::AlignRight);
    views_->button(detail_.LoadView(settings_))->setChecked(true);
    ShowView();
}

CDataDetailDlg::~CDataDetailDlg() {
    CDataDetail::StoreView(settings_, views_->checkedId());
}

QWidget* CDataDetailDlg::BuildViewChoice() {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    views_ = new QButtonGroup(this);
    const std::pair<const char*, int> choices[] = {{"Fmt data", CDataDetail::kFormatted},
                                                   {"Raw data", CDataDetail::kRaw},
                                                   {"Hex data", CDataDetail::kHex}};
    for (const auto& [label, view] : choices) {
        auto* radio = new QRadioButton(tr(label));
        views_->addButton(radio, view);
        layout->addWidget(radio);
    }
    decode_ = new QCheckBox(tr("UTF-8 dec"));
    decode_->setVisible(detail_.ShowsDecodeBox());
    layout->addWidget(decode_);
    connect(views_, &QButtonGroup::idClicked, this, [this] { ShowView(); });
    connect(decode_, &QCheckBox::toggled, this, [this] { ShowView(); });
    return row;
}

QWidget* CDataDetailDlg::BuildFields() {
    auto* fields = new QWidget;
    auto* form = new QFormLayout(fields);
    for (const auto& [label, text] :
         {std::pair{"Type", detail_.TypeText()}, std::pair{"Size", detail_.SizeText()}}) {
        auto* field = new QLineEdit(Local(text));
        field->setReadOnly(true);
        form->addRow(tr(label), field);
    }
    return fields;
}

void CDataDetailDlg::ShowView() {
    const std::string text = detail_.ViewText(views_->checkedId(), decode_->isChecked());
    // The raw view is text up to its first NUL, as a text field shows it.
    text_->setPlainText(Local(text.substr(0, text.find('\0'))));
}

}  // namespace qelvor
