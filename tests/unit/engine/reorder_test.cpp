#include "engine/reorder.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/download_list.h"

namespace rg {
namespace {

// Items named by their starting row: "0", "1", ...
DownloadList make_list(int rows) {
    DownloadList list;
    for (int i = 0; i < rows; ++i)
        list.append_item().lock()->set_url(std::to_string(i));
    return list;
}

std::string order(const DownloadList& list) {
    std::string out;
    for (const auto& item : list)
        out += item->url();
    return out;
}

struct ReorderCase {
    ReorderMode mode;
    int rows;
    std::initializer_list<std::int32_t> selected;
    const char* expected_order;
};

TEST(Reorder, WalksRowsOneByOneWithTheirQuirks) {
    const ReorderCase cases[] = {
        // To top: row 0 is never moved itself, so it ends below the other selected rows.
        {ReorderMode::ToTop, 3, {0, 2}, "201"},
        {ReorderMode::ToTop, 4, {0, 1}, "1023"},
        {ReorderMode::ToTop, 5, {1, 3, 4}, "13402"},
        {ReorderMode::ToTop, 4, {}, "0123"},
        // Up: a block moves as a whole; a selected row 0 passes to the block's end.
        {ReorderMode::Up, 5, {2, 3}, "02314"},
        {ReorderMode::Up, 4, {0, 1}, "1023"},
        {ReorderMode::Up, 4, {0, 1, 2}, "1203"},
        {ReorderMode::Up, 4, {0}, "0123"},
        {ReorderMode::Up, 5, {1, 3}, "10324"},
        // Down and to bottom mirror them.
        {ReorderMode::Down, 5, {1, 2}, "03124"},
        {ReorderMode::Down, 4, {2, 3}, "0132"},
        {ReorderMode::Down, 4, {1, 2, 3}, "0312"},
        {ReorderMode::Down, 4, {3}, "0123"},
        {ReorderMode::ToBottom, 3, {0, 2}, "120"},
        {ReorderMode::ToBottom, 4, {2, 3}, "0132"},
        {ReorderMode::ToBottom, 5, {0, 1, 3}, "24013"},
        // Single rows and empty lists stay as they are.
        {ReorderMode::ToTop, 1, {0}, "0"},
        {ReorderMode::Up, 1, {0}, "0"},
        {ReorderMode::Down, 1, {0}, "0"},
        {ReorderMode::ToBottom, 1, {0}, "0"},
        {ReorderMode::ToBottom, 0, {}, ""},
    };
    for (const ReorderCase& c : cases) {
        DownloadList list = make_list(c.rows);
        const Selection before = Selection::of(c.rows, c.selected);
        const Selection after = reorder(list, before, c.mode);
        SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(c.mode) << ", "
                                        << before.selected_count() << " of " << c.rows);
        EXPECT_EQ(order(list), c.expected_order);
        // The selection went with the items.
        ASSERT_EQ(after.rows(), c.rows);
        for (std::int32_t row = 0; row < c.rows; ++row) {
            const std::int32_t start = std::stoi(list.item_at(row)->url());
            EXPECT_EQ(after.is_selected(row), before.is_selected(start)) << "row " << row;
        }
    }
}

TEST(Reorder, CaretStaysWithItsItem) {
    DownloadList list = make_list(5);
    DownloadItem* caret_item = list.item_at(1);
    Selection after = reorder(list, Selection::of(5, {3, 4}, 1), ReorderMode::ToTop);
    EXPECT_EQ(order(list), "34012");
    EXPECT_EQ(after.caret(), 3);
    EXPECT_EQ(list.item_at(after.caret()), caret_item);

    after = reorder(list, after, ReorderMode::ToBottom);
    EXPECT_EQ(order(list), "01234");
    EXPECT_EQ(list.item_at(after.caret()), caret_item);

    // The caret on a moved row moves with it.
    after = reorder(list, Selection::of(5, {2}, 2), ReorderMode::Down);
    EXPECT_EQ(order(list), "01324");
    EXPECT_EQ(after.caret(), 3);
}

TEST(Reorder, SelectionOfAnotherSizeIsTakenAtTheListsSize) {
    DownloadList list = make_list(3);
    // A stale selection with a row beyond the list: only rows of the list count.
    Selection after = reorder(list, Selection::of(5, {1, 4}, 4), ReorderMode::ToTop);
    EXPECT_EQ(order(list), "102");
    EXPECT_EQ(after, Selection::of(3, {0}));

    after = reorder(list, Selection::of(1, {0}), ReorderMode::ToBottom);
    EXPECT_EQ(order(list), "021");
    EXPECT_EQ(after, Selection::of(3, {2}));
}

TEST(Reorder, ModeOfMoveCommands) {
    EXPECT_EQ(reorder_mode_of(CommandId::MoveToTop), ReorderMode::ToTop);
    EXPECT_EQ(reorder_mode_of(CommandId::MoveUp), ReorderMode::Up);
    EXPECT_EQ(reorder_mode_of(CommandId::MoveDown), ReorderMode::Down);
    EXPECT_EQ(reorder_mode_of(CommandId::MoveToBottom), ReorderMode::ToBottom);
    EXPECT_EQ(reorder_mode_of(CommandId::Start), std::nullopt);
}

}  // namespace
}  // namespace rg
