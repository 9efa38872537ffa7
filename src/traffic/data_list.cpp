#include "traffic/data_list.h"

#include <algorithm>
#include <utility>

namespace qelvor {

const std::string& CDataList::Line(int index) const {
    static const std::string kEmpty;
    if (index < 0 || index >= Count()) return kEmpty;
    return lines_[static_cast<size_t>(index)];
}

void CDataList::SetCurSel(int index) {
    const int next = (index >= 0 && index < Count()) ? index : -1;
    if (next == curSel_) return;
    curSel_ = next;
    Notify(DataListChange::Kind::Selection, curSel_, 0);
}

void CDataList::Clear() {
    lines_.clear();
    curSel_ = -1;
    Notify(DataListChange::Kind::Reset, 0, 0);
}

void CDataList::Append(std::string line) {
    lines_.push_back(std::move(line));
    Notify(DataListChange::Kind::Inserted, Count() - 1, 1);
}

void CDataList::Insert(int index, std::string line) {
    if (index < 0 || index >= Count()) {
        Append(std::move(line));
        return;
    }
    lines_.insert(lines_.begin() + index, std::move(line));
    // The selected line moved down with the insertion; a row view moves its
    // selection with the inserted row, so no Selection change is reported.
    if (curSel_ >= index) ++curSel_;
    Notify(DataListChange::Kind::Inserted, index, 1);
}

void CDataList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    lines_.erase(lines_.begin() + index);
    if (curSel_ == index) {
        curSel_ = -1;
    } else if (curSel_ > index) {
        --curSel_;
    }
    Notify(DataListChange::Kind::Removed, index, 1);
}

void CDataList::Assign(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    curSel_ = -1;
    Notify(DataListChange::Kind::Reset, 0, Count());
}

void CDataList::AddObserver(IDataListObserver* observer) {
    if (observer == nullptr) return;
    if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) return;
    observers_.push_back(observer);
}

void CDataList::RemoveObserver(IDataListObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void CDataList::Notify(DataListChange::Kind kind, int first, int count) {
    const DataListChange change{kind, first, count};
    // Walked on a copy, and each one asked whether it still observes: an
    // observer may add or remove observers while it is told.
    const std::vector<IDataListObserver*> observers = observers_;
    for (IDataListObserver* observer : observers) {
        if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end())
            observer->OnDataListChange(change);
    }
}

}  // namespace qelvor
