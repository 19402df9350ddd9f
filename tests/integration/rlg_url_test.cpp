// What rlg makes of the URLs it is given: credentials in front of the host, and URLs that
// differ only in letter case, against the fault server.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/fault_http_server.h"
#include "support/rlg_process.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

constexpr std::size_t kBodySize = 1000;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class RlgUrlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::mkdir(data_.c_str(), 0700);
        ASSERT_TRUE(server_.ok()) << server_.error();
    }
    test::RlgResult rlg(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--data-dir", data_});
        return test::run_rlg(args);
    }
    // A URL of the server with user info in front of its host. The user name is "localhost",
    // so that a client that took it for the host would still stay on this machine.
    std::string url_with_user(const std::string& user_info, const std::string& path) const {
        return "http://" + user_info + "@127.0.0.1:" + std::to_string(server_.port()) + path;
    }

    test::TempDir dir_;
    std::string data_ = dir_.file("data");
    std::string out_ = dir_.file("out");
    test::FaultHttpServer server_{dir_.path()};
};

TEST_F(RlgUrlTest, GetSendsUrlCredentialsToTheHostAfterThem) {
    const std::string path = "/gen/" + std::to_string(kBodySize) + "/f.bin";
    const test::RlgResult get = rlg(
        {"get", url_with_user("localhost:s%40cret", path + "?auth=localhost:s@cret"), "-d", out_});
    ASSERT_EQ(get.exit_code, 0) << get.err << get.out;
    EXPECT_EQ(test::read_file(out_ + "/f.bin"), test::generated_content(0, kBodySize));
    const auto requests = server_.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(test::FaultHttpServer::header(requests.back(), "Authorization"),
              "Basic bG9jYWxob3N0OnNAY3JldA==");  // localhost:s@cret
    EXPECT_FALSE(contains(requests.back(), "cret@")) << requests.back();
}

TEST_F(RlgUrlTest, ListedUrlsNeverShowTheirPassword) {
    const std::string url = url_with_user("localhost:hunter2", "/gen/10/a.bin");
    const test::RlgResult add = rlg({"add", url, "-d", out_, "--not-scheduled"});
    ASSERT_EQ(add.exit_code, 0) << add.err;
    const test::RlgResult list = rlg({"list", "--long"});
    EXPECT_TRUE(contains(list.out, "127.0.0.1:" + std::to_string(server_.port()) + "/gen/10/a.bin"))
        << list.out;
    EXPECT_FALSE(contains(list.out, "hunter2")) << list.out;
    EXPECT_FALSE(contains(test::read_file(data_ + "/RGList.rgl"), "hunter2"));
}

TEST_F(RlgUrlTest, UnusableUrlCredentialsAreRefusedBeforeAnyRequest) {
    const std::string path = "/gen/10/b.bin";
    for (const std::string& user_info :
         {std::string("localhost:a%0D%0AQUIT"), "localhost:" + std::string(88, 'p')}) {
        const test::RlgResult get = rlg({"get", url_with_user(user_info, path), "-d", out_});
        EXPECT_NE(get.exit_code, 0);
        EXPECT_TRUE(contains(get.err, "User name and password may")) << get.err;
    }
    EXPECT_EQ(server_.stats().requests, 0);
    EXPECT_EQ(test::file_size(out_ + "/b.bin"), -1);
}

TEST_F(RlgUrlTest, GetDoesNotTakeAnotherDownloadWhosePathDiffersInCase) {
    test::write_file(dir_.file("report.bin"), "lower case file");
    test::write_file(dir_.file("Report.bin"), "Upper Case File");
    const std::string base = "HTTP://127.0.0.1:" + std::to_string(server_.port()) + "/files/";
    ASSERT_EQ(rlg({"add", base + "report.bin", "-d", out_, "--not-scheduled"}).exit_code, 0);

    const test::RlgResult get = rlg({"get", base + "Report.bin", "-d", out_});
    ASSERT_EQ(get.exit_code, 0) << get.err << get.out;
    EXPECT_EQ(test::read_file(out_ + "/Report.bin"), "Upper Case File");
    EXPECT_EQ(test::read_file(out_ + "/report.bin"), "");  // the other download was left alone
    EXPECT_TRUE(contains(rlg({"list"}).out, "report.bin"));
}

}  // namespace
}  // namespace rg
