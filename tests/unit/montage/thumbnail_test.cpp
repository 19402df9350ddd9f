#include <gtest/gtest.h>

#include <cstdlib>

#include "montage/thumbnail.h"
#include "storyboard_pictures.h"

namespace rg {
namespace {

using test::pixel_at;
using test::solid_picture;

struct PlacementCase {
    std::int32_t width, height;
    ThumbnailPlacement expected;
};

TEST(ThumbnailPlacementTest, FitsByTheLongerSideAndNeverEnlarges) {
    const PlacementCase cases[] = {
        {320, 240, {80, 60, 0, 0}},  {640, 360, {80, 45, 0, 7}},
        {300, 300, {60, 60, 10, 0}}, {64, 48, {64, 48, 8, 6}},
        {100, 80, {80, 64, 0, -2}},  // fitted by width, taller than the box
        {80, 60, {80, 60, 0, 0}},    {60, 100, {36, 60, 22, 0}},
        {79, 61, {79, 61, 0, 0}},  // only too tall but wider than tall: kept, not enlarged
        {1, 1, {1, 1, 39, 29}},      {16384, 1, {80, 1, 0, 29}},  // would round to 0 rows
        {1, 16384, {1, 60, 39, 0}},  {16384, 16384, {60, 60, 10, 0}},
        {81, 80, {80, 79, 0, -9}},
    };
    for (const PlacementCase& c : cases) {
        const ThumbnailPlacement p = storyboard_thumbnail_placement(c.width, c.height);
        EXPECT_EQ(p.width, c.expected.width) << c.width << "x" << c.height;
        EXPECT_EQ(p.height, c.expected.height) << c.width << "x" << c.height;
        EXPECT_EQ(p.offset_x, c.expected.offset_x) << c.width << "x" << c.height;
        EXPECT_EQ(p.offset_y, c.expected.offset_y) << c.width << "x" << c.height;
    }
}

TEST(ThumbnailPlacementTest, FitWithinKeepsInsideTheBox) {
    const ThumbnailPlacement wide = fit_within(100, 80, 80, 60);
    EXPECT_EQ(wide.width, 75);
    EXPECT_EQ(wide.height, 60);
    EXPECT_EQ(wide.offset_x, 2);
    EXPECT_EQ(wide.offset_y, 0);
    const ThumbnailPlacement line = fit_within(16384, 1, 160, 120);
    EXPECT_EQ(line.width, 160);
    EXPECT_EQ(line.height, 1);
}

TEST(ScalePictureTest, KeepsColours) {
    const Picture red = solid_picture(640, 360, 200, 30, 90);
    const auto small = scale_picture(red, 80, 45);
    ASSERT_TRUE(small);
    ASSERT_EQ(small->width, 80);
    ASSERT_EQ(small->height, 45);
    ASSERT_EQ(small->rgb.size(), 80u * 45 * 3);
    for (std::size_t i = 0; i < small->rgb.size(); i += 3) {
        ASSERT_LE(std::abs(small->rgb[i] - 200), 2) << i;
        ASSERT_LE(std::abs(small->rgb[i + 1] - 30), 2) << i;
        ASSERT_LE(std::abs(small->rgb[i + 2] - 90), 2) << i;
    }
}

TEST(ScalePictureTest, KeepsLeftAndRightApart) {
    // Left half pure red, right half pure blue: the halves stay on their sides.
    Picture picture = solid_picture(320, 240, 255, 0, 0);
    for (std::int32_t y = 0; y < 240; ++y) {
        for (std::int32_t x = 160; x < 320; ++x) {
            std::uint8_t* p = picture.rgb.data() + picture.stride() * y + x * 3;
            p[0] = 0;
            p[2] = 255;
        }
    }
    const auto small = scale_picture(picture, 80, 60);
    ASSERT_TRUE(small);
    const std::uint8_t* left = pixel_at(*small, 10, 30);
    const std::uint8_t* right = pixel_at(*small, 70, 30);
    EXPECT_GT(left[0], 240);
    EXPECT_LT(left[2], 15);
    EXPECT_LT(right[0], 15);
    EXPECT_GT(right[2], 240);
}

TEST(ScalePictureTest, HandlesExtremeShapes) {
    const auto line = scale_picture(solid_picture(16384, 1, 9, 99, 199), 80, 1);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->width, 80);
    EXPECT_NEAR(pixel_at(*line, 40, 0)[1], 99, 2);
    const auto column = scale_picture(solid_picture(1, 16384, 9, 99, 199), 1, 60);
    ASSERT_TRUE(column);
    EXPECT_EQ(column->height, 60);
    EXPECT_NEAR(pixel_at(*column, 0, 30)[2], 199, 2);
    const auto same = scale_picture(solid_picture(1, 1, 1, 2, 3), 1, 1);
    ASSERT_TRUE(same);
    EXPECT_EQ(same->rgb, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(ScalePictureTest, RefusesUnsoundInputAndSizes) {
    Picture short_buffer = solid_picture(10, 10, 0, 0, 0);
    short_buffer.rgb.pop_back();
    EXPECT_FALSE(scale_picture(short_buffer, 5, 5));
    EXPECT_FALSE(scale_picture(Picture{}, 5, 5));
    Picture too_wide;
    too_wide.width = 16385;
    too_wide.height = 1;
    too_wide.rgb.assign(16385 * 3, 0);
    EXPECT_FALSE(scale_picture(too_wide, 80, 1));
    const Picture fine = solid_picture(10, 10, 0, 0, 0);
    EXPECT_FALSE(scale_picture(fine, 0, 5));
    EXPECT_FALSE(scale_picture(fine, 5, 16385));
}

}  // namespace
}  // namespace rg
