// The queue and the schedule without transfers: no test here starts a worker.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/controller.h"
#include "queue_fakes.h"
#include "support/legacy_list.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

class QueueScheduleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(list_file_.open(), ListFile::OpenResult::Opened);
        passwords_.load();
    }

    std::unique_ptr<Controller> make_controller() {
        Controller::Parts parts{
            &list_, &list_file_, &settings_, &passwords_, nullptr, &host_, [this] { return now_; }};
        parts.montage = &montage_;
        parts.power = &power_;
        parts.clock_time = [this] { return wall_; };
        return std::make_unique<Controller>(std::move(parts));
    }

    DownloadItem& add(const std::string& url, bool scheduled) {
        DownloadItem& item = list_.append_item();
        auto data = item.lock();
        data->set_url(url);
        data->set_local_path(dir_.file("f" + std::to_string(list_.count())));
        data->saved.scheduled = scheduled ? 1 : 0;
        return item;
    }

    void set_when_done(Controller& c, std::int32_t index) {
        SchedulingDialogValues v = c.scheduling_dialog_values();
        v.when_done = index;
        c.apply_scheduling_dialog(v);
    }

    // Moves the fake clock and runs the timers that fell due.
    void advance(Controller& c, Tick ms) {
        now_ += ms;
        c.run_due_timers(now_);
    }

    test::TempDir dir_;
    test::RecordingHost host_;
    ListFile list_file_{dir_.path(), host_};
    IniStore ini_{dir_.file("rlg.ini")};
    SitePasswordList passwords_{ini_};
    SettingsStore settings_;
    DownloadList list_;
    test::FakeMontage montage_;
    test::FakePower power_;
    Tick now_ = 5000;
    ClockTime wall_{12, 0};
};

TEST_F(QueueScheduleTest, StartTimeFiresOnceInItsMinuteAndNeverAgainUnlessReArmed) {
    auto c = make_controller();
    c->apply_scheduling_dialog({true, {8, 30}, false, {0, 0}, 0});
    c->schedule_check({8, 29});
    EXPECT_FALSE(c->auto_download());
    c->schedule_check({8, 30});
    EXPECT_TRUE(c->auto_download());
    EXPECT_FALSE(c->schedule().start_enabled);
    c->toggle_auto_download();
    c->schedule_check({8, 30});
    EXPECT_FALSE(c->auto_download());
    // The next day, still disarmed.
    c->schedule_check({8, 30});
    EXPECT_FALSE(c->auto_download());
    c->apply_scheduling_dialog({true, {8, 30}, false, {0, 0}, 0});
    c->schedule_check({8, 30});
    EXPECT_TRUE(c->auto_download());
}

TEST_F(QueueScheduleTest, StartAlreadyOnStaysOnAndDisarms) {
    auto c = make_controller();
    c->set_auto_download(true);
    c->apply_scheduling_dialog({true, {9, 0}, false, {0, 0}, 0});
    c->schedule_check({9, 0});
    EXPECT_TRUE(c->auto_download());
    EXPECT_FALSE(c->schedule().start_enabled);
}

TEST_F(QueueScheduleTest, EqualStartAndStopSwitchOnThenOffThenRunTheWhenDoneAction) {
    auto c = make_controller();
    std::vector<bool> seen;
    c->on_state_changed = [&] { seen.push_back(c->auto_download()); };
    c->apply_scheduling_dialog({true, {21, 5}, true, {21, 5}, 2});
    c->schedule_check({21, 5});
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
    EXPECT_FALSE(c->auto_download());
    EXPECT_FALSE(c->schedule().start_enabled);
    EXPECT_FALSE(c->schedule().stop_enabled);
    EXPECT_EQ(power_.requests, std::vector<PowerAction>{PowerAction::PowerOff});
    c->schedule_check({21, 5});
    EXPECT_EQ(power_.requests.size(), 1u);
}

TEST_F(QueueScheduleTest, StopRunsTheWhenDoneActionEvenWithAutomaticDownloadingOff) {
    auto c = make_controller();
    c->apply_scheduling_dialog({false, {0, 0}, true, {23, 59}, 3});
    c->schedule_check({23, 59});
    EXPECT_FALSE(c->auto_download());
    EXPECT_EQ(power_.requests, std::vector<PowerAction>{PowerAction::Reboot});
}

TEST_F(QueueScheduleTest, OkWithoutTickingTheBoxesDisarmsBothTimes) {
    auto c = make_controller();
    c->apply_scheduling_dialog({true, {7, 15}, true, {18, 45}, 4});
    const SchedulingDialogValues shown = c->scheduling_dialog_values();
    EXPECT_FALSE(shown.start_checked);
    EXPECT_FALSE(shown.stop_checked);
    EXPECT_EQ(shown.start_time, (ClockTime{7, 15}));
    EXPECT_EQ(shown.stop_time, (ClockTime{18, 45}));
    EXPECT_EQ(shown.when_done, 4);
    c->apply_scheduling_dialog(shown);
    EXPECT_FALSE(c->schedule().start_enabled);
    EXPECT_FALSE(c->schedule().stop_enabled);
    c->schedule_check({7, 15});
    EXPECT_FALSE(c->auto_download());
}

TEST_F(QueueScheduleTest, ActionSelectionOutsideTheTableBecomesDoNothing) {
    auto c = make_controller();
    for (const auto& [given, kept] :
         std::vector<std::pair<int, int>>{{-1, 0}, {8, 0}, {7, 7}, {6, 6}}) {
        set_when_done(*c, given);
        EXPECT_EQ(c->schedule().when_done, kept) << given;
    }
    EXPECT_EQ(kWhenDoneTexts[0], "Do Nothing");
    EXPECT_EQ(kWhenDoneTexts[6], "Restart (Rough)");
}

TEST_F(QueueScheduleTest, WhenDoneActionsAreRequestsToThePlatform) {
    auto c = make_controller();
    for (int i = 0; i <= 7; ++i) {
        set_when_done(*c, i == 1 ? 0 : i);
        c->run_when_done();
    }
    EXPECT_EQ(power_.requests, (std::vector<PowerAction>{
                                   PowerAction::PowerOff, PowerAction::Reboot, PowerAction::LogOff,
                                   PowerAction::ForcedPowerOff, PowerAction::ForcedReboot}));
    EXPECT_TRUE(host_.message_list().empty());
    EXPECT_FALSE(c->exiting());
}

TEST_F(QueueScheduleTest, WithoutPowerActionsTheMachineActionsDoNothing) {
    Controller c({&list_, &list_file_, &settings_, &passwords_, nullptr, &host_});
    SchedulingDialogValues v;
    v.when_done = 5;
    c.apply_scheduling_dialog(v);
    c.run_when_done();
    EXPECT_FALSE(c.exiting());
}

TEST_F(QueueScheduleTest, CloseReelgrabAsksAndNoKeepsTheProgramRunning) {
    auto c = make_controller();
    int exits = 0;
    c->on_exit = [&] { ++exits; };
    set_when_done(*c, 1);
    host_.answers.push_back(MessageAnswer::No);
    c->run_when_done();
    ASSERT_EQ(host_.message_list().size(), 1u);
    EXPECT_EQ(host_.message_list()[0].text, "Are you sure you want to exit Reelgrab");
    EXPECT_EQ(host_.message_list()[0].caption, "Exit");
    EXPECT_EQ(host_.message_list()[0].buttons, MessageButtons::YesNo);
    EXPECT_FALSE(c->exiting());
    EXPECT_EQ(exits, 0);

    add("http://h/a", false);
    host_.answers.push_back(MessageAnswer::Yes);
    c->run_when_done();
    EXPECT_TRUE(c->exiting());
    EXPECT_EQ(exits, 1);
    struct stat st {};
    ASSERT_EQ(::stat(list_file_.path().c_str(), &st), 0);
    EXPECT_EQ(test::legacy_part_size(test::read_file(list_file_.path())), 8u + 5388);
    // Exited: the timers stop and a second exit does nothing.
    const int changes = host_.list_changes.load();
    c->run_due_timers(now_);
    c->run_due_timers(now_ + 100000);
    EXPECT_EQ(host_.list_changes.load(), changes);
    EXPECT_TRUE(c->exit_prompt());
    EXPECT_EQ(exits, 1);
}

TEST_F(QueueScheduleTest, CloseReelgrabWithoutConfirmExitEndsAtOnce) {
    settings_.update([](Settings& s) { s.ConfirmExit = 0; });
    auto c = make_controller();
    set_when_done(*c, 1);
    c->run_when_done();
    EXPECT_TRUE(host_.message_list().empty());
    EXPECT_TRUE(c->exiting());
}

TEST_F(QueueScheduleTest, NoScheduledItemRunsTheWhenDoneActionAtEveryTick) {
    auto c = make_controller();
    add("http://h/a", false);
    set_when_done(*c, 2);
    c->run_due_timers(now_);  // arms the timers
    c->set_auto_download(true);
    advance(*c, 1499);
    EXPECT_TRUE(power_.requests.empty());
    advance(*c, 1);
    EXPECT_EQ(power_.requests.size(), 1u);
    advance(*c, 1500);
    advance(*c, 1500);
    EXPECT_EQ(power_.requests.size(), 3u);
    c->toggle_auto_download();
    advance(*c, 1500);
    advance(*c, 1500);
    EXPECT_EQ(power_.requests.size(), 3u);
    EXPECT_EQ(c->running_workers(), 0u);
}

TEST_F(QueueScheduleTest, ScheduleTimerReadsTheWallClock) {
    auto c = make_controller();
    c->apply_scheduling_dialog({true, {10, 15}, false, {0, 0}, 0});
    c->run_due_timers(now_);
    wall_ = {10, 14};
    advance(*c, 500);
    EXPECT_FALSE(c->auto_download());
    wall_ = {10, 15};
    advance(*c, 499);
    EXPECT_FALSE(c->auto_download());
    advance(*c, 1);
    EXPECT_TRUE(c->auto_download());
}

TEST_F(QueueScheduleTest, MontageHeldItemCountsAsRunning) {
    settings_.update([](Settings& s) { s.ConcurrentDownloads = 1; });
    auto c = make_controller();
    DownloadItem& held = add("http://h/a", false);
    DownloadItem& waiting = add("http://h/b", true);
    montage_.hold(held);
    c->set_auto_download(true);
    c->auto_download_tick();
    EXPECT_FALSE(waiting.worker_active.load());
    EXPECT_EQ(c->running_workers(), 0u);
    EXPECT_TRUE(power_.requests.empty());
}

TEST_F(QueueScheduleTest, AWorkerThatHasNotBegunCountsAsRunningAndIsNeverDoubled) {
    settings_.update([](Settings& s) { s.ConcurrentDownloads = 1; });
    auto c = make_controller();
    DownloadItem& starting = add("http://h/a", true);
    DownloadItem& waiting = add("http://h/b", true);
    starting.worker_active = true;  // created, state not yet Running
    c->start_download(starting, false);
    EXPECT_EQ(c->running_workers(), 0u);
    c->auto_download_tick();
    EXPECT_FALSE(waiting.worker_active.load());
    EXPECT_EQ(c->running_workers(), 0u);
}

TEST_F(QueueScheduleTest, AutoStoppedItemsAreSkippedButStillHoldBackTheWhenDoneAction) {
    auto c = make_controller();
    set_when_done(*c, 2);
    DownloadItem& failed = add("http://h/a", true);
    failed.auto_stopped = true;
    c->set_auto_download(true);
    c->auto_download_tick();
    EXPECT_FALSE(failed.worker_active.load());
    EXPECT_TRUE(power_.requests.empty());
    c->set_auto_download(false);
    EXPECT_FALSE(failed.auto_stopped.load());
}

TEST_F(QueueScheduleTest, StartOfAMontageHeldItemAsksTheMontageToRestartIt) {
    auto c = make_controller();
    DownloadItem& item = add("http://h/a", true);
    montage_.hold(item);
    item.worker_active = true;  // its old worker still winding down
    c->start_download(item, false);
    EXPECT_TRUE(item.restart_on_close.load());
    EXPECT_EQ(c->running_workers(), 0u);
}

TEST_F(QueueScheduleTest, AutoDownloadSwitchRunsTheCommandStateRefresh) {
    auto c = make_controller();
    int refreshes = 0;
    c->on_state_changed = [&] { ++refreshes; };
    c->toggle_auto_download();
    EXPECT_TRUE(c->auto_download());
    c->toggle_auto_download();
    EXPECT_FALSE(c->auto_download());
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(host_.list_changes.load(), 2);
}

TEST(PowerActionsTest, LogindCommandLines) {
    using V = std::vector<std::string>;
    EXPECT_EQ(logind_command(PowerAction::PowerOff, "3"), (V{"systemctl", "poweroff"}));
    EXPECT_EQ(logind_command(PowerAction::Reboot, "3"), (V{"systemctl", "reboot"}));
    EXPECT_EQ(logind_command(PowerAction::ForcedPowerOff, "3"),
              (V{"systemctl", "poweroff", "--check-inhibitors=no"}));
    EXPECT_EQ(logind_command(PowerAction::ForcedReboot, "3"),
              (V{"systemctl", "reboot", "--check-inhibitors=no"}));
    EXPECT_EQ(logind_command(PowerAction::LogOff, "c2"),
              (V{"loginctl", "terminate-session", "c2"}));
    EXPECT_EQ(logind_command(PowerAction::LogOff, ""),
              (V{"loginctl", "terminate-session", "self"}));
    EXPECT_EQ(logind_command(PowerAction::LogOff, "--all"),
              (V{"loginctl", "terminate-session", "self"}));
}

TEST(PowerActionsTest, LogindActionsHandTheCommandToTheRunner) {
    std::vector<std::vector<std::string>> ran;
    LogindPowerActions power(
        [&](const std::vector<std::string>& argv) {
            ran.push_back(argv);
            return true;
        },
        "7");
    EXPECT_TRUE(power.request(PowerAction::LogOff));
    EXPECT_TRUE(power.request(PowerAction::ForcedReboot));
    ASSERT_EQ(ran.size(), 2u);
    EXPECT_EQ(ran[0], (std::vector<std::string>{"loginctl", "terminate-session", "7"}));
    EXPECT_EQ(ran[1], (std::vector<std::string>{"systemctl", "reboot", "--check-inhibitors=no"}));
}

TEST(PowerActionsTest, SpawnRefusesAnEmptyCommandAndAMissingProgram) {
    EXPECT_FALSE(spawn_detached({}));
    EXPECT_FALSE(spawn_detached({"/nonexistent/reelgrab-no-such-program"}));
    EXPECT_TRUE(spawn_detached({"true"}));
}

}  // namespace
}  // namespace rg
