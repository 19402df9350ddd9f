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

#include "support/nginx_server.h"
#include "support/temp_dir.h"

extern char** environ;

namespace rg {
namespace {

constexpr std::size_t kFileSize = 64u << 20;

std::string random_bytes(std::size_t size) {
    std::mt19937_64 random(99);
    std::string out(size, '\0');
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t v = random();
        std::memcpy(out.data() + i, &v, 8);
    }
    return out;
}

pid_t start_rlg(const std::vector<std::string>& args) {
    std::vector<std::string> argv{RG_RLG_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int wait_exit(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::int64_t file_size(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

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
    const std::string content = random_bytes(kFileSize);
    test::write_file(nginx.root() + "/big.bin", content);
    ::mkdir(data_.c_str(), 0700);
    const pid_t pid = start_rlg({"--data-dir", data_, "get", nginx.url("/big.bin"), "-d", out_});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(wait_exit(pid), 0);
    EXPECT_TRUE(test::read_file(out_ + "/big.bin") == content);
    EXPECT_EQ(file_size(data_ + "/RGList.rgl"), 0);
}

TEST_F(RlgGetTest, KilledAndStartedAgainContinuesFromTheSavedRanges) {
    // Slow enough that the list is saved with ranges (every 10 s) before the kill.
    test::NginxServer nginx({.server_config = "limit_rate 5m;"});
    const std::string content = random_bytes(kFileSize);
    test::write_file(nginx.root() + "/big.bin", content);
    ::mkdir(data_.c_str(), 0700);
    const std::vector<std::string> args{"--data-dir",          data_, "get",
                                        nginx.url("/big.bin"), "-d",  out_};
    const pid_t first = start_rlg(args);
    ASSERT_GT(first, 0);
    const std::string list = data_ + "/RGList.rgl";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    // Header, one block and at least one range: a save has recorded progress.
    while (file_size(list) < 8 + 5388 + 8) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::mt19937 random(std::random_device{}());
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 1000));
    ::kill(first, SIGKILL);
    EXPECT_EQ(wait_exit(first), 128 + SIGKILL);
    const std::int64_t partial = file_size(out_ + "/big.bin");
    EXPECT_GT(partial, 0);
    EXPECT_LT(partial, static_cast<std::int64_t>(kFileSize));

    const pid_t second = start_rlg(args);
    ASSERT_GT(second, 0);
    EXPECT_EQ(wait_exit(second), 0);
    // The same item went on: no second file was made.
    EXPECT_EQ(file_size(out_ + "/big (1).bin"), -1);
    EXPECT_TRUE(test::read_file(out_ + "/big.bin") == content);
    EXPECT_EQ(file_size(list), 0);
}

}  // namespace
}  // namespace rg
