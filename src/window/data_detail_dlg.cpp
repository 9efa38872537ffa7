#include "window/data_detail_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "window/local_text.h"

namespace qelvor {

namespace {

QLineEdit* ReadOnlyField(const char* name, const std::string& text, int width) {
    auto* field = new QLineEdit(LocalText(text));
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(true);
    field->setFixedWidth(width);
    return field;
}

}  // namespace

CDataDetailDlg::CDataDetailDlg(CDataDetail detail, const CComSetting& settings, QWidget* parent,
                               ViewStore storeView)
    : QDialog(parent),
      detail_(std::move(detail)),
      settings_(settings),
      storeView_(std::move(storeView)) {
    setObjectName(QStringLiteral("DataDetailDialog"));
    // The title's text comes from the string table, which holds UTF-8.
    setWindowTitle(QString::fromUtf8(detail_.Title()));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addLayout(BuildViewChoice());
    top->addStretch(1);
    top->addLayout(BuildFields());
    layout->addLayout(top);
    text_ = BuildViewField();
    if (const auto tree = detail_.AstmTree()) {
        auto* split = new QSplitter(Qt::Horizontal);
        split->addWidget(text_);
        split->addWidget(BuildAstmTree(*tree));
        layout->addWidget(split, 1);
    } else {
        layout->addWidget(text_, 1);
    }
    views_->button(CDataDetail::ViewOf(settings_))->setChecked(true);
    ShowView();
}

CDataDetailDlg::~CDataDetailDlg() {
    if (storeView_) storeView_(views_->checkedId());
}

QLayout* CDataDetailDlg::BuildViewChoice() {
    auto* row = new QHBoxLayout;
    views_ = new QButtonGroup(this);
    struct Choice {
        const char* name;
        QString label;
        int view;
    };
    const Choice choices[] = {{"FmtData", tr("Fmt data"), CDataDetail::kFormatted},
                              {"RawData", tr("Raw data"), CDataDetail::kRaw},
                              {"HexData", tr("Hex data"), CDataDetail::kHex}};
    for (const Choice& choice : choices) {
        auto* radio = new QRadioButton(choice.label);
        radio->setObjectName(QString::fromLatin1(choice.name));
        views_->addButton(radio, choice.view);
        row->addWidget(radio);
    }
    decode_ = new QCheckBox(tr("UTF-8 dec"));
    decode_->setObjectName(QStringLiteral("Utf8Dec"));
    // Hidden rather than left out, so that the row keeps its place.
    QSizePolicy keepPlace = decode_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    decode_->setSizePolicy(keepPlace);
    decode_->setVisible(detail_.ShowsDecodeBox());
    row->addWidget(decode_);
    connect(views_, &QButtonGroup::idClicked, this, [this] { ShowView(); });
    connect(decode_, &QCheckBox::toggled, this, [this] { ShowView(); });
    return row;
}

QLayout* CDataDetailDlg::BuildFields() {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Type")));
    row->addWidget(ReadOnlyField("Type", detail_.TypeText(), 32));
    row->addSpacing(8);
    row->addWidget(new QLabel(tr("Size")));
    row->addWidget(ReadOnlyField("Size", detail_.SizeText(), 80));
    if (detail_.HasGap()) {
        row->addSpacing(8);
        row->addWidget(new QLabel(tr("+ms")));
        row->addWidget(ReadOnlyField("GapMs", detail_.GapText(), 80));
    }
    auto* save = new QPushButton(tr("Save data"));
    save->setObjectName(QStringLiteral("SaveDetail"));
    save->setAutoDefault(false);
    save->setVisible(detail_.SaveShown());
    connect(save, &QPushButton::clicked, this, &QDialog::accept);
    row->addSpacing(8);
    row->addWidget(save);
    return row;
}

QPlainTextEdit* CDataDetailDlg::BuildViewField() {
    auto* text = new QPlainTextEdit;
    text->setObjectName(QStringLiteral("DetailText"));
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Room for one line of the hexadecimal view: 16 pairs and 16 characters.
    const int lineWidth = text->fontMetrics().horizontalAdvance(QString(66, QLatin1Char('0')));
    text->setMinimumSize(lineWidth + 40, 260);
    return text;
}

void CDataDetailDlg::ShowView() {
    // A CR LF pair is one line break in the view, as in the traffic store's
    // text files; the field would otherwise show the CR as a mark of its own.
    // The views are in the locale's character set (the decoded ones are
    // converted into it), as the traffic list shows them.
    QString text = LocalText(detail_.ViewText(views_->checkedId(), decode_->isChecked()));
    text_->setPlainText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

QTreeWidget* CDataDetailDlg::BuildAstmTree(const astm::AstmTreeNode& root) {
    auto* tree = new QTreeWidget;
    tree->setObjectName(QStringLiteral("AstmFields"));
    tree->setHeaderLabel(tr("Record fields"));
    tree->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    tree->setMinimumWidth(tree->fontMetrics().horizontalAdvance(QString(36, QLatin1Char('0'))));
    tree->addTopLevelItem(AstmTreeItem(root));
    tree->expandAll();
    return tree;
}

QTreeWidgetItem* CDataDetailDlg::AstmTreeItem(const astm::AstmTreeNode& node) {
    using Node = astm::AstmTreeNode;
    const QString value = LocalText(node.value);
    QString text;
    switch (node.kind) {
        case Node::kRecord:
            text = QChar(static_cast<char16_t>(node.number)) + QLatin1Char(' ') +
                   RecordTypeName(static_cast<char>(node.number));
            break;
        case Node::kField:
            text = tr("field %1: %2").arg(node.number).arg(value);
            break;
        case Node::kRepeat:
            text = tr("repeat %1: %2").arg(node.number).arg(value);
            break;
        case Node::kComponent:
            text = tr("component %1: %2").arg(node.number).arg(value);
            break;
    }
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setToolTip(0, text);
    for (const Node& child : node.children)
        item->addChild(AstmTreeItem(child));
    return item;
}

QString CDataDetailDlg::RecordTypeName(char type) {
    switch (type) {
        case 'H':
            return tr("Header");
        case 'P':
            return tr("Patient");
        case 'O':
            return tr("Order");
        case 'R':
            return tr("Result");
        case 'C':
            return tr("Comment");
        case 'Q':
            return tr("Request");
        case 'L':
            return tr("Terminator");
        case 'M':
            return tr("Manufacturer");
        case 'S':
            return tr("Scientific");
        default:
            return tr("Unknown record");
    }
}

}  // namespace qelvor
