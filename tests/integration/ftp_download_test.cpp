// Whole FTP downloads through the transfer worker and through `rlg get`: pyftpdlib as the real
// peer, the fake server for drops and refusals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <set>

#include "engine/controller.h"
#include "protocols/http_session.h"
#include "support/controller_harness.h"
#include "support/fake_ftp_server.h"
#include "support/fault_http_server.h"
#include "support/pyftpd_server.h"
#include "support/recording_host.h"
#include "support/rlg_process.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

constexpr auto kDeadline = std::chrono::seconds(90);
constexpr std::size_t kBigFile = 32u << 20;
constexpr long kThrottledRate = 16l << 20;
constexpr std::int64_t kKillAfter = 8 << 20;

class FtpDownloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings_.update([](Settings& s) {
            s.RetryDelay = 50;
            // Enough for a restarted server to come back up.
            s.RetryCount = 100;
            s.RecieveTimeOut = 5000;
            s.ConnectTimeOut = 2000;
        });
        test::write_file(served_ + "/big.bin", big_);
        ASSERT_TRUE(h_.start());
    }

    // A new FTP download, as the intake makes it: not known to be resumable yet.
    DownloadList::ItemPtr add(const std::string& url) { return h_.add(url, "file.bin", false); }

    bool run(DownloadItem& item, const std::function<void()>& each_turn = {}) {
        return h_.run(item, each_turn, kDeadline);
    }

    std::string local() { return test::read_file(out_ + "/file.bin"); }

    test::ControllerHarness h_;
    const std::string& out_ = h_.out();
    std::string served_ = h_.dir.path();
    const std::string big_ = test::random_bytes(kBigFile);
    test::RecordingHost& host_ = h_.host;
    SitePasswordList& passwords_ = h_.passwords;
    SettingsStore& settings_ = h_.settings;
    DownloadList& list_ = h_.list;
    std::unique_ptr<Controller>& controller_ = h_.controller;
    std::set<const DownloadItem*>& exited_ = h_.exited;
    std::set<const DownloadItem*>& completed_ = h_.completed;
};

TEST_F(FtpDownloadTest, RealServerDownloadArrivesWholeInActiveMode) {
    test::PyftpdServer server({.root = served_});
    if (server.missing())
        GTEST_SKIP() << server.error();
    ASSERT_TRUE(server.ok()) << server.error();
    auto item = add(server.url("/big.bin"));
    ASSERT_TRUE(run(*item));
    ASSERT_TRUE(completed_.count(item.get())) << item->status_text();
    EXPECT_EQ(item->total_size(), static_cast<std::int32_t>(kBigFile));
    EXPECT_TRUE(local() == big_);
    EXPECT_EQ(list_.count(), 0);
}

TEST_F(FtpDownloadTest, RealServerKilledAndRestartedIsResumedWithRest) {
    std::optional<test::PyftpdServer> server;
    server.emplace(test::PyftpdOptions{.root = served_, .rate = kThrottledRate});
    if (server->missing())
        GTEST_SKIP() << server->error();
    ASSERT_TRUE(server->ok()) << server->error();
    const int port = server->port();
    auto item = add(server->url("/big.bin"));
    bool restarted = false;
    ASSERT_TRUE(run(*item, [&] {
        if (!restarted && item->downloaded() >= kKillAfter) {
            server->kill();
            server.emplace(test::PyftpdOptions{.root = served_, .port = port});
            restarted = true;
        }
    }));
    EXPECT_TRUE(restarted);
    ASSERT_TRUE(completed_.count(item.get())) << item->status_text();
    EXPECT_TRUE(local() == big_);
    // The second server was asked for the rest only (REST): no byte came twice.
    EXPECT_EQ(item->downloaded(), static_cast<std::int32_t>(kBigFile));
}

TEST_F(FtpDownloadTest, DropsAreResumedAtTheFirstMissingByte) {
    const std::string content = test::generated_content(0, 500000);
    test::FakeFtpServer server({.file = content, .drop_after = 100000, .drops = 3});
    auto item = add(server.url("/f.bin"));
    ASSERT_TRUE(run(*item));
    ASSERT_TRUE(completed_.count(item.get())) << item->status_text();
    EXPECT_TRUE(local() == content);
    std::vector<std::string> rests;
    for (const std::string& c : server.commands()) {
        if (c.starts_with("REST ") && c != "REST 100" && c != "REST 0")
            rests.push_back(c);
    }
    EXPECT_EQ(rests, (std::vector<std::string>{"REST 100000", "REST 200000", "REST 300000"}));
}

TEST_F(FtpDownloadTest, RefusedResumeStartsTheFileOver) {
    // The list says the first half is there, but the server will not resume.
    const std::string content = test::generated_content(0, 300000);
    test::FakeFtpServer server({.file = content, .refuse_rest = true});
    auto item = add(server.url("/f.bin"));
    {
        auto data = item->lock();
        data->saved.resumable = 1;
        data->saved.total_size = 300000;
    }
    test::write_file(out_ + "/file.bin", content.substr(0, 150000));
    {
        auto data = item->lock();
        data->ranges.add(0, 150000);
        data->saved.range_count = 1;
        data->saved.downloaded = 150000;
    }
    // Starting over drops what is kept: the user is asked first.
    host_.answers.push_back(MessageAnswer::Yes);
    ASSERT_TRUE(run(*item));
    EXPECT_EQ(host_.message_list().size(), 1u);
    EXPECT_TRUE(local() == content);
    EXPECT_EQ(item->lock()->saved.resumable, 0);
}

TEST_F(FtpDownloadTest, RefusedLoginAsksForCredentials) {
    test::FakeFtpServer server({.file = "x", .password = "right"});
    auto item = add(server.url("/f.bin"));
    host_.credentials.push_back({"joe", "wrong", false});
    ASSERT_TRUE(run(*item));
    EXPECT_EQ(host_.credential_urls.size(), 1u);
    EXPECT_EQ(item->status_text(), "Error: Authentication Failed");
    EXPECT_EQ(item->state.load(), ItemState::Stopped);
}

TEST_F(FtpDownloadTest, AnOversizedReplyEndsTheRunWithItsOwnText) {
    test::FakeFtpServer server(
        {.greeting = "220 " + std::string(2 << 20, 'x') + "\r\n", .file = "x"});
    auto item = add(server.url("/f.bin"));
    ASSERT_TRUE(run(*item));
    EXPECT_EQ(item->status_text(), "Error: Response Too Long From Host");
    EXPECT_EQ(item->state.load(), ItemState::Stopped);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_FALSE(completed_.count(item.get()));
}

TEST_F(FtpDownloadTest, StopDuringAStalledReadEndsTheRunAtOnce) {
    const std::string content = test::generated_content(0, 100000);
    test::FakeFtpServer server({.file = content, .stall_after = 40000});
    auto item = add(server.url("/f.bin"));
    bool stopped = false;
    std::chrono::steady_clock::time_point stopped_at;
    ASSERT_TRUE(run(*item, [&] {
        if (!stopped && item->downloaded() == 40000) {
            stopped_at = std::chrono::steady_clock::now();
            stop_item(*item, controller_->env());
            stopped = true;
        }
    }));
    ASSERT_TRUE(stopped);
    // Well before the 5 s receive time-out: the stop itself ended the waiting read.
    EXPECT_LT(std::chrono::steady_clock::now() - stopped_at, std::chrono::seconds(2));
    EXPECT_EQ(item->state.load(), ItemState::Stopped);
    EXPECT_FALSE(completed_.count(item.get()));
    EXPECT_EQ(item->snapshot().ranges, (std::vector<ByteRange>{{0, 40000}}));
}

// `rlg get` of an ftp:// URL, the same way as HTTP.
TEST(FtpRlgGet, DownloadsAFileFromARealServer) {
    test::TempDir dir;
    const std::string content = test::random_bytes(kBigFile);
    test::write_file(dir.file("big.bin"), content);
    test::PyftpdServer server({.root = dir.path()});
    if (server.missing())
        GTEST_SKIP() << server.error();
    ASSERT_TRUE(server.ok()) << server.error();
    const std::string data = dir.file("data");
    const std::string out = dir.file("out");
    ::mkdir(data.c_str(), 0700);

    const pid_t pid =
        test::start_rlg({"--data-dir", data, "get", server.url("/big.bin"), "-d", out});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(test::wait_exit(pid), 0);
    EXPECT_EQ(test::file_size(out + "/big.bin"), static_cast<std::int64_t>(kBigFile));
    EXPECT_TRUE(test::read_file(out + "/big.bin") == content);
    EXPECT_EQ(test::file_size(data + "/RGList.rgl"), 0);
}

}  // namespace
}  // namespace rg
