#include "engine/controller.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "support/legacy_list.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

class ControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(list_file_.open(), ListFile::OpenResult::Opened);
        passwords_.load();
        settings_.update([](Settings& s) { s.RecieveTimeOut = 5000; });
    }

    Controller make_controller() {
        return Controller({&list_, &list_file_, &settings_, &passwords_, nullptr, &host_,
                           [this] { return now_; }});
    }

    DownloadItem& add(const std::string& url) {
        DownloadItem& item = list_.append_item();
        item.lock()->set_url(url);
        item.lock()->set_local_path(dir_.file("f" + std::to_string(list_.count())));
        return item;
    }

    test::TempDir dir_;
    test::RecordingHost host_;
    ListFile list_file_{dir_.path(), host_};
    IniStore ini_{dir_.file("rlg.ini")};
    SitePasswordList passwords_{ini_};
    SettingsStore settings_;
    DownloadList list_;
    Tick now_ = 100000;
};

TEST_F(ControllerTest, ReceiveTimeOutStopsOnlyStalledReceivingRuns) {
    Controller controller = make_controller();
    DownloadItem& stalled = add("http://h/a");
    DownloadItem& montage = add("http://h/b");
    DownloadItem& idle = add("http://h/c");
    DownloadItem& never = add("http://h/d");
    for (DownloadItem* item : {&stalled, &montage, &idle, &never}) {
        item->state = ItemState::Running;
        item->receiving = true;
        item->last_receive_tick = now_ - 5000;
    }
    montage.state = ItemState::MontageHeld;
    idle.receiving = false;
    never.last_receive_tick = 0;

    now_ -= 1;
    controller.receive_timeout_check();
    EXPECT_EQ(stalled.state.load(), ItemState::Running);

    now_ += 1;
    controller.receive_timeout_check();
    EXPECT_EQ(stalled.state.load(), ItemState::Stopped);
    EXPECT_EQ(stalled.status_text(), "Recieve TimeOut");
    EXPECT_FALSE(stalled.receiving.load());
    // The Montage keeps its item: only the stalled fetch is ended.
    EXPECT_EQ(montage.state.load(), ItemState::MontageHeld);
    EXPECT_TRUE(montage.montage_abort.load());
    EXPECT_EQ(idle.state.load(), ItemState::Running);
    EXPECT_EQ(never.state.load(), ItemState::Running);
}

TEST_F(ControllerTest, TimersRunAtTheirPeriodsAcrossTickWrap) {
    now_ = 0xffffffffu - 300;
    Controller controller = make_controller();
    add("http://h/a");
    controller.run_due_timers(now_);  // arms
    EXPECT_EQ(host_.list_changes.load(), 0);
    controller.run_due_timers(now_ + 699);
    EXPECT_EQ(host_.list_changes.load(), 0);
    controller.run_due_timers(now_ + 700);
    EXPECT_EQ(host_.list_changes.load(), 1);
    struct stat st {};
    ASSERT_EQ(::stat(list_file_.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    controller.run_due_timers(now_ + 10000);
    ASSERT_EQ(::stat(list_file_.path().c_str(), &st), 0);
    EXPECT_EQ(test::legacy_part_size(test::read_file(list_file_.path())), 8u + 5388);
}

TEST_F(ControllerTest, CredentialsAreAskedOnTheControllerThreadWhileTheWorkerWaits) {
    Controller controller = make_controller();
    DownloadItem& item = add("http://files.example.com/a.zip");
    host_.credentials.push_back({"joe", "pw", true});
    bool answer = false;
    std::thread worker([&] { answer = controller.ask_credentials(item); });
    while (controller.process_messages(std::chrono::milliseconds(20)) == 0) {
    }
    worker.join();
    EXPECT_TRUE(answer);
    EXPECT_EQ(field_text(item.lock()->saved.user_name), "am9l");
    ASSERT_EQ(passwords_.entries().size(), 1u);
    EXPECT_EQ(passwords_.entries()[0].site, "FILES.EXAMPLE.COM");

    // Declined: the worker hears no.
    std::thread second([&] { answer = controller.ask_credentials(item); });
    while (controller.process_messages(std::chrono::milliseconds(20)) == 0) {
    }
    second.join();
    EXPECT_FALSE(answer);
    EXPECT_EQ(host_.credential_urls.size(), 2u);
}

// An event loop learns of every queued message, posted or asked, without polling the queue.
TEST_F(ControllerTest, EveryQueuedMessageWakesTheLoop) {
    Controller controller = make_controller();
    DownloadItem& item = add("http://h/a.zip");
    std::atomic<int> wakes{0};
    controller.on_message_queued = [&] { ++wakes; };
    std::thread poster([&] { controller.post(MessageId::Refresh, &item); });
    poster.join();
    EXPECT_EQ(wakes.load(), 1);

    bool answer = true;
    std::thread asker([&] { answer = controller.ask_credentials(item); });
    while (wakes.load() < 2)
        std::this_thread::yield();
    EXPECT_EQ(controller.process_messages(), 2u);
    asker.join();
    EXPECT_FALSE(answer);
}

TEST_F(ControllerTest, FinishedRunLeavesTheListAndOpensWhenAsked) {
    Controller controller = make_controller();
    DownloadItem& done = add("http://h/a");
    add("http://h/b");
    {
        auto data = done.lock();
        data->saved.total_size = 10;
        data->saved.open_when_done = 1;
        data->saved.downloaded = 10;
        data->ranges.assign({{0, 10}});
    }
    const std::string path = done.local_path();
    controller.post(MessageId::RunEnded, &done);
    controller.process_messages();
    EXPECT_EQ(list_.count(), 1);
    EXPECT_EQ(list_.item_at(0)->url(), "http://h/b");
    EXPECT_EQ(host_.opened_files, std::vector<std::string>{path});
    struct stat st {};
    ASSERT_EQ(::stat(list_file_.path().c_str(), &st), 0);
    EXPECT_EQ(test::legacy_part_size(test::read_file(list_file_.path())), 8u + 5388);
}

TEST_F(ControllerTest, StartWhileMontageHeldOnlyAsksForARestart) {
    Controller controller = make_controller();
    DownloadItem& item = add("http://h/a");
    item.state = ItemState::MontageHeld;
    controller.start_download(item, false);
    EXPECT_TRUE(item.restart_on_close.load());
    EXPECT_EQ(controller.running_workers(), 0u);
}

}  // namespace
}  // namespace rg
