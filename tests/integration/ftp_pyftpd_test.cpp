// The FTP client against a real server, pyftpdlib on loopback: whole files in active mode, and a
// transfer that survives the server being killed and started again.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "protocols/ftp_client.h"
#include "protocols/ftp_runtime.h"
#include "protocols/http_session.h"
#include "support/pyftpd_server.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

constexpr std::size_t kFileSize = 32u << 20;
constexpr std::int32_t kBlock = 64 * 1024;
// Slow enough that the kill lands in the middle of the transfer.
constexpr long kThrottledRate = 16l << 20;
constexpr std::size_t kKillAfter = 8u << 20;

class FtpPyftpdTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::write_file(dir_.file("big.bin"), content_);
        c_.session = &session_;
        c_.protocol = Protocol::Ftp;
    }
    void TearDown() override { ftp_close_connection(c_); }

    // Appends what arrives to `out` until the end or a failure, or until `stop_at` bytes.
    void read_into(std::string& out, std::size_t stop_at = SIZE_MAX) {
        std::vector<char> block(kBlock);
        while (out.size() < stop_at) {
            const std::int32_t n = ftp_read_data(c_, block.data(), kBlock);
            if (n <= 0)
                return;
            out.append(block.data(), static_cast<std::size_t>(n));
        }
    }

    const std::string content_ = test::random_bytes(kFileSize, 2024);
    test::TempDir dir_;
    HttpSession session_{HttpSessionOptions{}};
    Connection c_;
};

TEST_F(FtpPyftpdTest, ActiveModeDownloadIsByteIdentical) {
    test::PyftpdServer server({.root = dir_.path()});
    if (server.missing())
        GTEST_SKIP() << server.error();
    ASSERT_TRUE(server.ok()) << server.error();

    ASSERT_EQ(ftp_open_span(c_, server.url("/big.bin"), 0, 0, nullptr, nullptr), 1)
        << c_.response_text();
    EXPECT_EQ(c_.content_length, static_cast<std::int32_t>(kFileSize));
    EXPECT_EQ(c_.resumable, 1);
    std::string got;
    read_into(got);
    EXPECT_FALSE(c_.read_failed);
    EXPECT_EQ(got.size(), kFileSize);
    EXPECT_TRUE(got == content_);
    // Active mode did it: nothing made this download fall back to passive mode.
    EXPECT_FALSE(ftp_runtime(c_.ftp)->prefer_passive);
}

TEST_F(FtpPyftpdTest, ResumesWithRestAfterTheServerWasKilledAndStartedAgain) {
    std::optional<test::PyftpdServer> server;
    server.emplace(test::PyftpdOptions{.root = dir_.path(), .rate = kThrottledRate});
    if (server->missing())
        GTEST_SKIP() << server->error();
    ASSERT_TRUE(server->ok()) << server->error();
    const int port = server->port();
    const std::string url = server->url("/big.bin");

    ASSERT_EQ(ftp_open_span(c_, url, 0, 0, nullptr, nullptr), 1) << c_.response_text();
    std::string got;
    read_into(got, kKillAfter);
    ASSERT_GE(got.size(), kKillAfter);
    server->kill();
    read_into(got);
    // The control connection went with the server: not a clean end.
    EXPECT_TRUE(c_.read_failed);
    ASSERT_LT(got.size(), kFileSize);

    server.emplace(test::PyftpdOptions{.root = dir_.path(), .port = port});
    ASSERT_TRUE(server->ok()) << server->error();
    const auto resume_at = static_cast<std::int32_t>(got.size());
    ASSERT_EQ(ftp_open_span(c_, url, resume_at, 0, nullptr, nullptr), 1) << c_.response_text();
    EXPECT_EQ(c_.range_start, resume_at);
    read_into(got);
    EXPECT_FALSE(c_.read_failed);
    EXPECT_EQ(got.size(), kFileSize);
    EXPECT_TRUE(got == content_);
}

}  // namespace
}  // namespace rg
