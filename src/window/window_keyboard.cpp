#include "window/window_keyboard.h"

#include <QWidget>
#include <utility>
#include <vector>

namespace qelvor {

namespace {

// The bands from top to bottom, as the window places them.
constexpr const char* kBands[] = {"QuickSendRow", "ModemLines", "FindBar", "StatisticsPanel"};

// A widget of the window that Tab may reach; popups (a list box's drop-down)
// are windows of their own.
void Chain(std::vector<QWidget*>& order, QWidget* widget, const QWidget* window) {
    if (widget == nullptr || widget->window() != window) return;
    if (widget->focusPolicy() & Qt::TabFocus) order.push_back(widget);
}

}  // namespace

void CWindowKeyboard::Arrange(QWidget* window) {
    // In reading order; the status panes take no focus but have names.
    const std::pair<const char*, QString> controls[] = {
        {"BufferBox", tr("Buffer: received bytes not yet split")},
        {"ShowDataList", tr("Show or hide the data list")},
        {"TrafficList", tr("Traffic records")},
        {"DataList", tr("Data list")},
        {"TapSendSide", tr("Side the text is sent into")},
        {"SendBox", tr("Text to send")},
        {"SendLineEnd", tr("Line end after the text")},
        {"SendData", tr("Send the text")},
        {"CheckSum", tr("Add the check sum")},
        {"SendCtrl", tr("Send a control character")},
        {"LoadFile", tr("Load a data file")},
        {"SetPort", tr("Configure the port")},
        {"OpenPort", tr("Open the port")},
        {"ClosePort", tr("Close the port")},
        {"SendFile", tr("Send a file")},
        {"ReSend", tr("Send again")},
        {"SaveData", tr("Save the records")},
        {"Scroll", tr("Scroll to the newest record")},
        {"SendNow", tr("Send on double-click")},
        {"AutoSend", tr("Auto send")},
        {"Exit", tr("Exit")},
        {"StatusPane0", tr("Port state")},
        {"StatusPane1", tr("Progress")},
        {"StatusPane2", tr("Data processing")},
        {"StatusPane3", tr("Clock")},
        {"QuickSendEdit", tr("Edit the quick sends")}};
    std::vector<QWidget*> order;
    for (const auto& [name, spoken] : controls) {
        QWidget* control = window->findChild<QWidget*>(QString::fromLatin1(name));
        if (control == nullptr) continue;
        control->setAccessibleName(spoken);
        Chain(order, control, window);
    }
    for (const char* name : kBands) {
        const auto* band = window->findChild<QWidget*>(QString::fromLatin1(name));
        if (band == nullptr) continue;
        for (QWidget* child : band->findChildren<QWidget*>())
            Chain(order, child, window);
    }
    Chain(order, window->findChild<QWidget*>(QStringLiteral("WindowMenu")), window);
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

}  // namespace qelvor
