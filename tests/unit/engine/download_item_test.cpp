#include "engine/download_item.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace rg {
namespace {

class StoreChunkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.file("part.bin");
        auto data = item_.lock();
        data->set_local_path(path_);
        data->file = LocalFile::open(path_, LocalFile::Mode::ReadWrite);
        ASSERT_TRUE(data->file);
    }

    std::vector<ByteRange> ranges() { return item_.lock()->ranges.items(); }

    test::TempDir dir_;
    std::string path_;
    DownloadItem item_;
};

TEST_F(StoreChunkTest, WritesAtOffsetAndRecordsRange) {
    const std::string block(16, 'x');
    ASSERT_TRUE(item_.store_chunk(4096, 16, block.data()));
    EXPECT_EQ(ranges(), (std::vector<ByteRange>{{4096, 16}}));
    EXPECT_EQ(item_.lock()->saved.range_count, 1);
    const std::string file = test::read_file(path_);
    ASSERT_EQ(file.size(), 4112u);
    EXPECT_EQ(file.substr(4096), block);
}

TEST_F(StoreChunkTest, AnOverlappingBlockJoinsItsRangeAndCountsOnlyNewBytes) {
    const std::string block(100, 'o');
    std::int64_t added = -1;
    ASSERT_TRUE(item_.store_chunk(0, 100, block.data(), &added));
    EXPECT_EQ(added, 100);
    ASSERT_TRUE(item_.store_chunk(60, 100, block.data(), &added));
    EXPECT_EQ(added, 60);
    EXPECT_EQ(ranges(), (std::vector<ByteRange>{{0, 160}}));
    EXPECT_EQ(item_.lock()->saved.range_count, 1);
}

TEST_F(StoreChunkTest, RefusesBlockBeyondKnownSizeAndBadBounds) {
    item_.lock()->saved.total_size = 100;
    const std::string block(64, 'y');
    EXPECT_FALSE(item_.store_chunk(50, 64, block.data()));
    EXPECT_FALSE(item_.store_chunk(-1, 1, block.data()));
    EXPECT_FALSE(item_.store_chunk(0, -5, block.data()));
    EXPECT_TRUE(ranges().empty());
    EXPECT_EQ(test::read_file(path_).size(), 0u);
    EXPECT_TRUE(item_.store_chunk(36, 64, block.data()));  // ends exactly at the size
}

TEST_F(StoreChunkTest, UnknownSizeAcceptsBlocksPast4GiBButNotPastTheLargestFile) {
    const char byte = 'z';
    EXPECT_TRUE(item_.store_chunk(1 << 20, 1, &byte));
    EXPECT_TRUE(item_.store_chunk(std::int64_t{5} << 30, 1, &byte));  // sparse: no space taken
    EXPECT_EQ(ranges(), (std::vector<ByteRange>{{1 << 20, 1}, {std::int64_t{5} << 30, 1}}));
    EXPECT_FALSE(item_.store_chunk(kMaxFileSize, 1, &byte));
    EXPECT_FALSE(item_.store_chunk(1, std::numeric_limits<std::int64_t>::max(), &byte));
}

TEST_F(StoreChunkTest, FailedWriteRecordsNothing) {
    const char byte = 'q';
    // A full disk: the bytes are not there, so neither is the range.
    item_.lock()->file = LocalFile::open("/dev/full", LocalFile::Mode::WriteOnly);
    ASSERT_TRUE(item_.lock()->file);
    EXPECT_FALSE(item_.store_chunk(0, 1, &byte));
    // No file open at all.
    item_.lock()->file.reset();
    EXPECT_FALSE(item_.store_chunk(0, 1, &byte));
    EXPECT_TRUE(ranges().empty());
    EXPECT_EQ(item_.lock()->saved.range_count, 0);
}

TEST(DownloadItem, ConstructionDefaults) {
    DownloadItem item;
    EXPECT_EQ(item.state.load(), ItemState::Stopped);
    EXPECT_EQ(item.status_text(), "Idle");
    EXPECT_EQ(item.connection.context, &item);
    EXPECT_FALSE(item.completed.load());
}

TEST(DownloadItem, CompletionNeedsKnownSize) {
    DownloadItem item;
    {
        auto data = item.lock();
        data->ranges.assign({{0, 500}});
    }
    EXPECT_FALSE(item.is_complete());
    item.lock()->saved.total_size = 500;
    EXPECT_TRUE(item.is_complete());
    item.lock()->saved.total_size = 501;
    EXPECT_FALSE(item.is_complete());
}

TEST(DownloadItem, ClearAndRemoveRangesKeepCounters) {
    DownloadItem item;
    auto data = item.lock();
    data->ranges.assign({{0, 100}, {200, 50}});
    data->saved.range_count = 2;
    data->saved.downloaded = 120;
    EXPECT_TRUE(data->remove_range(0));
    EXPECT_EQ(data->saved.range_count, 1);
    EXPECT_EQ(data->saved.downloaded, 20);
    EXPECT_TRUE(data->remove_range(0));
    EXPECT_EQ(data->saved.downloaded, 0);  // not below zero
    EXPECT_FALSE(data->remove_range(0));
    data->ranges.assign({{0, 10}});
    data->saved.downloaded = 10;
    data->clear_ranges();
    EXPECT_TRUE(data->ranges.empty());
    EXPECT_EQ(data->saved.range_count, 0);
    EXPECT_EQ(data->saved.downloaded, 0);
}

TEST(DownloadItem, FileNameFollowsLocalPath) {
    DownloadItem item;
    item.lock()->set_local_path("/home/u/Downloads/movie.avi");
    EXPECT_EQ(item.file_name(), "movie.avi");
    item.lock()->set_local_path("no-separator.avi");
    EXPECT_EQ(item.file_name(), "");
    // A path longer than its field is cut to the field.
    item.lock()->set_local_path(std::string(2000, 'a'));
    EXPECT_EQ(item.local_path().size(), SavedBlock::kPathSize - 1);
}

TEST(FormatProgress, UnitsAndPercentage) {
    EXPECT_EQ(format_progress(524288, 1572864), "512 KB/1.5 MB (33.33%)");
    EXPECT_EQ(format_progress(1023, 1024), "1023 B/1 KB (99.90%)");
    EXPECT_EQ(format_progress(0, 0), "0 B/0 B (0.00%)");
    EXPECT_EQ(format_progress(2047, 0), "1 KB/0 B (0.00%)");
    EXPECT_EQ(format_progress(1048575, 1048576), "1023 KB/1.0 MB (100.00%)");
}

TEST(UpdateSpeed, KilobytesPerSecondSinceLastMark) {
    DownloadItem item;
    item.update_speed(1000);  // first mark
    item.lock()->saved.downloaded = 102400;
    item.update_speed(2000);
    EXPECT_NEAR(item.speed.load(), 100.0f * 1000.0f / 1024.0f * 1.024f, 0.01f);
    // Same tick: unchanged.
    item.lock()->saved.downloaded = 999999;
    item.update_speed(2000);
    EXPECT_NEAR(item.speed.load(), 100.0f, 0.01f);
    // Cleared ranges make no negative speed; the tick wraps without harm.
    item.lock()->saved.downloaded = 0;
    item.update_speed(0xfffffff0u);
    EXPECT_EQ(item.speed.load(), 0.0f);
    item.lock()->saved.downloaded = 1024;
    item.update_speed(0x10u);
    EXPECT_NEAR(item.speed.load(), 1024.0f / 32.0f * 0.97656244f, 0.01f);
}

}  // namespace
}  // namespace rg
