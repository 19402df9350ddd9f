// A worker stores blocks while the controller saves the list: every saved item must be a
// consistent picture (the range records agree with the count before them, ranges are sound).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/list_file.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

TEST(ConcurrentSave, RangesStayConsistentWhileAWorkerStoresBlocks) {
    test::TempDir dir;
    test::RecordingHost host;
    ListFile file(dir.path(), host);
    ASSERT_EQ(file.open(), ListFile::OpenResult::Opened);

    constexpr std::int32_t kBlock = 512;
    constexpr std::int32_t kBlocks = 400;
    DownloadList list;
    DownloadItem& item = list.append_item();
    {
        auto data = item.lock();
        data->set_url("http://h/f");
        data->set_local_path(dir.file("f"));
        data->saved.resumable = 1;
        data->saved.total_size = kBlock * kBlocks;
        data->file = LocalFile::open(dir.file("f"), LocalFile::Mode::ReadWrite);
        ASSERT_TRUE(data->file);
    }

    std::atomic<bool> done{false};
    std::thread worker([&] {
        const std::string block(kBlock, 'b');
        // Every other block first, then the gaps, so the range count rises and falls.
        for (int pass = 0; pass < 2; ++pass) {
            for (std::int32_t i = pass; i < kBlocks; i += 2) {
                EXPECT_TRUE(item.store_chunk(i * kBlock, kBlock, block.data()));
                item.lock()->saved.downloaded += kBlock;
                item.state.store(ItemState::Running);
            }
        }
        done = true;
    });

    int saves = 0;
    while (!done.load() || saves < 3) {
        ASSERT_TRUE(file.save(list));
        ++saves;
        DownloadList loaded;
        ASSERT_TRUE(file.load(loaded));
        ASSERT_EQ(loaded.count(), 1);
        const ItemSnapshot snap = loaded.item_at(0)->snapshot();
        ASSERT_EQ(snap.saved.range_count, static_cast<std::int32_t>(snap.ranges.size()));
        for (std::size_t i = 1; i < snap.ranges.size(); ++i) {
            ASSERT_GT(snap.ranges[i].start, snap.ranges[i - 1].end());
        }
    }
    worker.join();
    ASSERT_TRUE(file.save(list));
    DownloadList loaded;
    ASSERT_TRUE(file.load(loaded));
    EXPECT_TRUE(loaded.item_at(0)->is_complete());
    EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace rg
