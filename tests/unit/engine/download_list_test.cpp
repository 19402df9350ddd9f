#include "engine/download_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace rg {
namespace {

TEST(DownloadList, MoveKeepsIdentityEvenWhileAWorkerHoldsTheItem) {
    DownloadList list;
    for (int i = 0; i < 4; ++i)
        list.append_item().lock()->set_url(std::to_string(i));
    DownloadList::ItemPtr held = list.shared_at(0);
    held->state = ItemState::Running;

    ASSERT_TRUE(list.move_item(0, 3));
    EXPECT_EQ(list.item_at(3), held.get());
    EXPECT_EQ(list.index_of(held.get()), 3);
    EXPECT_EQ(list.item_at(3)->state.load(), ItemState::Running);
    EXPECT_EQ(list.item_at(0)->url(), "1");
    ASSERT_TRUE(list.move_item(3, 1));
    EXPECT_EQ(list.item_at(1), held.get());
    EXPECT_FALSE(list.move_item(0, 4));
    EXPECT_FALSE(list.move_item(-1, 0));

    // Removing the row leaves the worker's reference valid.
    ASSERT_TRUE(list.remove_item(1));
    EXPECT_EQ(list.index_of(held.get()), -1);
    EXPECT_EQ(held->url(), "0");
    EXPECT_FALSE(list.remove_item(3));
    EXPECT_EQ(list.item_at(3), nullptr);
}

}  // namespace
}  // namespace rg
