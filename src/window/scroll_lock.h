// The traffic list's scroll lock: while the user has scrolled up from the
// last row or selected a row, new records do not pull the list to its end.
// A small "newest" button over the list's bottom-right corner, shown only
// while locked, and the End key go back to the end and follow again.
// User-interface thread only.
#pragma once

#include <QObject>

class QToolButton;
class QWidget;

namespace qelvor {

class CTrafficListView;

class CScrollLock : public QObject {
    Q_OBJECT

  public:
    explicit CScrollLock(CTrafficListView& list);

    // Whether new records must leave the view where it is.
    bool Locked() const;
    // Clears the selection, scrolls to the last row and follows again.
    void ToNewest();
    // The button shown or hidden as the lock stands; called after each batch
    // of new rows.
    void Refresh();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnScrollAction();
    void PlaceButton();

    CTrafficListView& list_;
    // The list's viewport, kept so that an event of a list being destroyed
    // is told apart without calling on it.
    QWidget* viewport_ = nullptr;
    QToolButton* newest_ = nullptr;
    // The user moved the scroll bar away from its end.
    bool scrolledAway_ = false;
};

}  // namespace qelvor
