// rlg stopped in the middle of a download and run again after the file on the server changed, or
// after `rlg set-url` gave the row another address: the file is never made of two versions.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/status_texts.h"
#include "support/fault_http_server.h"
#include "support/rlg_process.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kFileSize = 100000;
constexpr std::size_t kStopAt = 30000;
constexpr int kExitInterrupted = 130;
constexpr auto kProgressWait = 30s;
constexpr auto kPoll = 20ms;

bool contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

class RlgRestartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server_.ok()) << server_.error();
        ::mkdir(data_.c_str(), 0700);
    }

    test::RlgResult rlg(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--data-dir", data_});
        return test::run_rlg(args);
    }

    // `rlg get` of `url` interrupted once the server has sent kStopAt bytes (it stalls there):
    // the tool pauses the download and saves the list, as a user's Ctrl+C does.
    void get_interrupted(const std::string& url) {
        ASSERT_TRUE(server_.change("etag=%22v1%22&stall_after=" + std::to_string(kStopAt)));
        test::BackgroundRlg tool({"--data-dir", data_, "get", url, "-d", out_});
        ASSERT_TRUE(tool.started());
        const auto deadline = std::chrono::steady_clock::now() + kProgressWait;
        while (test::file_size(file_) < static_cast<std::int64_t>(kStopAt)) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline);
            std::this_thread::sleep_for(kPoll);
        }
        ASSERT_TRUE(tool.signal(SIGINT));
        ASSERT_EQ(tool.wait(), kExitInterrupted);
        ASSERT_TRUE(test::read_file(file_) == test::generated_content(0, kStopAt));
    }

    test::FaultHttpServer server_;
    test::TempDir dir_;
    std::string data_ = dir_.file("data");
    std::string out_ = dir_.file("out");
    std::string file_ = out_ + "/v.bin";
    std::string url_ = server_.url("/gen/" + std::to_string(kFileSize) + "/v.bin");
};

TEST_F(RlgRestartTest, AFileReplacedBetweenRunsIsRefusedAndTheListSaysWhy) {
    get_interrupted(url_);
    ASSERT_TRUE(server_.change("etag=%22v2%22&salt=1"));
    const test::RlgResult again = rlg({"get", url_, "-d", out_});
    EXPECT_EQ(again.exit_code, 1) << again.out << again.err;
    EXPECT_TRUE(test::read_file(file_) == test::generated_content(0, kStopAt));
    const test::RlgResult listed = rlg({"list"});
    EXPECT_TRUE(contains(listed.out, kFileChangedText)) << listed.out;
}

TEST_F(RlgRestartTest, SetUrlKeepsTheBytesOnlyForAFileOfTheSameSize) {
    get_interrupted(url_);
    ASSERT_TRUE(server_.change("etag=%22mirror%22"));

    // Refusals change nothing and say why in one line.
    const test::RlgResult bad = rlg({"set-url", "1", "gopher://example/v.bin"});
    EXPECT_EQ(bad.exit_code, 1);
    EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;
    EXPECT_EQ(rlg({"set-url", "2", url_}).exit_code, 1);
    EXPECT_EQ(rlg({"set-url", "1"}).exit_code, 2);

    // Another size: stopped with the changed-file error, the bytes untouched.
    const test::RlgResult other = rlg({"set-url", "1", server_.url("/gen/90000/v.bin")});
    EXPECT_EQ(other.exit_code, 0) << other.err;
    EXPECT_EQ(rlg({"start", "1"}).exit_code, 1);
    EXPECT_TRUE(test::read_file(file_) == test::generated_content(0, kStopAt));
    EXPECT_TRUE(contains(rlg({"list"}).out, kFileChangedText));

    // The same size: the download goes on from its bytes and completes.
    const std::string mirror = server_.url("/gen/" + std::to_string(kFileSize) + "/mirror.bin");
    ASSERT_EQ(rlg({"set-url", "1", mirror}).exit_code, 0);
    server_.change("");
    const auto before = server_.requests().size();
    EXPECT_EQ(rlg({"start", "1"}).exit_code, 0);
    EXPECT_TRUE(test::read_file(file_) == test::generated_content(0, kFileSize));
    const auto requests = server_.requests();
    ASSERT_GT(requests.size(), before);
    // From the bytes it held, without the old address's validator.
    const std::string range =
        test::FaultHttpServer::header(requests[before], "Range").value_or("(none)");
    EXPECT_TRUE(range.starts_with("bytes=" + std::to_string(kStopAt) + "-")) << range;
    EXPECT_FALSE(test::FaultHttpServer::header(requests[before], "If-Range"));
}

}  // namespace
}  // namespace rg
