#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "montage/frame_entry.h"

namespace rg {
namespace {

constexpr double kNtsc = 30000.0 / 1001.0;

TEST(TimeToFrame, ThreeFormatsOfTheSameTimeGiveTheSameFrame) {
    const auto expected = static_cast<std::int64_t>(std::ceil(90 * kNtsc));
    EXPECT_EQ(time_to_frame("1:30", kNtsc), expected);
    EXPECT_EQ(time_to_frame("0:1:30", kNtsc), expected);
    EXPECT_EQ(time_to_frame("90", kNtsc), expected);
    EXPECT_EQ(time_to_frame("01:30", 25.0), 2250);
    EXPECT_EQ(time_to_frame("1:0:0", 25.0), 90000);
}

TEST(TimeToFrame, WholeSecondsRoundedUpAfterTheRate) {
    EXPECT_EQ(time_to_frame("1:30.9", 25.0), time_to_frame("1:30", 25.0));
    EXPECT_EQ(time_to_frame("1:75", 25.0), 135 * 25);
    EXPECT_EQ(time_to_frame("1", kNtsc), 30);  // ceil(29.97)
    EXPECT_EQ(time_to_frame("00:00:00", 25.0), 0);
    EXPECT_EQ(time_to_frame("0.7", 25.0), 0);
}

TEST(TimeToFrame, UnusableTextsAreRefused) {
    for (const char* text : {"-5", "", "abc", ":", "nan", "inf", "1:-3", "-0.5"})
        EXPECT_EQ(time_to_frame(text, 25.0), -1) << text;
}

TEST(TimeToFrame, HugeTimesAndOddRatesStayInRange) {
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(time_to_frame("4294967295:59:59", 25.0), kMax);
    EXPECT_EQ(time_to_frame("1e300", 25.0), kMax);
    EXPECT_EQ(time_to_frame("90", 0.0), 0);
    // Only the first 28 characters of the entry are read.
    EXPECT_EQ(time_to_frame(std::string(28, ' ') + "5", 25.0), -1);
}

TEST(FrameEntry, NumbersAreOneBased) {
    EXPECT_EQ(frame_number_to_index("1"), 0);
    EXPECT_EQ(frame_number_to_index(" 12 "), 11);
    EXPECT_EQ(frame_number_to_index("4294967295"), 4294967294LL);
    for (const char* text : {"", "0", "abc", "12a", "-3", "+3", "4294967296", "99999999999999"})
        EXPECT_EQ(frame_number_to_index(text), -1) << text;
}

TEST(FrameEntry, OutOfRangeIndexesGiveTheLastFrame) {
    EXPECT_EQ(clamp_frame_index(0, 250), 0);
    EXPECT_EQ(clamp_frame_index(249, 250), 249);
    EXPECT_EQ(clamp_frame_index(250, 250), 249);
    EXPECT_EQ(clamp_frame_index(-1, 250), 249);
    EXPECT_EQ(clamp_frame_index(4294967294LL, 250), 249);
    EXPECT_EQ(clamp_frame_index(-1, 0), 0);
}

}  // namespace
}  // namespace rg
