// Hands the mouse button presses, releases and double-clicks on a view's
// viewport to a handler, which says whether it took the event (then the view
// does not see it). Lives as long as the viewport. User-interface thread
// only.
#pragma once

#include <QObject>
#include <functional>

class QMouseEvent;
class QWidget;

namespace qelvor {

class CViewportMouse : public QObject {
    Q_OBJECT

  public:
    using Handler = std::function<bool(QMouseEvent* event)>;

    CViewportMouse(QWidget* viewport, Handler handler);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Handler handler_;
};

}  // namespace qelvor
