// A download larger than the local file may grow is refused before a byte is written and stops;
// a write refused for its size (EFBIG) stops it with the same text.
#include <gtest/gtest.h>

#include "download_fixture.h"
#include "engine/file_size_check.h"
#include "support/file_size_rlimit.h"

namespace rg {
namespace {

using test::DownloadTest;

constexpr std::int64_t kLimit = 64 * 1024;
constexpr int kServed = 200000;

TEST_F(DownloadTest, AKnownSizePastTheLimitIsRefusedBeforeAByteIsWritten) {
    auto item = add(server_.url("/gen/" + std::to_string(kServed)));
    test::FileSizeRlimit limit(kLimit);
    ASSERT_TRUE(limit.ok());
    ASSERT_TRUE(run(*item));
    EXPECT_EQ(item->state.load(), ItemState::Stopped);
    EXPECT_EQ(item->status_text(), kFileTooLargeText);
    EXPECT_FALSE(completed_.count(item.get()));
    EXPECT_EQ(test::file_size(item->local_path()), 0);
    EXPECT_TRUE(item->lock()->ranges.empty());
    EXPECT_EQ(item->total_size(), kServed);
    // Stopped, not retried.
    EXPECT_EQ(server_.stats().requests, 1);
}

TEST_F(DownloadTest, AWriteRefusedForItsSizeStopsWithTheSameText) {
    auto item = add(server_.url("/gen/" + std::to_string(kServed) + "?no_length=1"));
    test::FileSizeRlimit limit(kLimit);
    ASSERT_TRUE(limit.ok());
    ASSERT_TRUE(run(*item));
    EXPECT_EQ(item->state.load(), ItemState::Stopped);
    EXPECT_EQ(item->status_text(), kFileTooLargeText);
    EXPECT_FALSE(completed_.count(item.get()));
    // Only what the file took is recorded.
    const auto data = item->lock();
    EXPECT_LE(data->ranges.covered_bytes(), kLimit);
    EXPECT_EQ(server_.stats().requests, 1);
}

}  // namespace
}  // namespace rg
