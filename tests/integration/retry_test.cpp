// Servers that answer without delivering: every attempt without new bytes is counted and
// spaced, and a silent body ends with the receive time-out.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "download_fixture.h"
#include "engine/status_texts.h"
#include "settings/http_options.h"
#include "support/rlg_process.h"

namespace rg {
namespace {

using test::DownloadTest;
using Clock = std::chrono::steady_clock;

class RetryTest : public DownloadTest {
  protected:
    // Runs the item; the statuses it showed, each change once.
    std::vector<std::string> run_watching(DownloadItem& item) {
        std::vector<std::string> statuses;
        EXPECT_TRUE(run(item, [&] {
            const std::string s = item.status_text();
            if (statuses.empty() || statuses.back() != s)
                statuses.push_back(s);
        }));
        return statuses;
    }

    static int waits(const std::vector<std::string>& statuses) {
        int n = 0;
        for (const auto& s : statuses)
            n += s.starts_with("Waiting") ? 1 : 0;
        return n;
    }
};

TEST_F(RetryTest, HeadersWithoutABodyAreFailedAttemptsUpToTheRetryCount) {
    // A 206 announcing 10 MB that closes at once, and a 200 that does the same.
    for (const char* query : {"", "&ignore_range=1"}) {
        auto item = add(server_.url(std::string("/gen/10000000?drop_after=0") + query),
                        std::string("nobody") + query);
        const int before = server_.stats().requests;
        const auto statuses = run_watching(*item);
        EXPECT_EQ(item->status_text(), kPassedRetryCountText) << query;
        EXPECT_EQ(item->state.load(), ItemState::Stopped);
        EXPECT_EQ(server_.stats().requests - before, 4) << query;  // RetryCount 3, plus one
        EXPECT_EQ(waits(statuses), 3) << query;
        EXPECT_FALSE(completed_.count(item.get()));
    }
}

TEST_F(RetryTest, RlgGetAgainstHeadersWithoutABodyStopsAfterTheRetries) {
    const std::string data = out_ + "/data";
    std::filesystem::create_directory(data);
    test::write_file(data + "/rlg.ini", "[General]\nRetryCount=3\nRetryDelay=100\n");
    // Run beside the test: a flood would never end by itself.
    test::BackgroundRlg rlg({"--data-dir", data, "get",
                             server_.url("/gen/10000000/x.bin?drop_after=0"), "-d", out_ + "/get"});
    ASSERT_TRUE(rlg.started());
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (rlg.read_line(std::chrono::seconds(30)) && Clock::now() < deadline) {
    }
    ASSERT_LT(Clock::now(), deadline) << "rlg get did not end";
    EXPECT_NE(rlg.wait(), 0);
    EXPECT_EQ(server_.stats().requests, 4);
}

TEST_F(RetryTest, RetryCountZeroMeansOneAttempt) {
    settings_.update([](Settings& s) { s.RetryCount = 0; });
    auto good = add(server_.url("/gen/5000"), "good.bin");
    ASSERT_TRUE(run(*good));
    EXPECT_TRUE(completed_.count(good.get())) << good->status_text();
    EXPECT_TRUE(local(*good) == test::generated_content(0, 5000));

    auto bad = add(server_.url("/gen/5000?drop_after=0"), "bad.bin");
    const int before = server_.stats().requests;
    const auto statuses = run_watching(*bad);
    EXPECT_EQ(bad->status_text(), kPassedRetryCountText);
    EXPECT_EQ(server_.stats().requests - before, 1);
    EXPECT_EQ(waits(statuses), 0);
}

TEST_F(RetryTest, ServerErrorsAreRetriedAndARecoveredServerCompletes) {
    std::vector<DownloadList::ItemPtr> done;  // kept, so that no later item takes an address
    for (const char* status : {"500", "502", "503", "504"}) {
        auto item = add(server_.url(std::string("/gen/3000?fail_first=2&status=") + status),
                        std::string("s") + status);
        done.push_back(item);
        const int before = server_.stats().requests;
        const auto statuses = run_watching(*item);
        EXPECT_TRUE(completed_.count(item.get())) << status << ": " << item->status_text();
        EXPECT_TRUE(local(*item) == test::generated_content(0, 3000));
        EXPECT_EQ(server_.stats().requests - before, 3) << status;
        EXPECT_EQ(waits(statuses), 2) << status;
    }
    // Never recovering: the retries run out.
    auto item = add(server_.url("/gen/3000?status=503"), "never.bin");
    const int before = server_.stats().requests;
    run_watching(*item);
    EXPECT_EQ(item->status_text(), kPassedRetryCountText);
    EXPECT_EQ(server_.stats().requests - before, 4);
    // A 404 is no passing failure: one request.
    auto missing = add(server_.url("/gen/3000?status=404"), "missing.bin");
    ASSERT_TRUE(run(*missing));
    EXPECT_TRUE(missing->status_text().starts_with("404")) << missing->status_text();
}

TEST_F(RetryTest, SilenceAfterTheHeadersEndsWithTheReceiveTimeOut) {
    // The controller's check alone: the client's own read limit is long.
    settings_.update([](Settings& s) { s.RecieveTimeOut = 1500; });
    http_.set_options([&] {
        auto o = http_session_options(settings_.snapshot(), "");
        o.receive_timeout_ms = 60000;
        return o;
    }());
    auto item = add(server_.url("/gen/100000?idle_after_headers=1"), "quiet.bin");
    const auto started = Clock::now();
    ASSERT_TRUE(h_.run(*item, {}, std::chrono::seconds(20)));
    EXPECT_EQ(item->status_text(), kReceiveTimeOutText);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(server_.stats().requests, 1);
}

TEST_F(RetryTest, SilenceAfterTheHeadersSeenByTheClientEndsTheRunToo) {
    settings_.update([](Settings& s) { s.RecieveTimeOut = 1000; });
    apply_settings();
    auto item = add(server_.url("/gen/100000?idle_after_headers=1"), "quiet.bin");
    ASSERT_TRUE(h_.run(*item, {}, std::chrono::seconds(20)));
    EXPECT_EQ(item->status_text(), kReceiveTimeOutText);
    EXPECT_EQ(item->state.load(), ItemState::Stopped);
    EXPECT_EQ(server_.stats().requests, 1);
}

TEST_F(RetryTest, ASlowFirstByteIsMeasuredFromItsOwnRequest) {
    settings_.update([](Settings& s) { s.RecieveTimeOut = 2500; });
    http_.set_options([&] {
        auto o = http_session_options(settings_.snapshot(), "");
        o.receive_timeout_ms = 60000;
        return o;
    }());
    // The last block of an earlier span arrived long ago.
    auto item = add(server_.url("/gen/5000?delay_body_ms=1300"), "slow.bin");
    item->last_receive_tick = tick_count() - 100000;
    ASSERT_TRUE(run(*item));
    EXPECT_TRUE(completed_.count(item.get())) << item->status_text();
}

TEST_F(RetryTest, ABodyCutWithoutRangesSaysSoAndIsNotComplete) {
    auto item = add(server_.url("/gen/100000?ignore_range=1&drop_after=30000"), "cut.bin");
    ASSERT_TRUE(run(*item));
    EXPECT_FALSE(completed_.count(item.get()));
    EXPECT_EQ(item->state.load(), ItemState::Stopped);
    EXPECT_EQ(item->status_text(), kBodyCutText);
    EXPECT_EQ(item->lock()->saved.resumable, 0);
    EXPECT_EQ(server_.stats().requests, 1);
}

}  // namespace
}  // namespace rg
