// The main window's traffic list: the list view of the traffic store through
// its item model (the gap and check columns beside the time), the scroll
// lock, new records shown at most once a frame and scrolled to unless the
// user is reading back, a double-click on a row that opens the record's
// detail, and a right-button release that asks for the window's EVENT menu. The view is the
// window's child; the window places it. User-interface thread only.
#pragma once

#include <QObject>
#include <QPoint>

class QMouseEvent;
class QTimer;
class QWidget;

namespace qelvor {

class CComSetting;
class CMainEngine;
class CScrollLock;
class CTrafficListView;
class CTrafficTableModel;

class CTrafficListPane : public QObject {
    Q_OBJECT

  public:
    CTrafficListPane(CMainEngine& engine, CComSetting& settings, QWidget* window);

    CTrafficListView* View() const { return list_; }
    CTrafficTableModel* Model() const { return model_; }
    // New records are shown at the next frame; with scroll the list then
    // goes to its end, unless the scroll lock holds it.
    void ScheduleCatchUp(bool scroll);

  signals:
    void popupRequested(QPoint globalPos);

  private:
    void BuildView(QWidget* window);
    void ArrangeColumns();
    void CatchUp();
    void FitTypeColumn();
    void OpenRecordDetail(int row);
    bool FilterMouse(QMouseEvent* event);

    CMainEngine& engine_;
    CComSetting& settings_;
    QWidget* window_;
    CTrafficListView* list_ = nullptr;
    CTrafficTableModel* model_ = nullptr;
    CScrollLock* scrollLock_ = nullptr;
    QTimer* catchUpTimer_ = nullptr;
    bool scrollPending_ = false;
    int fittedTypeWidth_ = 0;  // the type column's width for the tap's names
};

}  // namespace qelvor
