#include <gtest/gtest.h>

#include "montage/storyboard.h"
#include "storyboard_pictures.h"

namespace rg {
namespace {

using test::solid_picture;

constexpr std::int32_t kNone = Storyboard::kNoEntry;

// A storyboard of `count` 32 x 24 entries numbered 1, 2, ... in a strip `width` pixels wide.
void fill(Storyboard& board, std::int32_t count, std::int32_t width = 500) {
    board.set_width(width);
    for (std::int32_t i = 0; i < count; ++i) {
        ASSERT_TRUE(board.append(solid_picture(32, 24, 10, 20, 30), i + 1, i * 0.5).ok());
    }
}

// x in the middle of the box `slot` boxes after the first visible one.
std::int32_t box_x(std::int32_t slot) {
    return kStoryboardArrowWidth + slot * kStoryboardBoxWidth + kStoryboardBoxWidth / 2;
}

TEST(StoryboardTest, AppendMakesEntryAndLeavesStateAlone) {
    Storyboard board;
    fill(board, 3);
    board.click(box_x(1), MouseButton::Left);
    board.scroll_forward();

    const StoryboardAppend added = board.append(solid_picture(640, 360, 1, 2, 3), 42, 1.75);
    ASSERT_TRUE(added.ok());
    EXPECT_EQ(added.index, 3);
    const StoryboardEntry* entry = board.entry(3);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->frame_number, 42);
    EXPECT_DOUBLE_EQ(entry->time_seconds, 1.75);
    EXPECT_EQ(entry->picture.width, 640);
    EXPECT_EQ(entry->thumbnail.width, 80);
    EXPECT_EQ(entry->thumbnail.height, 45);
    EXPECT_EQ(entry->offset_x(), 0);
    EXPECT_EQ(entry->offset_y(), 7);

    EXPECT_EQ(board.selected(), 1);
    EXPECT_EQ(board.first_visible(), 1);
    EXPECT_EQ(board.shown_index(), 1);
    EXPECT_EQ(board.entry(4), nullptr);
    EXPECT_EQ(board.entry(-1), nullptr);
}

TEST(StoryboardTest, RefusesUnsoundPicturesAndKeepsWithinLimits) {
    Storyboard board(StoryboardLimits{2, std::size_t{1} << 20});
    Picture broken = solid_picture(4, 4, 0, 0, 0);
    broken.rgb.resize(5);
    EXPECT_EQ(board.append(broken, 1, 0).error, StoryboardError::InvalidPicture);
    EXPECT_EQ(board.append(StoryboardEntry{}).error, StoryboardError::InvalidPicture);
    ASSERT_TRUE(board.append(solid_picture(4, 4, 0, 0, 0), 1, 0).ok());
    ASSERT_TRUE(board.append(solid_picture(4, 4, 0, 0, 0), 2, 0).ok());
    const StoryboardAppend third = board.append(solid_picture(4, 4, 0, 0, 0), 3, 0);
    EXPECT_EQ(third.error, StoryboardError::Full);
    EXPECT_EQ(third.index, kNone);
    EXPECT_EQ(board.count(), 2);

    // 400 x 300 x 3 = 360000 bytes: two fit in 1 MiB, a third does not.
    Storyboard bytes_bound(StoryboardLimits{100, std::size_t{1} << 20});
    ASSERT_TRUE(bytes_bound.append(solid_picture(400, 300, 0, 0, 0), 1, 0).ok());
    ASSERT_TRUE(bytes_bound.append(solid_picture(400, 300, 0, 0, 0), 2, 0).ok());
    EXPECT_EQ(bytes_bound.append(solid_picture(400, 300, 0, 0, 0), 3, 0).error,
              StoryboardError::Full);
    const std::size_t held = bytes_bound.bytes();
    bytes_bound.set_width(500);
    bytes_bound.click(box_x(0), MouseButton::Right);
    ASSERT_TRUE(bytes_bound.remove_selected());
    EXPECT_LT(bytes_bound.bytes(), held);
    EXPECT_TRUE(bytes_bound.append(solid_picture(400, 300, 0, 0, 0), 3, 0).ok());
}

TEST(StoryboardTest, VisibleBoxesAndBoxPositions) {
    Storyboard board;
    board.set_width(500);
    EXPECT_EQ(board.visible_boxes(), 6);  // ceil(464 / 80), the sixth under the right arrow
    board.set_width(36);
    EXPECT_EQ(board.visible_boxes(), 0);
    board.set_width(37);
    EXPECT_EQ(board.visible_boxes(), 1);
    board.set_width(0);
    EXPECT_EQ(board.visible_boxes(), 0);

    fill(board, 10);
    board.scroll_forward();
    board.scroll_forward();
    EXPECT_EQ(board.box_left(2), 18);
    EXPECT_EQ(board.box_left(5), 258);
}

TEST(StoryboardTest, ArrowsScrollWithinTheEntries) {
    Storyboard board;
    fill(board, 3);
    EXPECT_EQ(board.click(5, MouseButton::Left), StripPart::LeftArrow);
    EXPECT_EQ(board.first_visible(), 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(board.click(495, MouseButton::Left), StripPart::RightArrow);
    EXPECT_EQ(board.first_visible(), 2);  // the last entry in the first box
    board.click(0, MouseButton::Left);
    EXPECT_EQ(board.first_visible(), 1);
    // Scrolling neither selects nor shows.
    EXPECT_EQ(board.shown(), nullptr);
    EXPECT_EQ(board.selected(), 0);
}

TEST(StoryboardTest, ClicksAtBoxBordersPickTheRightEntry) {
    Storyboard board;
    fill(board, 10);
    struct Case {
        std::int32_t x;
        StripPart part;
        std::int32_t selected;
    };
    const Case cases[] = {
        {17, StripPart::LeftArrow, 0}, {18, StripPart::Boxes, 0},       {97, StripPart::Boxes, 0},
        {98, StripPart::Boxes, 1},     {177, StripPart::Boxes, 1},      {178, StripPart::Boxes, 2},
        {482, StripPart::Boxes, 5},    {483, StripPart::RightArrow, 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(board.click(c.x, MouseButton::Right), c.part) << c.x;
        EXPECT_EQ(board.selected(), c.selected) << c.x;
        if (c.part != StripPart::Boxes)
            board.scroll_back();  // undo the right arrow's scroll
    }
    EXPECT_EQ(board.shown(), nullptr);  // right clicks select without showing

    board.scroll_forward();
    board.scroll_forward();
    EXPECT_EQ(board.click(box_x(1), MouseButton::Left), StripPart::Boxes);
    EXPECT_EQ(board.selected(), 3);
    EXPECT_EQ(board.shown_index(), 3);
    EXPECT_EQ(board.shown(), board.entry(3));
}

TEST(StoryboardTest, ClickRightOfTheLastEntrySelectsIt) {
    Storyboard board;
    fill(board, 2);
    board.click(box_x(4), MouseButton::Left);
    EXPECT_EQ(board.selected(), 1);
    EXPECT_EQ(board.shown_index(), 1);
}

TEST(StoryboardTest, HitTestFollowsTheClickRule) {
    Storyboard board;
    board.set_width(500);
    EXPECT_EQ(board.hit_test(box_x(0), 10), kNone);  // no entries
    fill(board, 3);
    EXPECT_EQ(board.hit_test(17, 10), kNone);
    EXPECT_EQ(board.hit_test(18, 0), 0);
    EXPECT_EQ(board.hit_test(98, 59), 1);
    EXPECT_EQ(board.hit_test(98, 60), kNone);
    EXPECT_EQ(board.hit_test(98, -1), kNone);
    EXPECT_EQ(board.hit_test(box_x(4), 10), 2);
    EXPECT_EQ(board.hit_test(482, 10), 2);
    EXPECT_EQ(board.hit_test(483, 10), kNone);
    board.scroll_forward();
    EXPECT_EQ(board.hit_test(18, 10), 1);
}

TEST(StoryboardTest, EmptyStripSelectsNothing) {
    Storyboard board;
    board.set_width(500);
    board.scroll_forward();
    EXPECT_EQ(board.first_visible(), 0);
    board.scroll_back();
    EXPECT_EQ(board.first_visible(), 0);
    board.click(box_x(0), MouseButton::Left);
    EXPECT_EQ(board.selected(), kNone);
    EXPECT_EQ(board.shown(), nullptr);
    EXPECT_FALSE(board.remove_selected());

    // A later entry is not selected by the earlier click on nothing.
    fill(board, 1);
    EXPECT_EQ(board.selected(), kNone);
    EXPECT_FALSE(board.remove_selected());
    EXPECT_EQ(board.count(), 1);
}

TEST(StoryboardTest, ShowTakesOnlyExistingEntries) {
    Storyboard board;
    fill(board, 2);
    board.show(1);
    EXPECT_EQ(board.shown_index(), 1);
    board.show(2);
    EXPECT_EQ(board.shown(), nullptr);
    board.show(0);
    board.clear_view();
    EXPECT_EQ(board.shown_index(), kNone);
    board.click(box_x(1), MouseButton::Right);
    board.show_selected();
    EXPECT_EQ(board.shown_index(), 1);
}

TEST(StoryboardTest, RemovingTheShownEntryEmptiesTheView) {
    Storyboard board;
    fill(board, 4);
    board.click(box_x(2), MouseButton::Left);
    ASSERT_TRUE(board.remove_selected());
    EXPECT_EQ(board.count(), 3);
    EXPECT_EQ(board.shown(), nullptr);
    EXPECT_EQ(board.selected(), 0);
    EXPECT_EQ(board.entry(2)->frame_number, 4);
}

TEST(StoryboardTest, RemovingAnotherEntryKeepsTheView) {
    Storyboard board;
    fill(board, 4);
    board.click(box_x(3), MouseButton::Left);  // shows frame 4
    board.click(box_x(1), MouseButton::Right);
    ASSERT_TRUE(board.remove_selected());
    ASSERT_NE(board.shown(), nullptr);
    EXPECT_EQ(board.shown()->frame_number, 4);
    EXPECT_EQ(board.shown_index(), 2);
    EXPECT_EQ(board.selected(), 0);
}

TEST(StoryboardTest, RemovalStepsTheFirstVisibleIndexBack) {
    Storyboard board;
    fill(board, 6);
    for (int i = 0; i < 4; ++i)
        board.scroll_forward();
    ASSERT_EQ(board.first_visible(), 4);
    board.click(box_x(0), MouseButton::Right);  // entry 4
    ASSERT_TRUE(board.remove_selected());
    EXPECT_EQ(board.first_visible(), 3);

    // Removing an entry after the first visible one leaves it.
    board.click(box_x(1), MouseButton::Right);  // entry 4
    ASSERT_TRUE(board.remove_selected());
    EXPECT_EQ(board.first_visible(), 3);
    EXPECT_EQ(board.count(), 4);

    // Removing down to nothing keeps the index at 0 and selects nothing.
    while (board.count() > 0) {
        board.click(box_x(0), MouseButton::Right);
        ASSERT_TRUE(board.remove_selected());
        EXPECT_LE(board.first_visible(), std::max(board.count() - 1, 0));
    }
    EXPECT_EQ(board.first_visible(), 0);
    EXPECT_EQ(board.selected(), kNone);
    EXPECT_EQ(board.bytes(), 0u);
}

TEST(StoryboardTest, ClearEmptiesStripAndView) {
    Storyboard board;
    fill(board, 5);
    board.scroll_forward();
    board.scroll_forward();
    board.click(box_x(1), MouseButton::Left);
    board.clear();
    EXPECT_TRUE(board.empty());
    EXPECT_EQ(board.shown(), nullptr);
    EXPECT_EQ(board.first_visible(), 0);
    EXPECT_EQ(board.selected(), kNone);
    EXPECT_EQ(board.bytes(), 0u);
    fill(board, 1);
    EXPECT_EQ(board.selected(), 0);  // the selection starts again at the first entry
    EXPECT_EQ(board.shown(), nullptr);
}

}  // namespace
}  // namespace rg
