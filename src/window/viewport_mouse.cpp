#include "window/viewport_mouse.h"

#include <QMouseEvent>
#include <QWidget>

namespace qelvor {

CViewportMouse::CViewportMouse(QWidget* viewport, Handler handler)
    : QObject(viewport), handler_(std::move(handler)) {
    viewport->installEventFilter(this);
}

bool CViewportMouse::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                       type == QEvent::MouseButtonDblClick;
    if (mouse && watched == parent()) return handler_(static_cast<QMouseEvent*>(event));
    return QObject::eventFilter(watched, event);
}

}  // namespace qelvor
