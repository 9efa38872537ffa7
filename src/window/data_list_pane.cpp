#include "window/data_list_pane.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QMouseEvent>

#include "mainwnd/main_engine.h"
#include "window/data_list_model.h"
#include "window/viewport_mouse.h"

namespace qelvor {

CDataListPane::CDataListPane(CMainEngine& engine, QWidget* window)
    : QObject(window), engine_(engine) {
    list_ = new QListView(window);
    list_->setObjectName(QStringLiteral("DataList"));
    model_ = new CDataListModel(engine_.DataList(), window);
    list_->setModel(model_);
    list_->setUniformItemSizes(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    new CViewportMouse(list_->viewport(),
                       [this](QMouseEvent* event) { return FilterMouse(event); });
    connect(model_, &CDataListModel::selectionChanged, this, &CDataListPane::ShowSelection);
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!syncingSelection_) engine_.SelectDataLine(current.row());
            });
}

void CDataListPane::ShowSelection(int row) {
    syncingSelection_ = true;
    const QModelIndex index = model_->index(row, 0);
    if (index.isValid()) {
        list_->setCurrentIndex(index);
        list_->scrollTo(index);
    } else {
        list_->selectionModel()->clear();
    }
    syncingSelection_ = false;
}

bool CDataListPane::FilterMouse(QMouseEvent* event) {
    const int row = list_->indexAt(event->position().toPoint()).row();
    if (event->type() == QEvent::MouseButtonDblClick && event->button() == Qt::LeftButton) {
        // The press before it selected the line.
        if (row >= 0) engine_.OnDataListDoubleClick(row);
        return row >= 0;
    }
    if (event->button() != Qt::RightButton) return false;
    // A right press selects the line under it, so that the menu's line edits
    // act on the line clicked.
    if (event->type() == QEvent::MouseButtonPress) engine_.SelectDataLine(row);
    if (event->type() == QEvent::MouseButtonRelease)
        emit popupRequested(event->globalPosition().toPoint());
    return true;
}

}  // namespace qelvor
