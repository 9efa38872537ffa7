#include "window/key_filter.h"

#include <QKeyEvent>
#include <QMenu>
#include <QWidget>

namespace qelvor {

CKeyFilter::CKeyFilter(QWidget* sendBox, QObject* parent) : QObject(parent), sendBox_(sendBox) {}

void CKeyFilter::InstallOn(QWidget* root) {
    root->installEventFilter(this);
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (qobject_cast<QMenu*>(widget) == nullptr) widget->installEventFilter(this);
    }
}

bool CKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) return true;
    if (key == Qt::Key_F1) {
        emit helpRequested();
        return true;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && watched == sendBox_) {
        emit enterInSendBox();
        return true;
    }
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && watched == sendBox_) {
        if (key == Qt::Key_Up)
            emit olderInSendBox();
        else
            emit newerInSendBox();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qelvor
