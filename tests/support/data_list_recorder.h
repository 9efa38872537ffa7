// An observer of a data list that keeps every change it is told, in order.
#pragma once

#include <ostream>
#include <vector>

#include "traffic/data_list.h"

namespace qelvor {

inline bool operator==(const DataListChange& a, const DataListChange& b) {
    return a.kind == b.kind && a.first == b.first && a.count == b.count;
}

inline std::ostream& operator<<(std::ostream& out, const DataListChange& c) {
    static const char* const kNames[] = {"Reset", "Inserted", "Removed", "Selection"};
    return out << kNames[static_cast<int>(c.kind)] << "(" << c.first << "," << c.count << ")";
}

class DataListRecorder : public IDataListObserver {
  public:
    explicit DataListRecorder(CDataList& list) : list_(list) { list_.AddObserver(this); }
    ~DataListRecorder() override { list_.RemoveObserver(this); }
    void OnDataListChange(const DataListChange& change) override { changes.push_back(change); }

    std::vector<DataListChange> changes;

  private:
    CDataList& list_;
};

}  // namespace qelvor
