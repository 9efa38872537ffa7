// What the language tests read of a window: every text a user can see in it
// (titles, labels, buttons, group titles, fixed list entries, header
// sections, menu items, tool tips), and the checks that a text holds no
// English word outside the kept notation, or no Chinese character at all.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QToolButton>

namespace qelvor::test {

// A popup shows no title of its own; a submenu's shows as its action's text.
inline void AddMenuTexts(const QMenu* menu, QStringList& texts) {
    for (const QAction* action : menu->actions()) {
        texts << action->text() << action->toolTip();
        if (action->menu() != nullptr) AddMenuTexts(action->menu(), texts);
    }
}

inline void AddWidgetTexts(const QWidget* w, QStringList& texts) {
    texts << w->windowTitle() << w->toolTip();
    if (auto* label = qobject_cast<const QLabel*>(w)) texts << label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) texts << button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(w)) texts << group->title();
    if (auto* menu = qobject_cast<const QMenu*>(w)) AddMenuTexts(menu, texts);
    if (auto* tool = qobject_cast<const QToolButton*>(w); tool && tool->menu())
        AddMenuTexts(tool->menu(), texts);
    // An editable list holds what the user typed or the system found (set
    // names, device paths): data, not labels.
    if (auto* list = qobject_cast<const QComboBox*>(w); list && !list->isEditable()) {
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
    }
    if (auto* items = qobject_cast<const QListWidget*>(w)) {
        for (int i = 0; i < items->count(); ++i)
            texts << items->item(i)->text();
    }
    if (auto* header = qobject_cast<const QHeaderView*>(w); header && header->model()) {
        for (int i = 0; i < header->count(); ++i)
            texts << header->model()->headerData(i, header->orientation()).toString();
    }
}

// The window itself and all its children, shown or hidden: a hidden group
// (another port kind's) shows as soon as the user picks that kind.
inline QStringList TextsOf(const QWidget* top) {
    QStringList texts;
    AddWidgetTexts(top, texts);
    for (const QWidget* child : top->findChildren<QWidget*>())
        AddWidgetTexts(child, texts);
    texts.removeAll(QString());
    return texts;
}

// Words both languages show alike, so a Chinese text may hold them.
inline const QSet<QString>& KeptWords() {
    static const QSet<QString> words{
        // Port kinds and devices as the settings and the status bar name them.
        "TCP", "Server", "Client", "UDP", "IP", "COM_Ext", "SerialPort",
        // Checksums, file and view formats, encodings, flow control.
        "CS_ASTM", "CS_LX20", "CS_BCC", "CRC16", "LX20", "BCC", "ASTM", "E1381", "HEX", "Hex",
        "Raw", "Fmt", "Bin", "Txt", "txt", "Zip", "BOM", "CP_ACP", "UTF", "UNICODE", "Xon", "Xoff",
        // Control characters.
        "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "CR", "LF", "NAK", "SYN", "ETB", "ASCII",
        // Units, the product and its ports.
        "ms", "hr", "Qelvor", "RS232"};
    return words;
}

// The English words of text outside the kept ones: notation "<...>", paths
// and file names (anything with "/" or a dot between letters), device names
// ("ttyS0"), COM numbers and single letters do not count.
inline QStringList EnglishWordsIn(QString text) {
    static const QRegularExpression notation(QStringLiteral("<[^<>]*>"));
    static const QRegularExpression pathLike(QStringLiteral("\\S*(/|[A-Za-z]\\.[A-Za-z])\\S*"));
    static const QRegularExpression word(QStringLiteral("(?<![A-Za-z0-9_])[A-Za-z][A-Za-z0-9_]+"));
    static const QRegularExpression systemName(QStringLiteral("^(COM\\d+|tty\\w+)$"));
    text.remove(notation).remove(pathLike);
    QStringList found;
    for (const QRegularExpressionMatch& m : word.globalMatch(text)) {
        const QString w = m.captured();
        if (!KeptWords().contains(w) && !systemName.match(w).hasMatch()) found << w;
    }
    return found;
}

inline bool HasChinese(const QString& text) {
    static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
    return cjk.match(text).hasMatch();
}

}  // namespace qelvor::test
