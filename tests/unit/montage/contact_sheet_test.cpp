#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "montage/contact_sheet.h"
#include "montage/storyboard.h"
#include "storyboard_pictures.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

using test::decode_jpeg;
using test::le32;
using test::pixel_at;
using test::read_file;
using test::solid_picture;

StoryboardEntry entry_of(Picture picture, std::int32_t frame, double seconds) {
    auto entry = make_storyboard_entry(std::move(picture), frame, seconds);
    EXPECT_TRUE(entry);
    return entry ? std::move(*entry) : StoryboardEntry{};
}

TEST(ContactSheetLayoutTest, GridSizes) {
    const auto seven = contact_sheet_layout(7, {});
    ASSERT_TRUE(seven);
    EXPECT_EQ(seven->columns, 5);
    EXPECT_EQ(seven->rows, 2);
    EXPECT_EQ(seven->box_height, 120);
    EXPECT_EQ(seven->width, 8 + 5 * 160 + 4 * 8 + 8);
    EXPECT_EQ(seven->height, 8 + 2 * (120 + 4 + 7) + 8 + 8);
    EXPECT_EQ(seven->box_left(6), 8 + 168);
    EXPECT_EQ(seven->box_top(6), 8 + 131 + 8);

    const auto three = contact_sheet_layout(3, {});
    ASSERT_TRUE(three);
    EXPECT_EQ(three->columns, 3);
    EXPECT_EQ(three->rows, 1);

    EXPECT_FALSE(contact_sheet_layout(0, {}));
    EXPECT_FALSE(contact_sheet_layout(3, {0, 160, 1}));
    EXPECT_FALSE(contact_sheet_layout(3, {5, 8, 1}));
    EXPECT_FALSE(contact_sheet_layout(3, {5, 160, 0}));
    EXPECT_FALSE(contact_sheet_layout(64, {64, 1024, 1}));  // wider than a picture may be
    EXPECT_FALSE(contact_sheet_layout(1000, {}));           // taller than a picture may be
}

TEST(ContactSheetLabelTest, FrameAndTime) {
    EXPECT_EQ(contact_sheet_label(12, 65.9), "#12 0:01:05");
    EXPECT_EQ(contact_sheet_label(1, 3600), "#1 1:00:00");
    EXPECT_EQ(contact_sheet_label(7, 100 * 3600 + 59), "#7 100:00:59");
    EXPECT_EQ(contact_sheet_label(3, -4), "#3 0:00:00");
    EXPECT_EQ(contact_sheet_label(3, std::nan("")), "#3 0:00:00");
    EXPECT_EQ(contact_sheet_label(3, std::numeric_limits<double>::infinity()), "#3 0:00:00");
}

TEST(GlyphsTest, WidthAndClipping) {
    EXPECT_EQ(text_width("#1", 1), 11);
    EXPECT_EQ(text_width("#1", 2), 22);
    EXPECT_EQ(text_width("", 1), 0);
    EXPECT_NE(find_glyph('a'), nullptr);
    EXPECT_EQ(find_glyph('~'), nullptr);

    // '#' has a full-width row; drawn from x = -2 clipped to the columns 0 to 1 it may only touch
    // those.
    Picture picture = make_picture(6, 8);
    draw_text(picture, -2, 0, "#", 1, {255, 255, 255}, {0, 0, 2, 8});
    bool inside = false;
    for (std::int32_t y = 0; y < 8; ++y) {
        for (std::int32_t x = 0; x < 6; ++x) {
            const bool lit = pixel_at(picture, x, y)[0] == 255;
            if (x >= 2) {
                EXPECT_FALSE(lit) << x << "," << y;
            }
            inside = inside || lit;
        }
    }
    EXPECT_TRUE(inside);
}

TEST(ContactSheetTest, ThumbnailsAndLabelsInTheirCells) {
    const StoryboardEntry red = entry_of(solid_picture(640, 360, 250, 0, 0), 1, 0);
    const StoryboardEntry green = entry_of(solid_picture(100, 300, 0, 250, 0), 25, 61);
    const std::vector<const StoryboardEntry*> entries{&red, &green};
    const ContactSheet sheet = render_contact_sheet(entries);
    ASSERT_TRUE(sheet.ok()) << sheet.detail;
    ASSERT_EQ(sheet.picture.width, 8 + 2 * 160 + 8 + 8);
    ASSERT_EQ(sheet.picture.height, 8 + 131 + 8);

    // 640 x 360 fills the box's width (160 x 90, 15 rows above); 100 x 300 is 40 x 120, centred.
    EXPECT_EQ(pixel_at(sheet.picture, 8 + 80, 8 + 60)[0], 250);
    EXPECT_EQ(pixel_at(sheet.picture, 8 + 80, 8 + 5)[0], 32);  // background above it
    EXPECT_EQ(pixel_at(sheet.picture, 176 + 80, 8 + 60)[1], 250);
    EXPECT_EQ(pixel_at(sheet.picture, 176 + 50, 8 + 60)[1], 32);  // left of the narrow picture

    // Some label pixels are white under each box, none left of the centred text.
    const auto white_in = [&](std::int32_t left, std::int32_t right) {
        int lit = 0;
        for (std::int32_t y = 8 + 124; y < 8 + 131; ++y)
            for (std::int32_t x = left; x < right; ++x)
                lit += pixel_at(sheet.picture, x, y)[0] == 255;
        return lit;
    };
    EXPECT_GT(white_in(8, 168), 0);
    EXPECT_GT(white_in(176, 336), 0);
    EXPECT_EQ(white_in(8, 8 + 40), 0);
}

TEST(ContactSheetTest, WritesJpegOrBitmapByExtension) {
    test::TempDir dir;
    Storyboard board;
    for (int i = 0; i < 7; ++i)
        ASSERT_TRUE(board.append(test::gradient_picture(320, 240), i * 100 + 1, i * 4.0).ok());

    const ContactSheet jpeg = write_contact_sheet(board, dir.file("sheet.jpg"));
    ASSERT_TRUE(jpeg.ok()) << jpeg.detail;
    const auto decoded = decode_jpeg(read_file(dir.file("sheet.jpg")));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->picture.width, 848);
    EXPECT_EQ(decoded->picture.height, 286);

    const ContactSheet bmp = write_contact_sheet(board, dir.file("sheet.BMP"), {3, 80, 1});
    ASSERT_TRUE(bmp.ok()) << bmp.detail;
    const std::string bytes = read_file(dir.file("sheet.BMP"));
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(le32(bytes, 18), 8u + 3 * 80 + 2 * 8 + 8);
    EXPECT_EQ(le32(bytes, 22), 8u + 3 * (60 + 4 + 7) + 2 * 8 + 8);
}

TEST(ContactSheetTest, ReportsFailures) {
    test::TempDir dir;
    Storyboard empty;
    EXPECT_EQ(write_contact_sheet(empty, dir.file("a.jpg")).error, ContactSheetError::NoEntries);

    const StoryboardEntry entry = entry_of(solid_picture(32, 24, 1, 1, 1), 1, 0);
    const std::vector<const StoryboardEntry*> one{&entry};
    EXPECT_EQ(write_contact_sheet(one, dir.file("no/folder.jpg")).error,
              ContactSheetError::WriteFailed);
    EXPECT_EQ(write_contact_sheet(one, dir.file("a.jpg"), {0, 160, 1}).error,
              ContactSheetError::BadOptions);
    const std::vector<const StoryboardEntry*> hole{&entry, nullptr};
    EXPECT_EQ(render_contact_sheet(hole).error, ContactSheetError::InvalidPicture);
}

}  // namespace
}  // namespace rg
