// The FTP client against the scripted fake server: transcripts, odd replies, refusals, time-outs,
// data-port theft, passive fallback, interruption and clean-up.
#include "protocols/ftp_client.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "protocols/base64.h"
#include "protocols/ftp_runtime.h"
#include "protocols/http_session.h"
#include "protocols/stage_codes.h"
#include "support/fake_ftp_server.h"
#include "support/fault_http_server.h"

namespace rg {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t kConnectTimeoutMs = 400;
constexpr std::int32_t kReceiveTimeoutMs = 400;
constexpr auto kReplyLineTimeout = 400ms;
constexpr std::size_t kFileSize = 300000;
constexpr std::int32_t kBlock = 64 * 1024;

std::vector<std::uint32_t> g_stages;
std::atomic<int> g_reads{0};

void record_stage(const void*, DownloadItem*, std::uint32_t stage, const void*, std::size_t) {
    g_stages.push_back(stage);
    if (stage == kStageFtpDownloading)
        g_reads.fetch_add(1);
}

HttpSessionOptions short_timeouts() {
    HttpSessionOptions o;
    o.connect_timeout_ms = kConnectTimeoutMs;
    o.receive_timeout_ms = kReceiveTimeoutMs;
    return o;
}

Credentials encoded(std::string_view user, std::string_view password) {
    return {base64_encode_text(user, 1024).value(), base64_encode_text(password, 1024).value()};
}

// Compares downloaded bytes without printing them: sizes and the first difference.
::testing::AssertionResult same_bytes(const std::string& got, const std::string& expected) {
    if (got == expected)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure() << got.size() << " bytes instead of " << expected.size()
                                         << ", first difference at " << at;
}

// Commands with the changing part of PORT left out.
std::vector<std::string> transcript(const test::FakeFtpServer& server) {
    std::vector<std::string> out;
    for (const std::string& c : server.commands())
        out.push_back(c.starts_with("PORT ") ? "PORT *" : c);
    return out;
}

bool contains(const std::vector<std::string>& lines, std::string_view line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::size_t open_descriptors() {
    std::size_t count = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d))
            ++count;
        ::closedir(d);
    }
    return count;
}

std::size_t threads() {
    std::size_t count = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (::readdir(d))
            ++count;
        ::closedir(d);
    }
    return count;
}

class FtpClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        c_.session = &session_;
        c_.protocol = Protocol::Ftp;
        c_.status_callback = &record_stage;
        ftp_reset_interrupt(c_);
        ftp_runtime(c_.ftp)->timeouts.reply_line = kReplyLineTimeout;
        g_stages.clear();
    }
    void TearDown() override { ftp_close_connection(c_); }

    int open(const std::string& url, std::int32_t start = 0,
             const Credentials* credentials = nullptr) {
        return ftp_open_span(c_, url, start, 0, credentials, nullptr);
    }

    // Reads until the end or a failure.
    std::string read_all() {
        std::string out;
        std::vector<char> block(kBlock);
        while (true) {
            const std::int32_t n = ftp_read_data(c_, block.data(), kBlock);
            if (n <= 0)
                break;
            out.append(block.data(), static_cast<std::size_t>(n));
        }
        return out;
    }

    void expect_closed() {
        EXPECT_FALSE(c_.ftp.connected);
        EXPECT_EQ(c_.ftp.control_socket, kInvalidSocket);
        EXPECT_EQ(c_.ftp.data_socket, kInvalidSocket);
        EXPECT_EQ(c_.ftp.listen_socket, kInvalidSocket);
    }

    const std::string file_ = test::generated_content(0, kFileSize);
    HttpSession session_{short_timeouts()};
    Connection c_;
};

TEST_F(FtpClientTest, DownloadsInActiveModeWithTheExpectedCommandsAndStages) {
    test::FakeFtpServer server({.file = file_});
    ASSERT_TRUE(server.ok());
    ASSERT_EQ(open(server.url("/pub/file.bin")), 1) << c_.response_text();
    EXPECT_EQ(c_.content_length, static_cast<std::int32_t>(kFileSize));
    EXPECT_EQ(c_.resumable, 1);
    EXPECT_EQ(c_.range_start, 0);
    EXPECT_TRUE(same_bytes(read_all(), file_));
    EXPECT_FALSE(c_.read_failed);
    ftp_close_connection(c_);
    expect_closed();

    const std::vector<std::string> expected = {"USER anonymous",
                                               "PASS reelgrab@reelgrab.invalid",
                                               "TYPE I",
                                               "REST 100",
                                               "REST 0",
                                               "SIZE /pub/file.bin",
                                               "MDTM /pub/file.bin",
                                               "PORT *",
                                               "RETR /pub/file.bin"};
    EXPECT_EQ(transcript(server), expected);

    // The stage codes in the order of the work; 714 before every read.
    ASSERT_GE(g_stages.size(), 10u);
    const std::vector<std::uint32_t> head(g_stages.begin(), g_stages.begin() + 7);
    EXPECT_EQ(head,
              (std::vector<std::uint32_t>{
                  kStageFtpClosingBegins, kStageFtpClosed, kStageFtpConnecting, kStageFtpConnected,
                  kStageFtpAuthenticating, kStageFtpTestingResume, kStageFtpRequestingFile}));
    EXPECT_EQ(g_stages[7], kStageFtpDownloading);
    EXPECT_EQ(g_stages[g_stages.size() - 2], kStageFtpClosingBegins);
    EXPECT_EQ(g_stages.back(), kStageFtpClosed);
}

TEST_F(FtpClientTest, LoginVariants) {
    {
        // A server that logs in on USER is not asked for a password.
        test::FakeFtpServer server({.file = file_, .user_logs_in = true});
        ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
        const auto sent = transcript(server);
        ASSERT_GE(sent.size(), 2u);
        EXPECT_EQ(sent[0], "USER anonymous");
        EXPECT_EQ(sent[1], "TYPE I");
    }
    {
        // Stored credentials are decoded just before they are sent.
        test::FakeFtpServer server({.file = file_, .password = "s3cret"});
        const Credentials right = encoded("joe", "s3cret");
        ASSERT_EQ(open(server.url("/f"), 0, &right), 1) << c_.response_text();
        EXPECT_EQ(transcript(server)[0], "USER joe");
        EXPECT_EQ(transcript(server)[1], "PASS s3cret");
    }
    {
        // A refused login is the 401 that leads the worker to stored or asked credentials.
        test::FakeFtpServer server({.file = file_, .password = "s3cret"});
        const Credentials wrong = encoded("joe", "guess");
        EXPECT_EQ(open(server.url("/f"), 0, &wrong), 0);
        EXPECT_EQ(c_.response_text(), "Error: Authentication Failed");
        EXPECT_EQ(c_.status_code, 401);
        EXPECT_EQ(c_.error_code, 0u);
        expect_closed();
        EXPECT_FALSE(contains(transcript(server), "RETR /f"));
    }
}

TEST_F(FtpClientTest, ResumeSupportAndOffsets) {
    {
        // REST 100 refused: the download stays as it was reported (not resumable), the transfer
        // still runs, and an offset of 0 sends no REST.
        test::FakeFtpServer server({.file = file_, .refuse_rest = true});
        ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
        EXPECT_EQ(c_.resumable, kResumableNotReported);
        EXPECT_TRUE(same_bytes(read_all(), file_));
        const auto sent = transcript(server);
        EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                                [](const std::string& s) { return s.starts_with("REST"); }),
                  1);
    }
    {
        // Resuming sends REST with the offset, right before RETR.
        test::FakeFtpServer server({.file = file_});
        ASSERT_EQ(open(server.url("/f"), 123456), 1) << c_.response_text();
        EXPECT_EQ(c_.range_start, 123456);
        EXPECT_EQ(c_.content_length, static_cast<std::int32_t>(kFileSize));
        EXPECT_TRUE(same_bytes(read_all(), file_.substr(123456)));
        const auto sent = transcript(server);
        ASSERT_GE(sent.size(), 3u);
        EXPECT_EQ(sent[sent.size() - 3], "PORT *");
        EXPECT_EQ(sent[sent.size() - 2], "REST 123456");
        EXPECT_EQ(sent.back(), "RETR /f");
    }
    {
        // A server that will not resume sends the whole file: it must start at 0, never be
        // written at the requested offset, and the download is no longer resumable.
        test::FakeFtpServer server({.file = file_, .refuse_rest = true});
        ASSERT_EQ(open(server.url("/f"), 5000), 1) << c_.response_text();
        EXPECT_EQ(c_.range_start, 0);
        EXPECT_EQ(c_.resumable, 0);
        EXPECT_TRUE(same_bytes(read_all(), file_));
    }
}

TEST_F(FtpClientTest, SizeFromSizeReplyOr150Line) {
    {
        test::FakeFtpServer server(
            {.file = file_,
             .size_supported = false,
             .retr_preliminary =
                 "150 Opening BINARY mode data connection for f (300000 bytes).\r\n"});
        ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
        EXPECT_EQ(c_.content_length, 300000);
        EXPECT_TRUE(same_bytes(read_all(), file_));
    }
    {
        test::FakeFtpServer server({.file = file_, .size_supported = false});
        ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
        EXPECT_EQ(c_.content_length, 0);
    }
    {
        // Sizes past the largest file leave the size unknown.
        test::FakeFtpServer server(
            {.file = file_,
             .size_supported = false,
             .retr_preliminary = "150 Opening (4611686018427387905 bytes).\r\n",
             .replies = {{"SIZE", "213 4611686018427387905\r\n"}}});
        ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
        EXPECT_EQ(c_.content_length, 0);
    }
    {
        test::FakeFtpServer server({.file = file_, .replies = {{"SIZE", "213 -12\r\n"}}});
        ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
        EXPECT_EQ(c_.content_length, 0);
    }
}

TEST_F(FtpClientTest, TheFileTimeIsTheValidator) {
    {
        test::FakeFtpServer server({.file = file_, .modified = "20261130235959.123"});
        ASSERT_EQ(open(server.url("/f"), 1000), 1) << c_.response_text();
        EXPECT_EQ(c_.validator, "20261130235959.123");
    }
    {
        // No MDTM, or an answer that is no time: no validator, and the transfer runs all the same.
        test::FakeFtpServer server({.file = file_, .modified = ""});
        ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
        EXPECT_EQ(c_.validator, "");
        EXPECT_TRUE(same_bytes(read_all(), file_));
    }
    {
        test::FakeFtpServer server({.file = file_, .replies = {{"MDTM", "213 yesterday\r\n"}}});
        ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
        EXPECT_EQ(c_.validator, "");
    }
}

TEST_F(FtpClientTest, UnusualButValidReplies) {
    {
        test::FakeFtpServer server(
            {.greeting = "220-Welcome\r\n220-Second line\r\n220 Ready\r\n", .file = file_});
        ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
        EXPECT_TRUE(same_bytes(read_all(), file_));
    }
    {
        // LF-only line ends, text inner lines, NUL bytes inside a reply.
        test::FakeFtpServer server(
            {.greeting = "220-Welcome\n this is text\n220 Ready\n",
             .file = file_,
             .replies = {{"TYPE", "200 Type set\0 to I\n"s}, {"USER", "331 Password\n"}}});
        ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
        EXPECT_TRUE(same_bytes(read_all(), file_));
    }
    {
        // The 150 and the 226 in one write: both are consumed and the end is clean.
        test::FakeFtpServer server({.file = file_, .final_with_preliminary = true});
        ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
        EXPECT_TRUE(same_bytes(read_all(), file_));
        EXPECT_FALSE(c_.read_failed);
    }
}

TEST_F(FtpClientTest, GarbledRepliesFailCleanlyAsUnusableServers) {
    std::string endless = "200-a\r\n";
    for (int i = 0; i < 400; ++i)
        endless += "200-again\r\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"USER", "hello there\r\n"},
        {"PASS",
         "2\0"
         "30 x\r\n"s},
    };
    for (const auto& [verb, reply] : cases) {
        test::FakeFtpServer server({.file = file_, .replies = {{verb, reply}}});
        const auto started = Clock::now();
        EXPECT_EQ(open(server.url("/f")), 0) << verb;
        EXPECT_LT(Clock::now() - started, 3s) << verb;
        EXPECT_EQ(c_.response_text(), "Error Recieving Data") << verb;
        EXPECT_EQ(c_.error_code, kErrorCannotConnect) << verb;
        expect_closed();
    }

    // Replies past the reader's bounds say so, and are no passing failure to retry: the same
    // server answers the same way again.
    const std::string huge_line = "220 " + std::string(2 << 20, 'x') + "\r\n";
    const std::vector<std::pair<std::string, std::string>> too_long = {
        {"TYPE", endless},
        {"SIZE", std::string(70 * 1024, 'x')},
        {"", huge_line},
    };
    for (const auto& [verb, reply] : too_long) {
        test::FakeFtpScript script{.file = file_};
        if (verb.empty())
            script.greeting = reply;
        else
            script.replies = {{verb, reply}};
        test::FakeFtpServer server(script);
        const auto started = Clock::now();
        EXPECT_EQ(open(server.url("/f")), 0) << verb;
        EXPECT_LT(Clock::now() - started, 3s) << verb;
        EXPECT_EQ(c_.response_text(), "Error: Response Too Long From Host") << verb;
        EXPECT_EQ(c_.error_code, 0u) << verb;
        expect_closed();
    }
}

TEST_F(FtpClientTest, PathIsSentPercentDecoded) {
    test::FakeFtpServer server({.file = file_});
    ASSERT_EQ(open(server.url("/dir/a%20b%2B.zip")), 1) << c_.response_text();
    EXPECT_TRUE(same_bytes(read_all(), file_));
    const auto commands = transcript(server);
    EXPECT_TRUE(contains(commands, "SIZE /dir/a b+.zip"));
    EXPECT_TRUE(contains(commands, "RETR /dir/a b+.zip"));
}

TEST_F(FtpClientTest, RefusalsAndUnreachableServers) {
    {
        test::FakeFtpServer server({.file = file_, .replies = {{"RETR", "550 No such file.\r\n"}}});
        EXPECT_EQ(open(server.url("/missing")), 0);
        EXPECT_EQ(c_.response_text(), "Error: File Not Found");
        EXPECT_EQ(c_.status_code, 404);
        expect_closed();
    }
    {
        // A greeting other than 220 is a server that cannot be used now; its own words say why.
        test::FakeFtpServer server({.greeting = "421 Too many users, try later\r\n"});
        EXPECT_EQ(open(server.url("/f")), 0);
        EXPECT_EQ(c_.response_text(), "421 Too many users, try later");
        EXPECT_EQ(c_.error_code, kErrorCannotConnect);
        expect_closed();
    }
    {
        // Nothing listens on a port that was just released.
        int port = 0;
        {
            test::FakeFtpServer gone({});
            port = gone.port();
        }
        EXPECT_EQ(open("ftp://127.0.0.1:" + std::to_string(port) + "/f"), 0);
        EXPECT_EQ(c_.response_text(), "Error Connecting to Host");
        EXPECT_EQ(c_.error_code, kErrorCannotConnect);
    }
    {
        // Taken as an address because it starts with a digit, so no name server is asked.
        EXPECT_EQ(open("ftp://999.0.0.1/f"), 0);
        EXPECT_EQ(c_.response_text(), "Error Resolving Host");
        EXPECT_EQ(c_.error_code, kErrorCannotConnect);
    }
}

TEST_F(FtpClientTest, RequestsThatCannotBeSentSafelyFailWithoutTraffic) {
    test::FakeFtpServer server({.file = file_});
    const Credentials injected = encoded("joe\r\nDELE /f", "p");
    const std::vector<std::pair<std::string, const Credentials*>> cases = {
        {"ftp://127.0.0.1:" + std::to_string(server.port()), nullptr},
        {server.url("/f\r\nDELE /f"), nullptr},
        {server.url("/f\nDELE /f"), nullptr},
        {server.url("/f"), &injected},
    };
    for (const auto& [url, credentials] : cases) {
        EXPECT_EQ(open(url, 0, credentials), 0) << url;
        EXPECT_EQ(c_.response_text(), "Error: Invalid FTP Request");
        EXPECT_EQ(c_.error_code, 0u);
        EXPECT_EQ(c_.status_code, 0);
    }
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(FtpClientTest, TimeOutsEndWithClearTextsAndClosedSessions) {
    {
        test::FakeFtpServer silent({.greeting = ""});
        const auto started = Clock::now();
        EXPECT_EQ(open(silent.url("/f")), 0);
        EXPECT_LT(Clock::now() - started, 2s);
        EXPECT_EQ(c_.response_text(), "Error: Timout Recieving Response From Host");
        EXPECT_EQ(c_.error_code, kErrorCannotConnect);
        expect_closed();
    }
    {
        // A listener whose queue is full never completes a connect.
        const int full = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        ASSERT_EQ(::bind(full, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(::listen(full, 0), 0);
        ASSERT_EQ(::getsockname(full, reinterpret_cast<sockaddr*>(&a), &length), 0);
        std::vector<int> fillers;
        for (int i = 0; i < 3; ++i) {
            const int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(f, reinterpret_cast<sockaddr*>(&a), sizeof a);
            fillers.push_back(f);
        }
        const auto started = Clock::now();
        EXPECT_EQ(open("ftp://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/f"), 0);
        const auto took = Clock::now() - started;
        EXPECT_GE(took, std::chrono::milliseconds(kConnectTimeoutMs - 50));
        EXPECT_LT(took, 3s);
        EXPECT_EQ(c_.response_text(), "Error: Timout Connecting to Host");
        EXPECT_EQ(c_.error_code, kErrorCannotConnect);
        for (int f : fillers)
            ::close(f);
        ::close(full);
    }
    {
        // A data connection that goes silent: the read gives up after the receive time-out.
        test::FakeFtpServer stalled({.file = file_, .stall_after = 1000});
        ASSERT_EQ(open(stalled.url("/f")), 1) << c_.response_text();
        const auto started = Clock::now();
        EXPECT_TRUE(same_bytes(read_all(), file_.substr(0, 1000)));
        EXPECT_LT(Clock::now() - started, 3s);
        EXPECT_TRUE(c_.read_failed);
        EXPECT_EQ(c_.error_code, kErrorTimeout);
        EXPECT_EQ(c_.ftp.error_text(), "Error: Timeout Receiving Data");
    }
}

TEST_F(FtpClientTest, DropInTheMiddleResumesWithRestAtTheFirstMissingByte) {
    test::FakeFtpServer server({.file = file_, .drop_after = 100000});
    ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
    std::string got = read_all();
    EXPECT_TRUE(same_bytes(got, file_.substr(0, 100000)));
    // The server said 426: the end was a break, not the end of the file.
    EXPECT_TRUE(c_.read_failed);

    ASSERT_EQ(open(server.url("/f"), static_cast<std::int32_t>(got.size())), 1);
    got += read_all();
    EXPECT_FALSE(c_.read_failed);
    EXPECT_TRUE(same_bytes(got, file_));
    EXPECT_TRUE(contains(transcript(server), "REST 100000"));
    EXPECT_EQ(server.connections(), 2);
}

TEST_F(FtpClientTest, DataConnectionsFromOtherAddressesAreTurnedAway) {
    test::FakeFtpServer server({.file = file_, .foreign_first = true});
    ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
    EXPECT_TRUE(same_bytes(read_all(), file_));
    EXPECT_FALSE(c_.read_failed);
    EXPECT_EQ(server.foreign_closed(), 1);
}

TEST_F(FtpClientTest, PassiveModeWhenActiveModeFails) {
    {
        // Only a stranger connects back: after the wait, the transfer runs again in passive mode,
        // and later transfers of this download go passive at once.
        test::FakeFtpServer server({.file = file_, .connect_from = "127.0.0.2"});
        const auto started = Clock::now();
        ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
        EXPECT_LT(Clock::now() - started, 3s);
        EXPECT_TRUE(same_bytes(read_all(), file_));
        EXPECT_EQ(server.foreign_closed(), 1);
        EXPECT_EQ(server.connections(), 2);
        const auto sent = transcript(server);
        EXPECT_TRUE(contains(sent, "PORT *"));
        EXPECT_TRUE(contains(sent, "PASV"));

        ASSERT_EQ(open(server.url("/f"), 1000), 1) << c_.response_text();
        EXPECT_TRUE(same_bytes(read_all(), file_.substr(1000)));
        const auto again = transcript(server);
        EXPECT_EQ(std::vector<std::string>(again.end() - 3, again.end()),
                  (std::vector<std::string>{"PASV", "REST 1000", "RETR /f"}));
    }
    {
        // PORT refused: passive mode on the same session.
        Connection fresh;
        fresh.session = &session_;
        fresh.protocol = Protocol::Ftp;
        test::FakeFtpServer server({.file = file_, .refuse_port = true});
        ASSERT_EQ(ftp_open_span(fresh, server.url("/f"), 0, 0, nullptr, nullptr), 1)
            << fresh.response_text();
        const auto sent = transcript(server);
        EXPECT_EQ(std::vector<std::string>(sent.end() - 3, sent.end()),
                  (std::vector<std::string>{"PORT *", "PASV", "RETR /f"}));
        EXPECT_EQ(server.connections(), 1);
        ftp_close_connection(fresh);
    }
    {
        // Neither works: a clear text, and nothing left open.
        Connection fresh;
        fresh.session = &session_;
        fresh.protocol = Protocol::Ftp;
        test::FakeFtpServer server({.file = file_, .refuse_passive = true, .never_connect = true});
        EXPECT_EQ(ftp_open_span(fresh, server.url("/f"), 0, 0, nullptr, nullptr), 0);
        EXPECT_EQ(fresh.response_text(), "Error: Timeout Waiting for the Data Connection");
        EXPECT_EQ(fresh.status_code, 404);
        EXPECT_FALSE(fresh.ftp.connected);
        EXPECT_EQ(fresh.ftp.listen_socket, kInvalidSocket);
    }
}

TEST_F(FtpClientTest, InterruptEndsAnyWaitPromptlyUntilReset) {
    ftp_runtime(c_.ftp)->timeouts.reply_line = 30s;
    test::FakeFtpServer silent({.greeting = ""});
    Clock::time_point interrupted_at;
    std::thread stopper([&] {
        while (silent.connections() == 0)
            std::this_thread::yield();
        interrupted_at = Clock::now();
        ftp_interrupt(c_);
    });
    EXPECT_EQ(open(silent.url("/f")), 0);
    const auto returned_at = Clock::now();
    stopper.join();
    EXPECT_LT(returned_at - interrupted_at, 100ms);
    EXPECT_EQ(c_.response_text(), "Error: The operation was cancelled");
    EXPECT_EQ(c_.error_code, 12017u);
    expect_closed();

    // Still interrupted: a stop that comes between two calls is not lost.
    test::FakeFtpServer server({.file = file_});
    EXPECT_EQ(open(server.url("/f")), 0);
    EXPECT_EQ(server.connections(), 0);

    ftp_reset_interrupt(c_);
    ASSERT_EQ(open(server.url("/f")), 1) << c_.response_text();
    EXPECT_TRUE(same_bytes(read_all(), file_));
}

TEST_F(FtpClientTest, InterruptEndsAWaitingRead) {
    session_.set_options([] {
        HttpSessionOptions o = short_timeouts();
        o.receive_timeout_ms = 30000;
        return o;
    }());
    test::FakeFtpServer stalled({.file = file_, .stall_after = 10});
    ASSERT_EQ(open(stalled.url("/f")), 1) << c_.response_text();
    g_reads = 0;
    std::vector<char> block(kBlock);
    ASSERT_EQ(ftp_read_data(c_, block.data(), kBlock), 10);
    // Interrupts once the next read has begun.
    std::thread stopper([&] {
        while (g_reads.load() < 2)
            std::this_thread::yield();
        ftp_interrupt(c_);
    });
    const auto started = Clock::now();
    EXPECT_EQ(ftp_read_data(c_, block.data(), kBlock), 0);
    stopper.join();
    EXPECT_LT(Clock::now() - started, 1s);
    EXPECT_TRUE(c_.read_failed);
    EXPECT_EQ(c_.error_code, 12017u);
}

TEST_F(FtpClientTest, NoDescriptorOrThreadOutlivesFailedOrCancelledTransfers) {
    // One whole transfer first, so that threads the runtime starts once (a sanitizer's helper,
    // say) are there before counting.
    {
        test::FakeFtpServer warm({.file = file_});
        ASSERT_EQ(open(warm.url("/f")), 1);
        read_all();
        ftp_close_connection(c_);
    }
    const std::size_t descriptors = open_descriptors();
    const std::size_t thread_count = threads();
    {
        test::FakeFtpServer refused({.file = file_, .replies = {{"RETR", "550 No.\r\n"}}});
        EXPECT_EQ(open(refused.url("/f")), 0);
        test::FakeFtpServer stalled({.file = file_, .stall_after = 10});
        ASSERT_EQ(open(stalled.url("/f")), 1);
        read_all();
        ftp_close_connection(c_);
        test::FakeFtpServer lost({.file = file_, .refuse_passive = true, .never_connect = true});
        EXPECT_EQ(open(lost.url("/f")), 0);
        test::FakeFtpServer working({.file = file_});
        ASSERT_EQ(open(working.url("/f")), 1);
        ftp_interrupt(c_);
        EXPECT_TRUE(same_bytes(read_all(), ""));
        ftp_close_connection(c_);
        ftp_reset_interrupt(c_);
    }
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(threads(), thread_count);
}

TEST_F(FtpClientTest, SessionOperationsNeedAConnection) {
    FtpSession s;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ftp_login(s, "a", "b"), 0);
    EXPECT_FALSE(ftp_test_resume(s));
    EXPECT_FALSE(ftp_query_size(s, "/f"));
    ftp_set_binary(s);
    EXPECT_EQ(ftp_retrieve(s, "", 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Not Connected.\nNot Connected.\nNot Connected.\nNot Connected.\n"
              "No file specified.\n");

    test::FakeFtpServer server({.file = file_});
    ASSERT_EQ(ftp_connect(s, "127.0.0.1", server.port()), 220);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ftp_connect(s, "127.0.0.1", server.port()), 220);
    ftp_set_binary(s);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Already connected.  Close connection first.\nFile transfer modes set to binary.\n");
    EXPECT_EQ(server.connections(), 1);
    ftp_close_sockets(s);
    EXPECT_FALSE(s.connected);
}

}  // namespace
}  // namespace rg
