#include "engine/safe_name.h"

#include <gtest/gtest.h>

namespace rg {
namespace {

TEST(SafeFileName, KeepsOnlyAPlainNameInsideTheFolder) {
    EXPECT_EQ(safe_file_name("movie.avi"), "movie.avi");
    EXPECT_EQ(safe_file_name("../../x"), "x");
    EXPECT_EQ(safe_file_name("/etc/passwd"), "passwd");
    EXPECT_EQ(safe_file_name("a\\b"), "b");
    EXPECT_EQ(safe_file_name(".bashrc"), "bashrc");
    EXPECT_EQ(safe_file_name("name. "), "name");
    EXPECT_EQ(safe_file_name("tab\there\x7f\x01.txt"), "tabhere.txt");
    EXPECT_EQ(safe_file_name(std::string("evil.avi\0../..", 14)), "evil.avi");
}

TEST(SafeFileName, NothingLeftIsNoName) {
    EXPECT_FALSE(safe_file_name(""));
    EXPECT_FALSE(safe_file_name("."));
    EXPECT_FALSE(safe_file_name(".."));
    EXPECT_FALSE(safe_file_name("dir/"));
    EXPECT_FALSE(safe_file_name("\r\n"));
    EXPECT_FALSE(safe_file_name(" . . "));
}

TEST(SafeFileName, LongNamesAreCutKeepingTheExtension) {
    const auto name = safe_file_name(std::string(10000, 'a') + ".avi");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->size(), kSafeNameMaxBytes);
    EXPECT_TRUE(name->ends_with(".avi"));
    // A multi-byte character is never split.
    std::string wide;
    for (int i = 0; i < 200; ++i)
        wide += "\xc3\xa9";
    const auto cut = safe_file_name(wide);
    ASSERT_TRUE(cut);
    EXPECT_LE(cut->size(), kSafeNameMaxBytes);
    EXPECT_EQ(cut->size() % 2, 0u);
}

}  // namespace
}  // namespace rg
