// Pause, cancel and completion on items without workers; the runs with workers are in
// queue_server_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/controller.h"
#include "queue_fakes.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

class PauseCancelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(list_file_.open(), ListFile::OpenResult::Opened);
        passwords_.load();
    }

    std::unique_ptr<Controller> make_controller() {
        Controller::Parts parts{&list_,
                                &list_file_,
                                &settings_,
                                &passwords_,
                                nullptr,
                                &host_,
                                [] { return Tick{1000}; }};
        parts.montage = &montage_;
        auto c = std::make_unique<Controller>(std::move(parts));
        c->on_completed = [this](const DownloadItem& item) { completed_.push_back(item.url()); };
        return c;
    }

    // An item with a local file of 10 bytes.
    DownloadItem& add(const std::string& name) {
        DownloadItem& item = list_.append_item();
        const std::string path = dir_.file(name);
        test::write_file(path, "0123456789");
        auto data = item.lock();
        data->set_url("http://h/" + name);
        data->set_local_path(path);
        data->saved.resumable = 1;
        return item;
    }

    std::vector<std::string> urls() const {
        std::vector<std::string> out;
        for (const auto& item : list_)
            out.push_back(item->url());
        return out;
    }

    test::TempDir dir_;
    test::RecordingHost host_;
    ListFile list_file_{dir_.path(), host_};
    IniStore ini_{dir_.file("rlg.ini")};
    SitePasswordList passwords_{ini_};
    SettingsStore settings_;
    DownloadList list_;
    test::FakeMontage montage_;
    std::vector<std::string> completed_;
};

TEST_F(PauseCancelTest, CancellingRowsOneThreeAndFourOfFiveRemovesExactlyThose) {
    auto c = make_controller();
    for (const char* n : {"a", "b", "c", "d", "e"})
        add(n);
    host_.answers.push_back(MessageAnswer::No);
    c->cancel_selected({4, 1, 3});
    EXPECT_EQ(urls(), (std::vector<std::string>{"http://h/a", "http://h/c"}));
    const auto messages = host_.message_list();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "You are about to Cancel Selected Download(s)\r\nDo you want to delete local files?");
    EXPECT_EQ(messages[0].caption, "Cancel");
    EXPECT_EQ(messages[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    for (const char* n : {"b", "d", "e"})
        EXPECT_TRUE(std::filesystem::exists(dir_.file(n))) << n;
    EXPECT_TRUE(completed_.empty());
    // The list file records what is left.
    const std::string bytes = test::read_file(list_file_.path());
    DownloadList loaded;
    ASSERT_EQ(
        parse_list({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, loaded),
        ListLoadStatus::Loaded);
    EXPECT_EQ(loaded.count(), 2);
}

TEST_F(PauseCancelTest, AnswerCancelLeavesEveryRow) {
    auto c = make_controller();
    for (const char* n : {"a", "b", "c"})
        add(n);
    host_.answers.push_back(MessageAnswer::Cancel);
    c->cancel_selected({0, 1, 2});
    EXPECT_EQ(list_.count(), 3);
}

TEST_F(PauseCancelTest, NothingSelectedAsksNothing) {
    auto c = make_controller();
    add("a");
    c->cancel_selected({});
    c->cancel_selected({5, -1});
    EXPECT_TRUE(host_.message_list().empty());
    EXPECT_EQ(list_.count(), 1);
}

TEST_F(PauseCancelTest, YesDeletesTheLocalFilesOfStoppedItems) {
    auto c = make_controller();
    add("a");
    add("b");
    host_.answers.push_back(MessageAnswer::Yes);
    c->cancel_selected({1});
    EXPECT_EQ(urls(), std::vector<std::string>{"http://h/a"});
    EXPECT_FALSE(std::filesystem::exists(dir_.file("b")));
    EXPECT_TRUE(std::filesystem::exists(dir_.file("a")));
}

TEST_F(PauseCancelTest, WithoutTheCancelPromptNothingIsAskedAndFilesAreKept) {
    settings_.update([](Settings& s) { s.CancelPrompt = 0; });
    auto c = make_controller();
    add("a");
    add("b");
    c->cancel_selected({0, 1});
    EXPECT_EQ(list_.count(), 0);
    EXPECT_TRUE(host_.message_list().empty());
    EXPECT_TRUE(std::filesystem::exists(dir_.file("a")));
    EXPECT_TRUE(std::filesystem::exists(dir_.file("b")));
}

TEST_F(PauseCancelTest, CancelOfAStoppedCompleteOpenWhenDoneItemOpensItWhileRemovingIt) {
    auto c = make_controller();
    DownloadItem& item = add("a");
    {
        auto data = item.lock();
        data->saved.total_size = 10;
        data->saved.downloaded = 10;
        data->saved.open_when_done = 1;
    }
    c->cancel_item(0, false);
    EXPECT_EQ(host_.opened_files, std::vector<std::string>{dir_.file("a")});
    EXPECT_EQ(list_.count(), 0);
    EXPECT_TRUE(completed_.empty());
}

TEST_F(PauseCancelTest, AFileAboutToBeDeletedIsNotOpened) {
    auto c = make_controller();
    DownloadItem& item = add("a");
    {
        auto data = item.lock();
        data->saved.total_size = 0;  // unknown: any byte makes it "done"
        data->saved.downloaded = 4;
        data->saved.open_when_done = 1;
    }
    c->cancel_item(0, true);
    EXPECT_TRUE(host_.opened_files.empty());
    EXPECT_FALSE(std::filesystem::exists(dir_.file("a")));
}

TEST_F(PauseCancelTest, IncompleteItemIsNotOpened) {
    auto c = make_controller();
    DownloadItem& item = add("a");
    {
        auto data = item.lock();
        data->saved.total_size = 10;
        data->saved.downloaded = 9;
        data->saved.open_when_done = 1;
    }
    c->cancel_item(0, false);
    EXPECT_TRUE(host_.opened_files.empty());
}

TEST_F(PauseCancelTest, AFileThatAnotherDownloadUsesIsNeverDeleted) {
    auto c = make_controller();
    add("a");
    DownloadItem& twin = add("b");
    twin.lock()->set_local_path(dir_.file("a"));
    c->cancel_item(0, true);
    EXPECT_EQ(list_.count(), 1);
    EXPECT_TRUE(std::filesystem::exists(dir_.file("a")));
}

TEST_F(PauseCancelTest, CancelOfAnInfoHeldItemClosesTheInfoWindowFirst) {
    auto c = make_controller();
    add("a");
    ASSERT_EQ(c->open_info_window(0), InfoWindow::OpenResult::Opened);
    int closed = 0;
    c->info_window().on_closed = [&] { ++closed; };
    c->cancel_item(0, false);
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(c->info_window().is_open());
    EXPECT_EQ(list_.count(), 0);
}

TEST_F(PauseCancelTest, CancelOfTheMontagesItemClosesTheMedia) {
    auto c = make_controller();
    DownloadItem& item = add("a");
    montage_.hold(item);
    item.restart_on_close = true;
    c->cancel_item(0, false);
    EXPECT_EQ(montage_.closes, 1);
    EXPECT_FALSE(montage_.restart_seen);
    EXPECT_EQ(list_.count(), 0);
}

TEST_F(PauseCancelTest, CancelOfTheMontagesItemWhileItsWorkerRunsIsRefused) {
    auto c = make_controller();
    add("a");
    DownloadItem& item = add("b");
    montage_.hold(item);
    montage_.busy = true;
    host_.answers.push_back(MessageAnswer::No);
    c->cancel_selected({0, 1});
    EXPECT_EQ(urls(), std::vector<std::string>{"http://h/b"});
    EXPECT_EQ(item.state.load(), ItemState::MontageHeld);
    EXPECT_EQ(montage_.closes, 0);
    const auto messages = host_.message_list();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, "Montage Window is busy, Close it first and then Pause!");
    EXPECT_EQ(messages[1].caption, "Pause");
    EXPECT_EQ(messages[1].icon, MessageIcon::Information);
}

TEST_F(PauseCancelTest, AFailureWhileCancellingOneItemEndsOnlyThatItemsCancel) {
    auto c = make_controller();
    add("a");
    DownloadItem& item = add("b");
    add("c");
    montage_.hold(item);
    montage_.throw_on_close = true;
    host_.answers.push_back(MessageAnswer::No);
    c->cancel_selected({0, 1, 2});
    EXPECT_EQ(urls(), std::vector<std::string>{"http://h/b"});
}

TEST_F(PauseCancelTest, CancelOfARunningItemWaitsForItsWorkersMessage) {
    auto c = make_controller();
    DownloadItem& item = add("a");
    item.state = ItemState::Running;
    c->cancel_item(0, false);
    // Stopped, marked completed, still listed until 2776 arrives.
    EXPECT_EQ(item.state.load(), ItemState::Stopped);
    EXPECT_TRUE(item.completed.load());
    EXPECT_EQ(list_.count(), 1);
    c->post(MessageId::RunEnded, &item);
    c->process_messages();
    EXPECT_EQ(list_.count(), 0);
    EXPECT_TRUE(completed_.empty());
}

TEST_F(PauseCancelTest, PauseOfAStoppedItemDoesNothing) {
    auto c = make_controller();
    DownloadItem& item = add("a");
    item.lock()->saved.resumable = 0;
    item.set_status("Passed Retry Count");
    int refreshes = 0;
    c->on_state_changed = [&] { ++refreshes; };
    c->pause_selected({0});
    c->pause_item(0);
    c->pause_item(-1);
    c->pause_item(7);
    EXPECT_TRUE(host_.message_list().empty());
    EXPECT_EQ(item.status_text(), "Passed Retry Count");
    EXPECT_EQ(refreshes, 0);
}

TEST_F(PauseCancelTest, PauseOfANonResumableDownloadAsksFirst) {
    auto c = make_controller();
    DownloadItem& item = add("a");
    item.lock()->saved.resumable = 0;
    item.state = ItemState::Running;
    host_.answers.push_back(MessageAnswer::No);
    c->pause_item(0);
    EXPECT_EQ(item.state.load(), ItemState::Running);
    auto messages = host_.message_list();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Download is non-resumable. Are you sure you want to Pause?");
    EXPECT_EQ(messages[0].caption, "Pause");
    EXPECT_EQ(messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);

    host_.answers.push_back(MessageAnswer::Yes);
    c->pause_item(0);
    EXPECT_EQ(item.state.load(), ItemState::Stopped);
    EXPECT_EQ(item.status_text(), "User Paused");
}

TEST_F(PauseCancelTest, PauseKeepsAnAutoStartedItemEligibleForAutomaticDownloading) {
    auto c = make_controller();
    DownloadItem& item = add("a");
    item.state = ItemState::Running;
    item.auto_started = true;
    int refreshes = 0;
    c->on_state_changed = [&] { ++refreshes; };
    c->pause_selected({0});
    EXPECT_TRUE(host_.message_list().empty());
    EXPECT_EQ(item.state.load(), ItemState::Stopped);
    EXPECT_EQ(item.status_text(), "User Paused");
    EXPECT_FALSE(item.auto_started.load());
    EXPECT_FALSE(item.auto_stopped.load());
    EXPECT_EQ(refreshes, 1);
}

TEST_F(PauseCancelTest, PauseSelectedPausesEverySelectedRow) {
    auto c = make_controller();
    for (const char* n : {"a", "b", "c"})
        add(n).state = ItemState::Running;
    c->pause_selected({2, 0});
    EXPECT_EQ(list_.item_at(0)->state.load(), ItemState::Stopped);
    EXPECT_EQ(list_.item_at(1)->state.load(), ItemState::Running);
    EXPECT_EQ(list_.item_at(2)->state.load(), ItemState::Stopped);
}

TEST_F(PauseCancelTest, PauseOfTheMontagesItemWhileItsWorkerRunsIsRefused) {
    auto c = make_controller();
    DownloadItem& item = add("a");
    montage_.hold(item);
    montage_.busy = true;
    c->pause_item(0);
    EXPECT_EQ(item.state.load(), ItemState::MontageHeld);
    auto messages = host_.message_list();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Montage Window is busy, Close it first and then Pause!");
    EXPECT_EQ(messages[0].caption, "Pause");
    EXPECT_EQ(messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(montage_.closes, 0);
}

TEST_F(PauseCancelTest, PauseOfTheMontagesItemClosesTheMediaWithoutARestart) {
    auto c = make_controller();
    DownloadItem& item = add("a");
    montage_.hold(item);
    item.restart_on_close = true;
    c->pause_item(0);
    EXPECT_EQ(montage_.closes, 1);
    EXPECT_FALSE(montage_.restart_seen);
    EXPECT_EQ(item.state.load(), ItemState::Stopped);
    EXPECT_EQ(item.status_text(), "User Paused");
    EXPECT_EQ(list_.count(), 1);
}

TEST_F(PauseCancelTest, FinishedMontageItemStaysWhileAMontageWorkerReadsIt) {
    auto c = make_controller();
    DownloadItem& item = add("a");
    montage_.hold(item);
    montage_.busy = true;
    c->post(MessageId::RunEnded, &item);
    c->process_messages();
    EXPECT_EQ(list_.count(), 1);
    montage_.busy = false;
    c->post(MessageId::RunEnded, &item);
    c->process_messages();
    EXPECT_EQ(montage_.closes, 1);
    EXPECT_EQ(list_.count(), 0);
    EXPECT_EQ(completed_, std::vector<std::string>{"http://h/a"});
}

}  // namespace
}  // namespace rg
