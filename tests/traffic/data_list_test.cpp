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

TEST(DataList, OutOfRangeReadsAndSelectionsAreHarmless) {
    CDataList list;
    list.Assign({"a", "b"});
    EXPECT_EQ(list.Line(-1), "");
    EXPECT_EQ(list.Line(2), "");
    list.SetCurSel(1);
    EXPECT_EQ(list.CurSel(), 1);
    list.SetCurSel(5);
    EXPECT_EQ(list.CurSel(), -1);
    list.Delete(7);
    EXPECT_EQ(list.Count(), 2);
}

TEST(DataList, SelectionFollowsItsLineThroughEdits) {
    CDataList list;
    CountingObserver observer;
    list.SetObserver(&observer);
    list.Assign({"a", "b", "c"});
    list.SetCurSel(1);
    list.Insert(0, "new");
    EXPECT_EQ(list.CurSel(), 2);
    EXPECT_EQ(list.Line(list.CurSel()), "b");
    list.Delete(0);
    EXPECT_EQ(list.Line(list.CurSel()), "b");
    list.Insert(99, "end");
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"a", "b", "c", "end"}));
    list.Delete(1);
    EXPECT_EQ(list.CurSel(), -1);
    EXPECT_EQ(observer.changes, 5);
    EXPECT_EQ(observer.selections, std::vector<int>{1});
}

TEST(DataList, LoadingOrClearingDropsTheSelection) {
    CDataList list;
    list.Assign({"a", "b"});
    list.SetCurSel(0);
    list.Assign({"x"});
    EXPECT_EQ(list.CurSel(), -1);
    list.SetCurSel(0);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.CurSel(), -1);
}

}  // namespace
}  // namespace qelvor
