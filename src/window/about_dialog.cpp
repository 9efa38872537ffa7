#include "window/about_dialog.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/string_table.h"
#include "data/ctrl_char_notation.h"
#include "window/local_text.h"

namespace qelvor {

namespace {

QGroupBox* Group(const QString& title, QWidget* content) {
    auto* group = new QGroupBox(title);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(content);
    return group;
}

}  // namespace

std::string CAboutDialog::AsciiTableText() {
    std::string table;
    for (int line = 0; line < 8; ++line) {
        std::string text;
        for (int k = 0; k < 4; ++k) {
            const int byte = 4 * line + k;
            text += StrPrintf("%-5s=0x%02X ,", CtrlCharNames[static_cast<size_t>(byte)].name, byte);
        }
        while (!text.empty() && text.back() == ',')
            text.pop_back();
        table += text + "\r\n";
    }
    return table;
}

QString CAboutDialog::BuildDateText() {
    // __DATE__ pads a day below 10 with a blank: "Dec  6 2026".
    const QString stamp = QStringLiteral(__DATE__ " " __TIME__).simplified();
    const QDateTime built = QDateTime::fromString(stamp, QStringLiteral("MMM d yyyy HH:mm:ss"));
    return tr("BuildDate:") + built.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

CAboutDialog::CAboutDialog(const std::string& exePath, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QString::fromUtf8(LoadStr(kStrAboutQelvor)).remove(QStringLiteral("(&A)...")));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Qelvor(RS232+TCP/UDP) ver 2.9")));
    auto* built = new QLabel(BuildDateText());
    built->setObjectName(QStringLiteral("BuildDate"));
    layout->addWidget(built);
    auto* path = new QLineEdit(LocalText(exePath));
    path->setObjectName(QStringLiteral("ProgramPath"));
    path->setReadOnly(true);
    layout->addWidget(Group(tr("program path"), path));
    auto* ascii = new QPlainTextEdit(QString::fromLatin1(AsciiTableText().c_str()));
    ascii->setObjectName(QStringLiteral("AsciiTable"));
    ascii->setReadOnly(true);
    ascii->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ascii->setMinimumSize(ascii->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 50,
                          ascii->fontMetrics().lineSpacing() * 9);
    layout->addWidget(Group(tr("ASCII"), ascii));
    auto* exit = new QPushButton(tr("Exit"));
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(exit, 0, Qt::AlignRight);
}

}  // namespace qelvor
