#include "traffic/data_list.h"

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
    NotifySelection();
}

void CDataList::Clear() {
    lines_.clear();
    curSel_ = -1;
    NotifyChanged();
}

void CDataList::Append(std::string line) {
    lines_.push_back(std::move(line));
    NotifyChanged();
}

void CDataList::Insert(int index, std::string line) {
    if (index < 0 || index >= Count()) {
        Append(std::move(line));
        return;
    }
    lines_.insert(lines_.begin() + index, std::move(line));
    // The selected line moved down with the insertion.
    if (curSel_ >= index) ++curSel_;
    NotifyChanged();
}

void CDataList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    lines_.erase(lines_.begin() + index);
    if (curSel_ == index) {
        curSel_ = -1;
    } else if (curSel_ > index) {
        --curSel_;
    }
    NotifyChanged();
}

void CDataList::Assign(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    curSel_ = -1;
    NotifyChanged();
}

void CDataList::NotifyChanged() {
    if (observer_ != nullptr) observer_->OnDataListChanged();
}

void CDataList::NotifySelection() {
    if (observer_ != nullptr) observer_->OnDataListSelectionChanged(curSel_);
}

}  // namespace qelvor
