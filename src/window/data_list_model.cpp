#include "window/data_list_model.h"

#include "window/local_text.h"

namespace qelvor {

CDataListModel::CDataListModel(CDataList& list, QObject* parent)
    : QAbstractListModel(parent), list_(list), shownRows_(list.Count()) {
    list_.AddObserver(this);
}

CDataListModel::~CDataListModel() {
    list_.RemoveObserver(this);
}

void CDataListModel::OnDataListChange(const DataListChange& change) {
    using Kind = DataListChange::Kind;
    const bool fits = change.first >= 0 && change.count > 0;
    if (change.kind == Kind::Selection) {
        emit selectionChanged(change.first);
    } else if (change.kind == Kind::Inserted && fits && change.first <= shownRows_) {
        beginInsertRows(QModelIndex(), change.first, change.first + change.count - 1);
        shownRows_ = list_.Count();
        endInsertRows();
    } else if (change.kind == Kind::Removed && fits && change.first + change.count <= shownRows_) {
        beginRemoveRows(QModelIndex(), change.first, change.first + change.count - 1);
        shownRows_ = list_.Count();
        endRemoveRows();
    } else {
        // A reset, or a change that does not match the rows shown.
        beginResetModel();
        shownRows_ = list_.Count();
        endResetModel();
    }
}

int CDataListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

QVariant CDataListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= list_.Count()) return {};
    const std::string& line = list_.Line(index.row());
    return LocalText(line);
}

}  // namespace qelvor
