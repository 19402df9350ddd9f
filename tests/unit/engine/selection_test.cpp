#include "engine/selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/download_list.h"

namespace rg {
namespace {

using Rows = std::vector<std::int32_t>;

struct RowSetup {
    ItemState state = ItemState::Stopped;
    std::int32_t status_code = 0;
    std::int32_t scheduled = 0;
};

DownloadList make_list(const std::vector<RowSetup>& rows) {
    DownloadList list;
    for (const RowSetup& setup : rows) {
        DownloadItem& item = list.append_item();
        item.state = setup.state;
        item.connection.status_code = setup.status_code;
        item.lock()->saved.scheduled = setup.scheduled;
    }
    return list;
}

TEST(Selection, FlagsAndCaretRefuseRowsOutsideTheList) {
    Selection s(3);
    EXPECT_TRUE(s.set_selected(2, true));
    EXPECT_FALSE(s.set_selected(3, true));
    EXPECT_FALSE(s.set_selected(-1, true));
    EXPECT_FALSE(s.is_selected(3));
    EXPECT_FALSE(s.is_selected(-1));
    EXPECT_FALSE(s.set_caret(3));
    EXPECT_FALSE(s.set_caret(-2));
    EXPECT_EQ(s.caret(), kNoRow);
    EXPECT_TRUE(s.set_caret(1));
    EXPECT_EQ(s.selected_rows(), Rows{2});
    EXPECT_EQ(Selection(-4).rows(), 0);

    s.resize(1);
    EXPECT_EQ(s.caret(), kNoRow);
    EXPECT_EQ(s.selected_count(), 0);
    s.resize(3);
    EXPECT_EQ(s.selected_count(), 0);  // new rows come unselected
}

TEST(Selection, AllNoneAndInverseKeepTheCaret) {
    Selection s = Selection::of(4, {1, 2}, 2);
    s.select_inverse();
    EXPECT_EQ(s.selected_rows(), (Rows{0, 3}));
    s.select_all();
    EXPECT_EQ(s.selected_count(), 4);
    s.select_none();
    EXPECT_EQ(s.selected_count(), 0);
    EXPECT_EQ(s.caret(), 2);
}

TEST(Selection, CaretTargetIsAlwaysASelectedRow) {
    EXPECT_EQ(Selection::of(4, {1, 3}, 3).caret_target(), 3);
    // The caret was left on a row that was then deselected (Ctrl+click).
    EXPECT_EQ(Selection::of(4, {1, 3}, 2).caret_target(), 1);
    EXPECT_EQ(Selection::of(4, {2}, kNoRow).caret_target(), 2);
    EXPECT_EQ(Selection::of(4, {}, 2).caret_target(), kNoRow);
}

TEST(Selection, MoveRowCarriesFlagAndCaret) {
    Selection s = Selection::of(5, {0}, 2);
    ASSERT_TRUE(s.move_row(0, 3));
    EXPECT_EQ(s.selected_rows(), Rows{3});
    EXPECT_EQ(s.caret(), 1);  // the caret's row moved up under the removed row
    ASSERT_TRUE(s.move_row(4, 0));
    EXPECT_EQ(s.caret(), 2);
    ASSERT_TRUE(s.move_row(2, 4));
    EXPECT_EQ(s.caret(), 4);
    EXPECT_FALSE(s.move_row(0, 5));
    EXPECT_FALSE(s.move_row(-1, 0));
}

TEST(Selection, FilteredSelectionsDeselectRowsThatFail) {
    DownloadList list = make_list({
        {ItemState::Running, 206, 1},
        {ItemState::Stopped, 404, 0},
        {ItemState::MontageHeld, 206, 0},
        {ItemState::InfoHeld, 0, 1},
        {ItemState::Stopped, 404, 7},
    });
    Selection s = Selection::of(5, {0, 3}, 3);
    select_running(list, s);
    EXPECT_EQ(s.selected_rows(), (Rows{0, 2}));
    EXPECT_EQ(s.caret(), 3);

    select_not_found(list, s);
    EXPECT_EQ(s.selected_rows(), (Rows{1, 4}));

    select_not_scheduled(list, s);
    EXPECT_EQ(s.selected_rows(), (Rows{1, 2}));  // any value but 0 counts as scheduled
}

TEST(Selection, NotFoundWithoutAny404DeselectsEverything) {
    DownloadList list = make_list({{ItemState::Stopped, 200, 0}, {ItemState::Stopped, 401, 0}});
    Selection s = Selection::of(2, {0, 1}, 0);
    select_not_found(list, s);
    EXPECT_EQ(s.selected_count(), 0);
}

TEST(Selection, StatusCodeOfAConnectionInUseIsNotRead) {
    DownloadList list = make_list({{ItemState::Stopped, 404, 0}, {ItemState::MontageHeld, 404, 0}});
    list.item_at(0)->worker_active = true;  // a worker exists and may be writing the code
    EXPECT_EQ(settled_status_code(*list.item_at(0)), 0);
    EXPECT_EQ(settled_status_code(*list.item_at(1)), 0);
    Selection s(2);
    select_not_found(list, s);
    EXPECT_EQ(s.selected_count(), 0);

    list.item_at(0)->worker_active = false;
    EXPECT_EQ(settled_status_code(*list.item_at(0)), 404);
}

TEST(Selection, SelectionCommands) {
    DownloadList list = make_list({{ItemState::Running}, {}, {}});
    Selection s = Selection::of(3, {1}, 1);
    EXPECT_TRUE(apply_selection_command(CommandId::SelectInverse, list, s));
    EXPECT_EQ(s.selected_rows(), (Rows{0, 2}));
    EXPECT_TRUE(apply_selection_command(CommandId::SelectRunning, list, s));
    EXPECT_EQ(s.selected_rows(), Rows{0});
    EXPECT_TRUE(apply_selection_command(CommandId::SelectNotScheduled, list, s));
    EXPECT_EQ(s.selected_count(), 3);
    EXPECT_TRUE(apply_selection_command(CommandId::SelectNone, list, s));
    EXPECT_EQ(s.selected_count(), 0);
    EXPECT_TRUE(apply_selection_command(CommandId::SelectAll, list, s));
    EXPECT_EQ(s.selected_count(), 3);

    const Selection before = s;
    EXPECT_FALSE(apply_selection_command(CommandId::Start, list, s));
    EXPECT_EQ(s, before);

    // A stale selection takes the list's size.
    Selection longer = Selection::of(6, {5}, 5);
    EXPECT_TRUE(apply_selection_command(CommandId::SelectInverse, list, longer));
    EXPECT_EQ(longer, Selection::of(3, {0, 1, 2}));

    DownloadList empty;
    Selection none;
    EXPECT_TRUE(apply_selection_command(CommandId::SelectAll, empty, none));
    EXPECT_EQ(none.rows(), 0);
}

}  // namespace
}  // namespace rg
