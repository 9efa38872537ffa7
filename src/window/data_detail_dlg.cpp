#include "window/data_detail_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "data/ctrl_char_notation.h"
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

// A value on one line of a tree: control bytes (a decoded line break, say)
// in the notation the traffic list uses.
QString ShownValue(const std::string& value) {
    return LocalText(EscapeCtrlChars(value));
}

// A node of a field tree and, under it, its children, each worded by textOf.
template <class Node, class TextOf>
QTreeWidgetItem* TreeItem(const Node& node, const TextOf& textOf) {
    const QString text = textOf(node);
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setToolTip(0, text);
    for (const Node& child : node.children)
        item->addChild(TreeItem(child, textOf));
    return item;
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
    if (QTreeWidget* fields = BuildFieldTree()) {
        auto* split = new QSplitter(Qt::Horizontal);
        split->addWidget(text_);
        split->addWidget(fields);
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
    const int view = views_->checkedId();
    QString text = LocalText(detail_.ViewText(view, decode_->isChecked()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // HL7 ends its segments with a bare CR: in the formatted view each
    // segment gets a line of its own, its "<CR>" kept.
    if (segmentLines_ && view == CDataDetail::kFormatted)
        text.replace(QStringLiteral("<CR>"), QStringLiteral("<CR>\n"));
    text_->setPlainText(text);
}

QTreeWidget* CDataDetailDlg::BuildFieldTree(const char* name, const QString& header,
                                            QTreeWidgetItem* root) {
    auto* tree = new QTreeWidget;
    tree->setObjectName(QString::fromLatin1(name));
    tree->setHeaderLabel(header);
    tree->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    tree->setMinimumWidth(tree->fontMetrics().horizontalAdvance(QString(36, QLatin1Char('0'))));
    // Long names and values scroll sideways rather than end in "...".
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree->header()->setStretchLastSection(false);
    tree->addTopLevelItem(root);
    tree->expandAll();
    return tree;
}

QTreeWidget* CDataDetailDlg::BuildFieldTree() {
    if (const auto astm = detail_.AstmTree()) {
        const auto textOf = [](const astm::AstmTreeNode& node) { return AstmNodeText(node); };
        return BuildFieldTree("AstmFields", tr("Record fields"), TreeItem(*astm, textOf));
    }
    if (const auto hl7 = detail_.Hl7Tree()) {
        segmentLines_ = true;
        const auto textOf = [](const hl7::Hl7TreeNode& node) { return Hl7NodeText(node); };
        return BuildFieldTree("Hl7Fields", tr("Message segments"), TreeItem(*hl7, textOf));
    }
    return nullptr;
}

QString CDataDetailDlg::AstmNodeText(const astm::AstmTreeNode& node) {
    using Node = astm::AstmTreeNode;
    const QString value = ShownValue(node.value);
    switch (node.kind) {
        case Node::kRecord: {
            // The standard's record and field names are shown as it writes
            // them, in every language.
            const QString name =
                node.name.empty() ? tr("Unknown record") : QString::fromStdString(node.name);
            return QChar(static_cast<char16_t>(node.number)) + QLatin1Char(' ') + name;
        }
        case Node::kField:
            return FieldText(QString::number(node.number), node.name, value);
        case Node::kRepeat:
            return tr("repeat %1: %2").arg(QString::number(node.number), value);
        case Node::kComponent:
            return tr("component %1: %2").arg(QString::number(node.number), value);
    }
    return value;
}

QString CDataDetailDlg::Hl7NodeText(const hl7::Hl7TreeNode& node) {
    using Node = hl7::Hl7TreeNode;
    const QString value = ShownValue(node.value);
    const QString number = QString::number(node.number);
    switch (node.kind) {
        case Node::kMessage:
            return tr("message %1, control id %2").arg(LocalText(node.label), value);
        case Node::kSegment:
            // A segment outside the tables (a Z segment) goes by its id alone.
            return node.name.empty() ? LocalText(node.label)
                                     : LocalText(node.label) + QLatin1Char(' ') +
                                           QString::fromStdString(node.name);
        case Node::kField:
            return FieldText(LocalText(node.label), node.name, value);
        case Node::kRepetition:
            return tr("repeat %1: %2").arg(number, value);
        case Node::kComponent:
            return tr("component %1: %2").arg(number, value);
        case Node::kSubcomponent:
            return tr("subcomponent %1: %2").arg(number, value);
    }
    return value;
}

QString CDataDetailDlg::FieldText(const QString& position, const std::string& name,
                                  const QString& value) {
    if (name.empty()) return tr("field %1: %2").arg(position, value);
    return QStringLiteral("%1 %2: %3").arg(position, QString::fromStdString(name), value);
}

}  // namespace qelvor
