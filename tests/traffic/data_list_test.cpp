#include "traffic/data_list.h"

#include <gtest/gtest.h>

namespace qelvor {
namespace {

class CountingObserver : public IDataListObserver {
  public:
    void OnDataListChanged() override { ++changes; }
    void OnDataListSelectionChanged(int index) override { selections.push_back(index); }
    int changes = 0;
    std::vector<int> selections;
};

TEST(DataList, SelectionFollowsItsLineAndOutOfRangeIsHarmless) {
    CDataList list;
    CountingObserver observer;
    list.SetObserver(&observer);
    list.Assign({"a", "b", "c"});
    list.SetCurSel(1);
    list.Insert(0, "new");
    EXPECT_EQ(list.Line(list.CurSel()), "b");
    list.Delete(0);
    list.Delete(7);
    EXPECT_EQ(list.Line(list.CurSel()), "b");
    list.Insert(99, "end");
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"a", "b", "c", "end"}));
    EXPECT_EQ(list.Line(-1), "");
    EXPECT_EQ(list.Line(4), "");
    list.Delete(1);  // deleting the selected line drops the selection
    EXPECT_EQ(list.CurSel(), -1);
    EXPECT_EQ(observer.changes, 5);
    EXPECT_EQ(observer.selections, std::vector<int>{1});
    list.SetCurSel(5);
    EXPECT_EQ(list.CurSel(), -1);
    list.SetCurSel(0);
    list.Assign({"x"});  // loading drops it too
    EXPECT_EQ(list.CurSel(), -1);
}

}  // namespace
}  // namespace qelvor
