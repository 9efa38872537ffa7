// The data list: lines of a loaded data or response file and the current
// selection. Read by the frame splitter for "[DATA]", edited and walked by
// the send operations, shown by the window. User-interface thread only.
#pragma once

#include <string>
#include <vector>

namespace qelvor {

// One change of the data list, as a list view needs it to update its rows.
struct DataListChange {
    enum class Kind { Reset, Inserted, Removed, Selection };
    Kind kind;
    // Inserted and Removed: the first row and the number of rows; Reset:
    // count is the new number of rows; Selection: first is the selected row,
    // -1 for none.
    int first = 0;
    int count = 0;
};

class IDataListObserver {
  public:
    virtual ~IDataListObserver() = default;
    virtual void OnDataListChange(const DataListChange& change) = 0;
};

class CDataList {
  public:
    int Count() const { return static_cast<int>(lines_.size()); }
    // The line at index; an empty text for an index out of range.
    const std::string& Line(int index) const;
    const std::vector<std::string>& Lines() const { return lines_; }
    // -1 when nothing is selected.
    int CurSel() const { return curSel_; }
    // Selects index; an index out of range removes the selection. Reported
    // only when the selection really changes.
    void SetCurSel(int index);

    // Reported as one Reset.
    void Clear();
    // Reported as one Inserted.
    void Append(std::string line);
    // Inserts before index; at the end when index is out of range.
    void Insert(int index, std::string line);
    // Deletes the line at index, reported as one Removed; nothing when out
    // of range.
    void Delete(int index);
    // Replaces all lines at once (a file load), reported as one Reset.
    void Assign(std::vector<std::string> lines);

    // Observers are told in the order they were added; one added twice is
    // told once. The list does not own them.
    void AddObserver(IDataListObserver* observer);
    void RemoveObserver(IDataListObserver* observer);

  private:
    void Notify(DataListChange::Kind kind, int first, int count);

    std::vector<std::string> lines_;
    int curSel_ = -1;
    std::vector<IDataListObserver*> observers_;
};

}  // namespace qelvor
