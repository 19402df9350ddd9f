// The Edit Download Data (Advanced) window's rules and the exit prompt.
#include "engine/info_window.h"

#include <gtest/gtest.h>

#include "support/recording_host.h"

namespace rg {
namespace {

class InfoWindowTest : public ::testing::Test {
  protected:
    DownloadItem& add(const std::string& url) {
        DownloadItem& item = list_.append_item();
        auto data = item.lock();
        data->set_url(url);
        data->set_local_path("/tmp/x/" + std::to_string(list_.count()));
        return item;
    }

    void give_ranges(DownloadItem& item, std::vector<ByteRange> ranges, std::int64_t downloaded,
                     std::int64_t total) {
        auto data = item.lock();
        data->ranges.assign(std::move(ranges));
        data->saved.range_count = static_cast<std::int32_t>(data->ranges.count());
        data->saved.downloaded = downloaded;
        data->saved.total_size = total;
    }

    test::RecordingHost host_;
    DownloadList list_;
    int state_changes_ = 0;
    InfoWindow window_{&host_, [this] { ++state_changes_; }};
};

TEST_F(InfoWindowTest, OpensOnlyAStoppedItemAndOnlyOneAtATime) {
    EXPECT_EQ(window_.open(list_, 0), InfoWindow::OpenResult::EmptyList);
    EXPECT_TRUE(host_.message_list().empty());

    DownloadItem& running = add("http://h/a");
    DownloadItem& stopped = add("http://h/b");
    DownloadItem& winding = add("http://h/c");
    running.state = ItemState::Running;
    winding.worker_active = true;  // its worker has not ended yet

    EXPECT_EQ(window_.open(list_, 0), InfoWindow::OpenResult::NotStopped);
    EXPECT_EQ(window_.open(list_, 2), InfoWindow::OpenResult::NotStopped);
    EXPECT_EQ(winding.state.load(), ItemState::Stopped);
    auto messages = host_.message_list();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text,
              "Download is Already Running, You Must Pause before Viewing with Info Window.");
    EXPECT_EQ(messages[0].caption, "Error");
    EXPECT_EQ(messages[0].icon, MessageIcon::Error);

    EXPECT_EQ(window_.open(list_, 1), InfoWindow::OpenResult::Opened);
    EXPECT_EQ(stopped.state.load(), ItemState::InfoHeld);
    EXPECT_EQ(window_.item(), &stopped);
    EXPECT_EQ(window_.url_text(), "http://h/b");
    EXPECT_EQ(state_changes_, 1);

    EXPECT_EQ(window_.open(list_, 1), InfoWindow::OpenResult::AlreadyOpen);
    messages = host_.message_list();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].text, "Info Window is already Open,Please Close it First.");
    EXPECT_EQ(messages[2].caption, "Error");
}

TEST_F(InfoWindowTest, ListsRangesAndStatistics) {
    DownloadItem& item = add("http://h/a");
    give_ranges(item, {{0, 100}, {200, 50}}, 150, 1000);
    item.lock()->saved.resume_count = 3;
    ASSERT_EQ(window_.open(list_, 0), InfoWindow::OpenResult::Opened);
    EXPECT_EQ(window_.range_rows(),
              (std::vector<std::string>{"0 : 99 (100 bytes)", "200 : 249 (50 bytes)"}));
    const auto s = window_.statistics();
    EXPECT_EQ(s.size, "Size: 1000 bytes");
    EXPECT_EQ(s.resumed, "Resumed: 3 Times");
    EXPECT_EQ(s.finished, "Finished: 150 B/1000 B (15.00%)");
    EXPECT_EQ(s.range_count, "Range Count: 2");
    EXPECT_EQ(window_.local_path(), "/tmp/x/1");
}

TEST_F(InfoWindowTest, SizesPast4GiBShowWhole) {
    constexpr std::int64_t kGiB = std::int64_t{1} << 30;
    DownloadItem& item = add("http://h/big.avi");
    give_ranges(item, {{0, 2 * kGiB}, {4 * kGiB, kGiB}}, 3 * kGiB, 5 * kGiB);
    ASSERT_EQ(window_.open(list_, 0), InfoWindow::OpenResult::Opened);
    EXPECT_EQ(window_.range_rows(),
              (std::vector<std::string>{"0 : 2147483647 (2147483648 bytes)",
                                        "4294967296 : 5368709119 (1073741824 bytes)"}));
    const auto s = window_.statistics();
    EXPECT_EQ(s.size, "Size: 5368709120 bytes");
    EXPECT_EQ(s.finished, "Finished: 3072.0 MB/5120.0 MB (60.00%)");
}

TEST_F(InfoWindowTest, DeleteSelectedAsksAndRemovesFromTheLast) {
    DownloadItem& item = add("http://h/a");
    give_ranges(item, {{0, 100}, {200, 50}, {300, 10}}, 160, 1000);
    ASSERT_EQ(window_.open(list_, 0), InfoWindow::OpenResult::Opened);

    EXPECT_FALSE(window_.delete_ranges({}));
    EXPECT_TRUE(host_.message_list().empty());

    host_.answers.push_back(MessageAnswer::Cancel);
    EXPECT_FALSE(window_.delete_ranges({2, 0}));
    EXPECT_EQ(window_.range_rows().size(), 3u);
    auto messages = host_.message_list();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Are you sure you want to delete specified range(s)");
    EXPECT_EQ(messages[0].caption, "Delete Range");
    EXPECT_EQ(messages[0].buttons, MessageButtons::OkCancel);

    host_.answers.push_back(MessageAnswer::Ok);
    EXPECT_TRUE(window_.delete_ranges({2, 0}));
    EXPECT_EQ(window_.range_rows(), std::vector<std::string>{"200 : 249 (50 bytes)"});
    EXPECT_EQ(item.downloaded(), 50);
    EXPECT_EQ(item.lock()->saved.range_count, 1);
}

TEST_F(InfoWindowTest, DeletingMoreThanDownloadedLeavesZero) {
    DownloadItem& item = add("http://h/a");
    give_ranges(item, {{0, 100}, {200, 50}}, 120, 1000);
    ASSERT_EQ(window_.open(list_, 0), InfoWindow::OpenResult::Opened);
    host_.answers.push_back(MessageAnswer::Ok);
    EXPECT_TRUE(window_.delete_ranges({0, 1}));
    EXPECT_EQ(item.downloaded(), 0);
    EXPECT_TRUE(window_.range_rows().empty());
}

TEST_F(InfoWindowTest, ClearAllUnlessCancelled) {
    DownloadItem& item = add("http://h/a");
    ASSERT_EQ(window_.open(list_, 0), InfoWindow::OpenResult::Opened);
    EXPECT_FALSE(window_.clear_all());  // no ranges: nothing asked
    EXPECT_TRUE(host_.message_list().empty());

    give_ranges(item, {{0, 100}}, 100, 1000);
    host_.answers.push_back(MessageAnswer::Cancel);
    EXPECT_FALSE(window_.clear_all());
    EXPECT_EQ(item.downloaded(), 100);
    auto messages = host_.message_list();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "WARNING: This action will delete all downloaded ranges,so you will have to "
              "download them again\r\nNote: Bytes are not actually erased from the file.");
    EXPECT_EQ(messages[0].caption, "Clear Download");
    EXPECT_EQ(messages[0].buttons, MessageButtons::OkCancel);

    EXPECT_TRUE(window_.clear_all());
    EXPECT_EQ(item.downloaded(), 0);
    EXPECT_EQ(item.lock()->saved.range_count, 0);
    EXPECT_TRUE(window_.range_rows().empty());
}

TEST_F(InfoWindowTest, CloseStoresTheUrlAndReleasesTheItem) {
    DownloadItem& item = add("http://h/a");
    ASSERT_EQ(window_.open(list_, 0), InfoWindow::OpenResult::Opened);
    int closed = 0;
    window_.on_closed = [&] { ++closed; };
    window_.set_url_text("http://h/edited");
    window_.close();
    EXPECT_EQ(item.url(), "http://h/edited");
    EXPECT_EQ(item.state.load(), ItemState::Stopped);
    EXPECT_FALSE(window_.is_open());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(state_changes_, 2);
    window_.close();
    EXPECT_EQ(closed, 1);

    // A very long URL keeps 4095 characters.
    ASSERT_EQ(window_.open(list_, 0), InfoWindow::OpenResult::Opened);
    window_.set_url_text("http://h/" + std::string(5000, 'x'));
    window_.close();
    EXPECT_EQ(item.url().size(), 4095u);
}

TEST_F(InfoWindowTest, AnEditedUrlIsAChangeOfAddress) {
    DownloadItem& item = add("http://h/a.avi");
    give_ranges(item, {{0, 3000}}, 3000, 10000);
    item.lock()->validator = "\"v1\"";
    ASSERT_EQ(window_.open(list_, 0), InfoWindow::OpenResult::Opened);
    window_.close();
    // The same URL again: the item still knows its version.
    EXPECT_EQ(item.lock()->validator, "\"v1\"");
    EXPECT_FALSE(item.lock()->address_changed);

    ASSERT_EQ(window_.open(list_, 0), InfoWindow::OpenResult::Opened);
    window_.set_url_text("ftp://joe:pw@mirror/a.avi");
    window_.close();
    EXPECT_EQ(item.url(), "ftp://mirror/a.avi");
    EXPECT_EQ(item.connection.protocol, Protocol::Ftp);
    EXPECT_EQ(field_text(item.lock()->saved.user_name), "am9l");  // "joe"
    EXPECT_EQ(item.lock()->validator, "");
    EXPECT_TRUE(item.lock()->address_changed);
    EXPECT_EQ(item.snapshot().ranges, (std::vector<ByteRange>{{0, 3000}}));
}

TEST(ExitPromptTest, AsksOnlyWithConfirmExitAndOnlyNoKeepsRunning) {
    test::RecordingHost host;
    Settings settings;
    settings.ConfirmExit = 0;
    EXPECT_TRUE(exit_confirmed(&host, settings));
    EXPECT_TRUE(host.message_list().empty());

    settings.ConfirmExit = 1;
    host.answers.push_back(MessageAnswer::No);
    EXPECT_FALSE(exit_confirmed(&host, settings));
    host.answers.push_back(MessageAnswer::Yes);
    EXPECT_TRUE(exit_confirmed(&host, settings));
    const auto messages = host.message_list();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Are you sure you want to exit Reelgrab");
    EXPECT_EQ(messages[0].caption, "Exit");
    EXPECT_EQ(messages[0].buttons, MessageButtons::YesNo);
}

}  // namespace
}  // namespace rg
