// The main window's data list: the lines of the data file through their item
// model, the engine's selection shown and the user's handed back, a
// double-click that sends the line, and the right button, which selects the
// line under it and asks for the window's DATA_PROC menu. The view is the
// window's child; the window places, shows and hides it. User-interface
// thread only.
#pragma once

#include <QObject>
#include <QPoint>

class QMouseEvent;
class QListView;
class QWidget;

namespace qelvor {

class CDataListModel;
class CMainEngine;

class CDataListPane : public QObject {
    Q_OBJECT

  public:
    CDataListPane(CMainEngine& engine, QWidget* window);

    QListView* View() const { return list_; }
    CDataListModel* Model() const { return model_; }

  signals:
    void popupRequested(QPoint globalPos);

  private:
    void ShowSelection(int row);
    bool FilterMouse(QMouseEvent* event);

    CMainEngine& engine_;
    QListView* list_ = nullptr;
    CDataListModel* model_ = nullptr;
    // The engine's selection is being shown: no echo back to the engine.
    bool syncingSelection_ = false;
};

}  // namespace qelvor
