// rlg get against nginx: whole files arrive byte-identical, also after the tool was killed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/legacy_list.h"
#include "support/nginx_server.h"
#include "support/rlg_process.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

constexpr std::size_t kFileSize = 64u << 20;

class RlgGetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::NginxServer::available())
            GTEST_SKIP() << test::NginxServer::missing_message();
    }
    test::TempDir dir_;
    std::string data_ = dir_.file("data");
    std::string out_ = dir_.file("out");
};

TEST_F(RlgGetTest, LargeFileArrivesWholeAndLeavesTheList) {
    test::NginxServer nginx;
    const std::string content = test::random_bytes(kFileSize, 99);
    test::write_file(nginx.root() + "/big.bin", content);
    ::mkdir(data_.c_str(), 0700);
    const pid_t pid =
        test::start_rlg({"--data-dir", data_, "get", nginx.url("/big.bin"), "-d", out_});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(test::wait_exit(pid), 0);
    EXPECT_TRUE(test::read_file(out_ + "/big.bin") == content);
    EXPECT_EQ(test::file_size(data_ + "/RGList.rgl"), 0);
}

TEST_F(RlgGetTest, AFileAlreadyCompleteIsNotFetchedAgainUnlessACopyIsAsked) {
    test::NginxServer nginx;
    const std::string content = test::random_bytes(4096, 5);
    test::write_file(nginx.root() + "/small.bin", content);
    ::mkdir(data_.c_str(), 0700);
    const std::vector<std::string> get{"--data-dir", data_, "get", nginx.url("/small.bin"),
                                       "-d",         out_};
    ASSERT_EQ(test::run_rlg(get).exit_code, 0);
    ASSERT_TRUE(test::read_file(out_ + "/small.bin") == content);

    const test::RlgResult again = test::run_rlg(get);
    EXPECT_EQ(again.exit_code, 0) << again.err;
    EXPECT_NE(again.out.find("already complete"), std::string::npos) << again.out;
    EXPECT_EQ(test::file_size(out_ + "/small (1).bin"), -1);
    EXPECT_EQ(test::file_size(data_ + "/RGList.rgl"), 0);

    std::vector<std::string> copy = get;
    copy.push_back("--copy");
    EXPECT_EQ(test::run_rlg(copy).exit_code, 0);
    EXPECT_TRUE(test::read_file(out_ + "/small (1).bin") == content);
}

TEST_F(RlgGetTest, KilledAndStartedAgainContinuesFromTheSavedRanges) {
    // Slow enough that the list is saved with ranges (every 10 s) before the kill.
    test::NginxServer nginx({.server_config = "limit_rate 5m;"});
    const std::string content = test::random_bytes(kFileSize, 99);
    test::write_file(nginx.root() + "/big.bin", content);
    ::mkdir(data_.c_str(), 0700);
    const std::vector<std::string> args{"--data-dir",          data_, "get",
                                        nginx.url("/big.bin"), "-d",  out_};
    const pid_t first = test::start_rlg(args);
    ASSERT_GT(first, 0);
    const std::string list = data_ + "/RGList.rgl";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    // Header, one block and at least one range: a save has recorded progress.
    while (test::legacy_part_size(test::read_file(list)) < 8 + 5388 + 8) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::mt19937 random(std::random_device{}());
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 1000));
    ::kill(first, SIGKILL);
    EXPECT_EQ(test::wait_exit(first), 128 + SIGKILL);
    const std::int64_t partial = test::file_size(out_ + "/big.bin");
    EXPECT_GT(partial, 0);
    EXPECT_LT(partial, static_cast<std::int64_t>(kFileSize));

    const pid_t second = test::start_rlg(args);
    ASSERT_GT(second, 0);
    EXPECT_EQ(test::wait_exit(second), 0);
    // The same item went on: no second file was made.
    EXPECT_EQ(test::file_size(out_ + "/big (1).bin"), -1);
    EXPECT_TRUE(test::read_file(out_ + "/big.bin") == content);
    EXPECT_EQ(test::file_size(list), 0);
}

}  // namespace
}  // namespace rg
