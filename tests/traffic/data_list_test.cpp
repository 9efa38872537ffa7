#include "traffic/data_list.h"

#include <functional>

#include <gtest/gtest.h>

#include "support/data_list_recorder.h"

namespace qelvor {
namespace {

using Kind = DataListChange::Kind;

// Each edit, the lines and selection after it and the change it reports (none: no change).
TEST(DataList, EachEditReportsOneTypedChangeAndSelectionFollowsItsLine) {
    using Lines = std::vector<std::string>;
    CDataList list;
    DataListRecorder recorder(list);
    DataListRecorder second(list);
    list.AddObserver(&second);  // added twice, told once
    // clang-format off
    const struct { const char* what; std::function<void()> edit; Lines lines; int selection;
                   std::vector<DataListChange> reported; } steps[] = {
        {"assign", [&] { list.Assign({"a", "b", "c"}); }, {"a", "b", "c"}, -1, {{Kind::Reset, 0, 3}}},
        {"select", [&] { list.SetCurSel(1); }, {"a", "b", "c"}, 1, {{Kind::Selection, 1}}},
        {"same selection", [&] { list.SetCurSel(1); }, {"a", "b", "c"}, 1, {}},
        {"insert above", [&] { list.Insert(0, "new"); }, {"new", "a", "b", "c"}, 2, {{Kind::Inserted, 0, 1}}},
        {"delete out of range", [&] { list.Delete(7); }, {"new", "a", "b", "c"}, 2, {}},
        {"delete above", [&] { list.Delete(0); }, {"a", "b", "c"}, 1, {{Kind::Removed, 0, 1}}},
        {"insert past end", [&] { list.Insert(99, "end"); }, {"a", "b", "c", "end"}, 1, {{Kind::Inserted, 3, 1}}},
        {"append", [&] { list.Append("z"); }, {"a", "b", "c", "end", "z"}, 1, {{Kind::Inserted, 4, 1}}},
        {"delete selected", [&] { list.Delete(1); }, {"a", "c", "end", "z"}, -1, {{Kind::Removed, 1, 1}}},
        {"select out of range", [&] { list.SetCurSel(9); }, {"a", "c", "end", "z"}, -1, {}},
        {"select last", [&] { list.SetCurSel(3); }, {"a", "c", "end", "z"}, 3, {{Kind::Selection, 3}}},
        {"assign drops selection", [&] { list.Assign({"x"}); }, {"x"}, -1, {{Kind::Reset, 0, 1}}},
        {"clear", [&] { list.Clear(); }, {}, -1, {{Kind::Reset, 0, 0}}},
    };
    // clang-format on
    for (const auto& step : steps) {
        recorder.changes.clear();
        second.changes.clear();
        step.edit();
        EXPECT_EQ(std::make_tuple(list.Lines(), list.CurSel(), recorder.changes, second.changes),
                  std::make_tuple(step.lines, step.selection, step.reported, step.reported))
            << step.what;
    }
    EXPECT_EQ(list.Line(-1) + list.Line(4), "");
    list.RemoveObserver(&second);
    list.Append("after");  // the removed observer hears nothing more
    EXPECT_EQ(recorder.changes.size() - second.changes.size(), 1u);
}

}  // namespace
}  // namespace qelvor
