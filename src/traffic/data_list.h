// The data list: lines of a loaded data or response file and the current
// selection. Read by the frame splitter for "[DATA]", edited and walked by
// the send operations, shown by the window. User-interface thread only.
#pragma once

#include <string>
#include <vector>

namespace qelvor {

class IDataListObserver {
  public:
    virtual ~IDataListObserver() = default;
    virtual void OnDataListChanged() = 0;
    virtual void OnDataListSelectionChanged(int index) = 0;
};

class CDataList {
  public:
    int Count() const { return static_cast<int>(lines_.size()); }
    // The line at index; an empty text for an index out of range.
    const std::string& Line(int index) const;
    const std::vector<std::string>& Lines() const { return lines_; }
    // -1 when nothing is selected.
    int CurSel() const { return curSel_; }
    // Selects index; an index out of range removes the selection.
    void SetCurSel(int index);

    void Clear();
    void Append(std::string line);
    // Inserts before index; at the end when index is out of range.
    void Insert(int index, std::string line);
    // Deletes the line at index; nothing when out of range.
    void Delete(int index);
    // Replaces all lines at once (a file load).
    void Assign(std::vector<std::string> lines);

    void SetObserver(IDataListObserver* observer) { observer_ = observer; }

  private:
    void NotifyChanged();
    void NotifySelection();

    std::vector<std::string> lines_;
    int curSel_ = -1;
    IDataListObserver* observer_ = nullptr;
};

}  // namespace qelvor
