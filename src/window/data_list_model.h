// The data list's model: the lines of the core's CDataList as rows of one
// column. It observes the list itself, so that every insertion, removal and
// reset reaches the view as exactly that change; a change of the selection is
// passed on through selectionChanged. User-interface thread only.
#pragma once

#include <QAbstractListModel>

#include "traffic/data_list.h"

namespace qelvor {

class CDataListModel : public QAbstractListModel, private IDataListObserver {
    Q_OBJECT

  public:
    explicit CDataListModel(CDataList& list, QObject* parent = nullptr);
    ~CDataListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  signals:
    // The list's selected row changed; -1 for none.
    void selectionChanged(int row);

  private:
    void OnDataListChange(const DataListChange& change) override;

    CDataList& list_;
    // The rows the view knows of: the list has already changed when it
    // reports, so insertions and removals are announced around this count.
    int shownRows_ = 0;
};

}  // namespace qelvor
