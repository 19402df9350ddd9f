// The queue, pause and cancel with real workers against slow local servers, under a fake clock:
// the test moves the controller's tick count by hand and runs the timers that fall due.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "engine/controller.h"
#include "queue_fakes.h"
#include "support/controller_harness.h"
#include "support/fault_http_server.h"
#include "support/nginx_server.h"

namespace rg {
namespace {

using namespace std::chrono_literals;

constexpr auto kWait = std::chrono::seconds(30);

class QueueServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        h_.settings.update([](Settings& s) {
            s.ConcurrentDownloads = 4;
            s.RecieveTimeOut = 600000;
            s.ConnectTimeOut = 5000;
            s.RetryCount = 2;
            s.RetryDelay = 10;
        });
        h_.now = [this] { return now_.load(); };
        h_.power = &power_;
        ASSERT_TRUE(h_.start());
    }

    Controller& c() { return *h_.controller; }

    DownloadList::ItemPtr add(const std::string& url, const std::string& name, bool scheduled) {
        auto item = h_.add(url, name, true);
        item->lock()->saved.scheduled = scheduled ? 1 : 0;
        return item;
    }

    // Serves the controller's queue in real time until `done` or the deadline; the fake clock
    // stands still meanwhile.
    bool serve_until(const std::function<bool()>& done, std::chrono::seconds deadline = kWait) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            c().process_messages(10ms);
        }
        return true;
    }

    // Moves the fake clock by `ms` and runs the timers that fell due.
    void advance(Tick ms) {
        c().process_messages();
        now_ += ms;
        c().run_due_timers(now_.load());
    }

    std::size_t active(const std::vector<DownloadList::ItemPtr>& items) {
        std::size_t n = 0;
        for (const auto& i : items)
            n += i->worker_active.load() ? 1 : 0;
        return n;
    }

    test::ControllerHarness h_;
    test::FakePower power_;
    std::atomic<Tick> now_{1000000};
};

// Ten scheduled items whose server sends 1000 bytes and then stalls: they stay running.
TEST_F(QueueServerTest, OneStartPerTickUpToTheLimitAndTheNextOneTickAfterAStop) {
    test::FaultHttpServer server;
    ASSERT_TRUE(server.ok()) << server.error();
    std::vector<DownloadList::ItemPtr> items;
    for (int i = 0; i < 10; ++i) {
        const std::string name = "f" + std::to_string(i);
        items.push_back(add(server.url("/gen/100000/" + name + "?stall_after=1000"), name, true));
    }
    c().run_due_timers(now_.load());  // arms the timers
    c().set_auto_download(true);
    for (std::size_t k = 1; k <= 4; ++k) {
        advance(1499);
        EXPECT_EQ(active(items), k - 1);
        advance(1);
        EXPECT_EQ(active(items), k);
        EXPECT_TRUE(items[k - 1]->worker_active.load());
        EXPECT_TRUE(items[k - 1]->auto_started.load());
    }
    ASSERT_TRUE(serve_until([&] {
        for (std::size_t k = 0; k < 4; ++k) {
            if (items[k]->state.load() != ItemState::Running || items[k]->downloaded() < 1000)
                return false;
        }
        return true;
    }));
    advance(1500);
    advance(1500);
    EXPECT_EQ(active(items), 4u);

    // One of them stops (as a receive time-out stops it) right after a tick.
    stop_item(*items[1], c().env());
    ASSERT_TRUE(serve_until([&] { return h_.exited.count(items[1].get()) > 0; }));
    EXPECT_TRUE(items[1]->auto_stopped.load());
    EXPECT_EQ(active(items), 3u);
    advance(1499);
    EXPECT_EQ(active(items), 3u);
    advance(1);
    EXPECT_EQ(active(items), 4u);
    EXPECT_TRUE(items[4]->worker_active.load());
    EXPECT_FALSE(items[1]->worker_active.load());
    EXPECT_TRUE(power_.requests.empty());
}

// The slow server of the acceptance case: nginx sending 64 KiB a second. The first item is small
// and finishes by itself while the other three still run.
TEST_F(QueueServerTest, TheNextItemStartsOneTickAfterARunFinishes) {
    if (!test::NginxServer::available())
        GTEST_SKIP() << test::NginxServer::missing_message();
    test::NginxServer server({.server_config = "limit_rate 64k;"});
    std::vector<DownloadList::ItemPtr> items;
    for (int i = 0; i < 10; ++i) {
        const std::string name = "f" + std::to_string(i) + ".bin";
        test::write_file(server.root() + "/" + name,
                         std::string(i == 0 ? 80 * 1024 : 4 * 1024 * 1024, 'x'));
        items.push_back(add(server.url("/" + name), name, true));
    }
    DownloadItem* first = items[0].get();
    c().run_due_timers(now_.load());
    c().set_auto_download(true);
    for (std::size_t k = 1; k <= 4; ++k) {
        advance(1500);
        ASSERT_EQ(active(items), k);
    }
    // The fake clock stands still until the first run has finished and left the list.
    ASSERT_TRUE(serve_until([&] { return h_.exited.count(first) > 0; }));
    EXPECT_TRUE(h_.completed.count(first));
    EXPECT_EQ(h_.list.index_of(first), -1);
    EXPECT_EQ(test::read_file(first->local_path()).size(), 80u * 1024);
    EXPECT_EQ(active(items), 3u);
    advance(1499);
    EXPECT_EQ(active(items), 3u);
    advance(1);
    EXPECT_EQ(active(items), 4u);
    EXPECT_TRUE(items[4]->worker_active.load());
}

TEST_F(QueueServerTest,
       AnItemThatPassedTheRetryCountWaitsUntilAutomaticDownloadingIsSwitchedOffAndOn) {
    // Nothing listens on port 1: every attempt fails to connect and is retried.
    auto item = add("http://127.0.0.1:1/f.bin", "f.bin", true);
    SchedulingDialogValues v = c().scheduling_dialog_values();
    v.when_done = 2;
    c().apply_scheduling_dialog(v);
    c().run_due_timers(now_.load());
    c().set_auto_download(true);
    advance(1500);
    ASSERT_TRUE(item->worker_active.load());
    ASSERT_TRUE(serve_until([&] { return h_.exited.count(item.get()) > 0; }));
    EXPECT_EQ(item->status_text(), "Passed Retry Count");
    EXPECT_TRUE(item->auto_stopped.load());
    for (int i = 0; i < 4; ++i) {
        advance(1500);
        EXPECT_FALSE(item->worker_active.load());
    }
    // Still scheduled: no when-done action.
    EXPECT_TRUE(power_.requests.empty());

    c().toggle_auto_download();
    c().toggle_auto_download();
    EXPECT_FALSE(item->auto_stopped.load());
    advance(1500);
    EXPECT_TRUE(item->worker_active.load());
    ASSERT_TRUE(serve_until([&] { return !item->worker_active.load(); }));

    // With no scheduled item left the when-done action runs at every tick.
    item->lock()->saved.scheduled = 0;
    advance(1500);
    advance(1500);
    advance(1500);
    EXPECT_EQ(power_.requests, (std::vector<PowerAction>(3, PowerAction::PowerOff)));
}

class CancelRunningTest : public QueueServerTest {
  protected:
    void SetUp() override {
        QueueServerTest::SetUp();
        ASSERT_TRUE(server_.ok()) << server_.error();
    }

    // A download that has 5000 bytes in its file and then waits for more.
    DownloadList::ItemPtr start_stalled(const std::string& name) {
        auto item = add(server_.url("/gen/100000/" + name + "?stall_after=5000"), name, false);
        c().start_download(*item, false);
        EXPECT_TRUE(serve_until([&] { return item->downloaded() >= 5000; }));
        return item;
    }

    test::FaultHttpServer server_;
};

TEST_F(CancelRunningTest, YesDeletesTheFileOnlyAfterTheWorkerHasEnded) {
    auto item = start_stalled("a.bin");
    const std::string path = item->local_path();
    h_.host.answers.push_back(MessageAnswer::Yes);
    c().cancel_selected({0});
    // Told to stop; its row goes with its 2776, its file after its worker's end.
    EXPECT_EQ(h_.list.count(), 1);
    EXPECT_TRUE(std::filesystem::exists(path));
    ASSERT_TRUE(serve_until([&] { return h_.exited.count(item.get()) > 0; }));
    EXPECT_EQ(h_.list.count(), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(h_.completed.count(item.get()));
    EXPECT_TRUE(h_.host.opened_files.empty());
}

TEST_F(CancelRunningTest, NoKeepsTheFile) {
    auto item = start_stalled("a.bin");
    const std::string path = item->local_path();
    h_.host.answers.push_back(MessageAnswer::No);
    c().cancel_selected({0});
    ASSERT_TRUE(serve_until([&] { return h_.exited.count(item.get()) > 0; }));
    EXPECT_EQ(h_.list.count(), 0);
    EXPECT_EQ(test::read_file(path), test::generated_content(0, 5000));
}

TEST_F(CancelRunningTest, ANewDownloadAtTheSamePathKeepsItsFile) {
    auto item = start_stalled("a.bin");
    const std::string path = item->local_path();
    h_.host.answers.push_back(MessageAnswer::Yes);
    c().cancel_selected({0});
    // Before the worker has ended, a new download takes the same local file.
    add(server_.url("/gen/10/b"), "a.bin", false);
    ASSERT_TRUE(serve_until([&] { return h_.exited.count(item.get()) > 0; }));
    EXPECT_EQ(h_.list.count(), 1);
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(CancelRunningTest, PausedAutoStartedItemIsStartedAgainAtALaterTick) {
    auto item = add(server_.url("/gen/100000/p?stall_after=1000"), "p.bin", true);
    c().run_due_timers(now_.load());
    c().set_auto_download(true);
    advance(1500);
    ASSERT_TRUE(serve_until([&] { return item->downloaded() >= 1000; }));
    c().pause_selected({0});
    EXPECT_EQ(item->status_text(), "User Paused");
    ASSERT_TRUE(serve_until([&] { return h_.exited.count(item.get()) > 0; }));
    EXPECT_FALSE(item->auto_stopped.load());
    advance(1500);
    EXPECT_TRUE(item->worker_active.load());
}

TEST_F(CancelRunningTest, StartOfAnInfoHeldItemClosesTheWindowKeepingItsUrlAndStarts) {
    auto item = add("http://127.0.0.1:1/old", "i.bin", false);
    ASSERT_EQ(c().open_info_window(0), InfoWindow::OpenResult::Opened);
    int closed = 0;
    c().info_window().on_closed = [&] { ++closed; };
    const std::string edited = server_.url("/gen/100000/i?stall_after=2000");
    c().info_window().set_url_text(edited);
    c().start_download(*item, false);
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(c().info_window().is_open());
    EXPECT_EQ(item->url(), edited);
    EXPECT_TRUE(item->worker_active.load());
    ASSERT_TRUE(serve_until([&] { return item->downloaded() >= 2000; }));
    // A second start while it runs makes no second worker.
    c().start_download(*item, false);
    EXPECT_EQ(c().running_workers(), 1u);
}

}  // namespace
}  // namespace rg
