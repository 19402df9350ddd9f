// The largest file a download may have, and writes past the process's file size limit.
#include "platform/file_size_limit.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/local_file.h"
#include "support/file_size_rlimit.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

constexpr std::int64_t kLowered = 64 * 1024;

TEST(FileSizeLimitTest, TheProcessLimitCountsAndAWritePastItFailsWithEfbig) {
    test::TempDir dir;
    const std::int64_t unlowered = largest_file_size(dir.path());
    EXPECT_GT(unlowered, std::int64_t{1} << 32) << "a file system of 64-bit sizes is expected here";
    EXPECT_LE(unlowered, kMaxFileSize);

    report_file_size_limit_as_error();
    auto file = LocalFile::open(dir.file("f.bin"), LocalFile::Mode::ReadWrite);
    ASSERT_NE(file, nullptr);
    {
        test::FileSizeRlimit limit(kLowered);
        ASSERT_TRUE(limit.ok());
        EXPECT_EQ(largest_file_size(dir.path()), kLowered);
        const std::string block(1024, 'b');
        EXPECT_TRUE(file->write_at(kLowered - 1024, block.data(), block.size()));
        // Without the signal ignored, this write would end the test process.
        errno = 0;
        EXPECT_FALSE(file->write_at(kLowered, block.data(), block.size()));
        EXPECT_EQ(errno, EFBIG);
    }
    EXPECT_EQ(largest_file_size(dir.path()), unlowered);
    EXPECT_EQ(file->size(), kLowered);
}

TEST(FileSizeLimitTest, AFolderThatCannotBeAskedHasNoLimitOfItsOwn) {
    EXPECT_EQ(largest_file_size("/nonexistent-folder/of/a/test"), kMaxFileSize);
}

}  // namespace
}  // namespace rg
