// The HTTP client against the fault-injecting test server on loopback: ranges, answers, names,
// credentials, redirects, keep-alive, interrupts, time-outs and refused headers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/local_file.h"
#include "platform/network_state.h"
#include "protocols/base64.h"
#include "protocols/http_session.h"
#include "protocols/http_transfer.h"
#include "protocols/stage_codes.h"
#include "protocols/transfer_ops.h"
#include "support/fault_http_server.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

using Clock = std::chrono::steady_clock;
using test::FaultHttpServer;
using test::generated_content;

constexpr std::int32_t kReadBlock = 64 * 1024;
// Bounds that only a hang would pass; the behaviour itself takes milliseconds.
constexpr auto kPromptly = std::chrono::seconds(1);
constexpr std::int32_t kTestReceiveTimeoutMs = 10000;

struct Stage {
    std::uint32_t code;
    std::string information;
};

// Stage reports land in the vector the context points to.
void record_stage(const void*, DownloadItem* context, std::uint32_t code, const void* information,
                  std::size_t length) {
    auto* stages = reinterpret_cast<std::vector<Stage>*>(context);
    stages->push_back(
        {code, information ? std::string(static_cast<const char*>(information), length) : ""});
}

HttpSessionOptions direct_options() {
    HttpSessionOptions o;
    o.use_system_proxy = false;
    o.connect_timeout_ms = kTestReceiveTimeoutMs;
    o.receive_timeout_ms = kTestReceiveTimeoutMs;
    return o;
}

Credentials encoded(std::string_view user, std::string_view password) {
    return {*base64_encode_text(user, kCredentialCapacity),
            *base64_encode_text(password, kCredentialCapacity)};
}

class HttpClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok()) << server.error();
        c.session = &session;
        c.status_callback = &record_stage;
        c.context = reinterpret_cast<DownloadItem*>(&stages);
    }

    int open(std::string_view path, std::int64_t start = 0, std::int64_t length = 0,
             const Credentials* credentials = nullptr) {
        named = false;
        return open_span(c, server.url(path), start, length, credentials, &named);
    }

    // Reads the open span to its end (or failure) in large blocks.
    std::string read_all() {
        std::string body;
        std::vector<char> block(kReadBlock);
        while (const std::int32_t n = read_data(c, block.data(), kReadBlock))
            body.append(block.data(), static_cast<std::size_t>(n));
        return body;
    }

    std::vector<std::uint32_t> stage_codes() const {
        std::vector<std::uint32_t> codes;
        for (const Stage& s : stages)
            codes.push_back(s.code);
        return codes;
    }

    std::vector<std::string> redirects() const {
        std::vector<std::string> urls;
        for (const Stage& s : stages) {
            if (s.code == kStageRedirect)
                urls.push_back(s.information);
        }
        return urls;
    }

    FaultHttpServer server;
    HttpSession session{direct_options()};
    Connection c;
    std::vector<Stage> stages;
    bool named = false;
};

// ---- requests and answers ----

TEST_F(HttpClientTest, ReadsTheRequestedSpan) {
    ASSERT_EQ(open("/gen/5000", 1000, 500), 1) << c.response_text();
    EXPECT_EQ(c.status_code, 206);
    EXPECT_EQ(c.reason_text(), "Partial Content");
    EXPECT_EQ(c.content_length, 500);
    EXPECT_EQ(c.range_start, 1000);
    EXPECT_EQ(c.range_end, 1499);
    EXPECT_EQ(c.range_total, 5000);
    EXPECT_EQ(c.resumable, 1);
    EXPECT_EQ(read_all(), generated_content(1000, 500));
    EXPECT_FALSE(c.read_failed);
    EXPECT_EQ(read_data(c, nullptr, 0), 0);
}

TEST_F(HttpClientTest, SendsTheRangeOfTheSpanAlways) {
    struct Case {
        std::int32_t start, length;
        const char* range;
    };
    const Case cases[] = {{1000, 500, "bytes=1000-1499"},
                          {1000, 0, "bytes=1000-"},
                          {0, 1, "bytes=0-0"},
                          {0, 0, "bytes=0-"}};
    for (const Case& k : cases) {
        ASSERT_EQ(open("/gen/5000", k.start, k.length), 1) << c.response_text();
        close_connection(c);
    }
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), std::size(cases));
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(FaultHttpServer::header(requests[i], "Range"), cases[i].range);
        EXPECT_EQ(FaultHttpServer::header(requests[i], "Authorization"), std::nullopt);
        EXPECT_EQ(FaultHttpServer::header(requests[i], "Cookie"), std::nullopt);
        EXPECT_EQ(FaultHttpServer::header(requests[i], "User-Agent"),
                  HttpSessionOptions{}.user_agent);
    }
}

TEST_F(HttpClientTest, RefusesSpansOutsideTheOffsets) {
    EXPECT_EQ(open("/gen/5000", -1, 0), 0);
    EXPECT_EQ(open("/gen/5000", kMaxFileSize - 0x100, 0x1000), 0);
    EXPECT_NE(c.error_code, 0u);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(HttpClientTest, RangeSupportFollowsTheAnswer) {
    struct Case {
        const char* query;
        int status;
        std::int32_t resumable;
    };
    const Case cases[] = {
        {"", 206, 1},
        {"?ignore_range=1", 200, 0},
        {"?ignore_range=1&accept_ranges=bytes", 200, 1},
        {"?ignore_range=1&header=accept-ranges:BYTES", 200, 1},
        {"?ignore_range=1&accept_ranges=none", 200, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.query);
        ASSERT_EQ(open(std::string("/gen/3000") + k.query, 100, 0), 1) << c.response_text();
        EXPECT_EQ(c.status_code, k.status);
        EXPECT_EQ(c.resumable, k.resumable);
        if (k.status == 200) {
            // The whole body, from offset 0: the owner must not place it at the span's start.
            EXPECT_EQ(c.range_start, kNoRange);
            EXPECT_EQ(c.content_length, 3000);
            EXPECT_EQ(read_all(), generated_content(0, 3000));
        }
    }
}

TEST_F(HttpClientTest, FailedStatusesReportCodeAndReason) {
    EXPECT_EQ(open("/missing"), 0);
    EXPECT_EQ(c.response_text(), "404: Not Found");
    EXPECT_EQ(c.status_code, 404);
    EXPECT_EQ(c.error_code, 0u);
    EXPECT_NE(c.raw_headers().find("HTTP/1.1 404 Not Found\r\n"), std::string::npos);
    // Nothing stays open to be read.
    char byte;
    EXPECT_EQ(read_data(c, &byte, 1), 0);
    EXPECT_TRUE(c.read_failed);

    EXPECT_EQ(open("/gen/10?status=503"), 0);
    EXPECT_EQ(c.response_text(), "503: Service Unavailable");
}

TEST_F(HttpClientTest, ServerNamesTheFile) {
    struct Case {
        const char* query;
        const char* name;  // nullptr: not named
    };
    const Case cases[] = {
        {"?disposition=attachment;%20filename=%22movie.avi%22", "movie.avi"},
        {"?disposition=attachment;%20FILENAME=movie.avi", "ovie.av"},
        {"?content_name=clip.avi&disposition=attachment;%20filename=%22other.avi%22", "clip.avi"},
        {"?content_name=..%2F..%2F.bashrc", ".bashrc"},
        {"?content_name=..", nullptr},
        {"?disposition=inline", nullptr},
        {"", nullptr},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.query);
        ASSERT_EQ(open(std::string("/gen/100") + k.query), 1) << c.response_text();
        EXPECT_EQ(named, k.name != nullptr);
        EXPECT_EQ(c.server_file_name(), k.name ? k.name : "");
    }
}

TEST_F(HttpClientTest, InterimAnswersAreNotTheAnswer) {
    ASSERT_EQ(open("/gen/300?interim=1", 0, 100), 1) << c.response_text();
    EXPECT_EQ(c.status_code, 206);
    EXPECT_TRUE(c.raw_headers().starts_with("HTTP/1.1 206 Partial Content\r\n"));
    EXPECT_EQ(read_all(), generated_content(0, 100));
}

TEST_F(HttpClientTest, AnswerWithoutLengthReadsToTheClose) {
    ASSERT_EQ(open("/gen/70000?no_length=1"), 1) << c.response_text();
    EXPECT_EQ(c.content_length, 0);
    EXPECT_EQ(read_all(), generated_content(0, 70000));
    EXPECT_FALSE(c.read_failed);
}

TEST_F(HttpClientTest, LargeBodyArrivesWhole) {
    constexpr std::size_t kSize = 3 * 1024 * 1024 + 17;
    ASSERT_EQ(open("/gen/" + std::to_string(kSize)), 1) << c.response_text();
    // Small reads too, so that the buffer fills and libcurl is paused and resumed.
    std::string body;
    char small[1024];
    for (int i = 0; i < 300; ++i)
        body.append(small, static_cast<std::size_t>(read_data(c, small, sizeof small)));
    body += read_all();
    EXPECT_FALSE(c.read_failed);
    EXPECT_EQ(body.size(), kSize);
    EXPECT_TRUE(body == generated_content(0, kSize));
}

TEST_F(HttpClientTest, DroppedConnectionFailsTheRead) {
    ASSERT_EQ(open("/gen/100000?drop_after=30000"), 1) << c.response_text();
    EXPECT_EQ(read_all(), generated_content(0, 30000));
    EXPECT_TRUE(c.read_failed);
    EXPECT_NE(c.error_code, 0u);
}

// ---- headers that are refused or cut ----

TEST_F(HttpClientTest, RefusesBadLengthsAndRanges) {
    struct Case {
        const char* query;
        const char* text;  // libcurl refuses some lengths itself, with its own words
    };
    const Case cases[] = {
        {"?bad_length=abc", "Content-Length"},
        {"?bad_length=-5", "Content-Length"},
        {"?bad_length=4611686018427387905", "Error: Files larger than 4 EiB are not supported"},
        {"?bad_length=dup", "Error: Conflicting Content-Length in the server's answer"},
        {"?wrong_range=0-99/4611686018427387905",
         "Error: Files larger than 4 EiB are not supported"},
        {"?wrong_range=junk", "Error: Invalid Content-Range in the server's answer"},
        {"?wrong_range=0-49/100", "Error: Content-Length does not match Content-Range"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.query);
        EXPECT_EQ(open(std::string("/gen/100") + k.query, 0, 100), 0);
        EXPECT_TRUE(c.response_text().starts_with("Error: ")) << c.response_text();
        EXPECT_NE(c.response_text().find(k.text), std::string::npos) << c.response_text();
        EXPECT_EQ(c.error_code, kErrorInvalidServerResponse);
        char byte;
        EXPECT_EQ(read_data(c, &byte, 1), 0);
    }
    // A known total of "*" and a span other than the one asked for are the owner's to judge.
    ASSERT_EQ(open("/gen/100?wrong_range=10-109/*", 0, 100), 1) << c.response_text();
    EXPECT_EQ(c.range_start, 10);
    EXPECT_EQ(c.range_total, kNoRange);
}

TEST_F(HttpClientTest, HugeHeaderIsCutNotOverflowed) {
    ASSERT_EQ(open("/gen/2000?huge_header=100000&etag=%22e1%22", 0, 0), 1) << c.response_text();
    EXPECT_LE(c.raw_headers().size(), kRawHeadersMax);
    EXPECT_TRUE(c.raw_headers().ends_with("\r\n"));
    EXPECT_EQ(c.raw_headers().find("X-Huge"), std::string::npos);
    EXPECT_EQ(c.validator, "\"e1\"");
    EXPECT_EQ(read_all(), generated_content(0, 2000));
}

// ---- credentials ----

TEST_F(HttpClientTest, CredentialsGoAsBasic) {
    EXPECT_EQ(open("/gen/10?auth=me:secret"), 0);
    EXPECT_EQ(c.status_code, 401);
    EXPECT_EQ(c.response_text(), "401: Unauthorized");

    const Credentials good = encoded("me", "secret");
    ASSERT_EQ(open("/gen/10?auth=me:secret", 0, 0, &good), 1) << c.response_text();
    EXPECT_EQ(FaultHttpServer::header(server.requests().back(), "Authorization"),
              "Basic bWU6c2VjcmV0");

    const Credentials wrong = encoded("me", "guess");
    EXPECT_EQ(open("/gen/10?auth=me:secret", 0, 0, &wrong), 0);
    EXPECT_EQ(c.status_code, 401);

    const Credentials broken{"not base64!", ""};
    EXPECT_EQ(open("/gen/10", 0, 0, &broken), 0);
    EXPECT_NE(c.error_code, 0u);
}

TEST_F(HttpClientTest, CredentialsStayWithTheirHost) {
    const Credentials creds = encoded("me", "secret");
    // Same host: they follow the redirect.
    ASSERT_EQ(open("/gen/10?auth=me:secret&redirect=/gen/10%3Fauth%3Dme:secret", 0, 0, &creds), 1)
        << c.response_text();
    // Another name for the same server: they do not.
    const std::string elsewhere = "http://localhost:" + std::to_string(server.port()) + "/gen/10";
    ASSERT_EQ(open("/gen/10?auth=me:secret&redirect=" + elsewhere, 0, 0, &creds), 1)
        << c.response_text();
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_TRUE(FaultHttpServer::header(requests[0], "Authorization"));
    EXPECT_TRUE(FaultHttpServer::header(requests[1], "Authorization"));
    EXPECT_TRUE(FaultHttpServer::header(requests[2], "Authorization"));
    EXPECT_FALSE(FaultHttpServer::header(requests[3], "Authorization"));
    EXPECT_EQ(FaultHttpServer::header(requests[3], "Host"),
              "localhost:" + std::to_string(server.port()));
}

// ---- redirects ----

TEST_F(HttpClientTest, RedirectsAreReportedAndFollowed) {
    ASSERT_EQ(open("/gen/300?hops=3&disposition=filename=%22final.bin%22", 100, 50), 1)
        << c.response_text();
    const std::vector<std::string> expected = {
        server.url("/gen/300?disposition=filename%3D%22final.bin%22&hops=2"),
        server.url("/gen/300?disposition=filename%3D%22final.bin%22&hops=1"),
        server.url("/gen/300?disposition=filename%3D%22final.bin%22&hops=0"),
    };
    EXPECT_EQ(redirects(), expected);
    EXPECT_EQ(read_all(), generated_content(100, 50));
    for (const std::string& request : server.requests())
        EXPECT_EQ(FaultHttpServer::header(request, "Range"), "bytes=100-149");
    EXPECT_TRUE(named);
    EXPECT_EQ(c.server_file_name(), "final.bin");
}

TEST_F(HttpClientTest, NameOnARedirectDoesNotCount) {
    const std::string target = server.url("/gen/10");
    ASSERT_EQ(open("/gen/10?content_name=wrong.bin&redirect=" + target), 1);
    EXPECT_FALSE(named);
    EXPECT_EQ(c.server_file_name(), "");
}

TEST_F(HttpClientTest, RedirectStatusesAndRelativeTargets) {
    for (const char* status : {"301", "302", "303", "307", "308"}) {
        SCOPED_TRACE(status);
        stages.clear();
        ASSERT_EQ(open(std::string("/x/y?redirect=../gen/20&redirect_status=") + status), 1)
            << c.response_text();
        EXPECT_EQ(redirects(), std::vector<std::string>{server.url("/gen/20")});
    }
    // A 3xx without a Location is a plain failure.
    EXPECT_EQ(open("/gen/10?status=304"), 0);
    EXPECT_EQ(c.response_text(), "304: Not Modified");
}

TEST_F(HttpClientTest, RedirectsEndAfterTwentyHopsAndOnLoops) {
    ASSERT_EQ(open("/gen/10?hops=20"), 1) << c.response_text();
    EXPECT_EQ(redirects().size(), 20u);

    stages.clear();
    EXPECT_EQ(open("/gen/10?hops=21"), 0);
    EXPECT_EQ(c.response_text(), "Error: Too many redirects");
    EXPECT_EQ(redirects().size(), 20u);

    EXPECT_EQ(open("/gen/10?loop=1"), 0);
    EXPECT_EQ(c.response_text(), "Error: The server redirects in a loop");
    EXPECT_EQ(c.error_code, kErrorRedirectFailed);
}

TEST_F(HttpClientTest, RedirectsToOtherSchemesFailClearly) {
    EXPECT_EQ(open("/gen/10?redirect=ftp://127.0.0.1/file.bin"), 0);
    EXPECT_EQ(c.response_text(), "Error: Redirected to an FTP address, which is not available");
    EXPECT_EQ(redirects(), std::vector<std::string>{"ftp://127.0.0.1/file.bin"});

    stages.clear();
    EXPECT_EQ(open("/gen/10?redirect=file:///etc/passwd"), 0);
    EXPECT_EQ(c.response_text(), "Error: Redirected to an address that cannot be followed");
    EXPECT_TRUE(redirects().empty());

    EXPECT_EQ(open("/gen/10?redirect=http://user:pw@127.0.0.1/x"), 0);
    EXPECT_EQ(c.error_code, kErrorRedirectFailed);
    EXPECT_EQ(server.requests().size(), 3u);
}

// ---- connections, stages, interrupts and time-outs ----

TEST_F(HttpClientTest, SpansReuseTheServerConnection) {
    ASSERT_EQ(open("/gen/5000", 0, 1000), 1);
    EXPECT_EQ(read_all().size(), 1000u);
    EXPECT_EQ(probe_http(c, server.url("/gen/5000"), nullptr, nullptr), 1);
    ASSERT_EQ(open("/gen/5000", 1000, 0), 1);
    EXPECT_EQ(read_all().size(), 4000u);
    close_connection(c);
    const FaultHttpServer::Stats stats = server.stats();
    EXPECT_EQ(stats.requests, 3);
    EXPECT_EQ(stats.connections, 1);

    release_connection(c);
    ASSERT_EQ(open("/gen/5000", 0, 10), 1);
    EXPECT_EQ(server.stats().connections, 2);
}

TEST_F(HttpClientTest, StagesComeInOrder) {
    ASSERT_EQ(open("/gen/100"), 1);
    read_all();
    close_connection(c);
    const std::vector<std::uint32_t> first = {kStageResolvingName,     kStageNameResolved,
                                              kStageConnecting,        kStageConnected,
                                              kStageSendingRequest,    kStageRequestSent,
                                              kStageReceivingResponse, kStageResponseReceived,
                                              kStageClosingConnection, kStageConnectionClosed};
    EXPECT_EQ(stage_codes(), first);

    // A reused connection is neither resolved nor connected again.
    stages.clear();
    ASSERT_EQ(open("/gen/100"), 1);
    const std::vector<std::uint32_t> reused = {kStageSendingRequest, kStageRequestSent,
                                               kStageReceivingResponse, kStageResponseReceived};
    EXPECT_EQ(stage_codes(), reused);

    // The callback is optional.
    c.status_callback = nullptr;
    EXPECT_EQ(open("/gen/100?hops=1"), 1);
}

TEST_F(HttpClientTest, InterruptEndsAWaitingRead) {
    ASSERT_EQ(open("/gen/100000?stall_after=1000"), 1);
    std::vector<char> block(kReadBlock);
    ASSERT_EQ(read_data(c, block.data(), kReadBlock), 1000);

    Clock::time_point interrupted_at;
    std::thread stopper([&] {
        // Give the read time to start waiting; it fails promptly either way, since an interrupt
        // also ends reads that begin after it.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        interrupted_at = Clock::now();
        interrupt_connection(c);
    });
    const std::int32_t n = read_data(c, block.data(), kReadBlock);
    const Clock::time_point returned_at = Clock::now();
    stopper.join();
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(c.read_failed);
    EXPECT_EQ(c.error_code, kErrorCancelled);
    EXPECT_LT(returned_at - interrupted_at, kPromptly);

    // It stays until the owner resets it, so a stop between two calls is not lost.
    EXPECT_EQ(open("/gen/10"), 0);
    EXPECT_EQ(c.error_code, kErrorCancelled);
    reset_interrupt(c);
    EXPECT_EQ(open("/gen/10"), 1) << c.response_text();
}

TEST_F(HttpClientTest, InterruptEndsAWaitingOpen) {
    Clock::time_point interrupted_at;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        interrupted_at = Clock::now();
        interrupt_connection(c);
    });
    EXPECT_EQ(open("/gen/10?idle_before_headers=1"), 0);
    const Clock::time_point returned_at = Clock::now();
    stopper.join();
    EXPECT_EQ(c.error_code, kErrorCancelled);
    EXPECT_LT(returned_at - interrupted_at, kPromptly);
}

TEST_F(HttpClientTest, ReceiveTimeOutEndsStalls) {
    HttpSessionOptions o = direct_options();
    o.receive_timeout_ms = 300;
    session.set_options(o);

    ASSERT_EQ(open("/gen/100000?idle_after_headers=1"), 1);
    char byte;
    EXPECT_EQ(read_data(c, &byte, 1), 0);
    EXPECT_TRUE(c.read_failed);
    EXPECT_EQ(c.error_code, kErrorTimeout);

    EXPECT_EQ(open("/gen/10?idle_before_headers=1"), 0);
    EXPECT_EQ(c.error_code, kErrorTimeout);
    EXPECT_EQ(c.response_text(), "Error: The operation timed out");
}

TEST_F(HttpClientTest, UnreachableServersGiveTheRetryCodes) {
    EXPECT_EQ(open_span(c, "http://no-such-host.invalid/x", 0, 0, nullptr, &named), 0);
    EXPECT_EQ(c.error_code, kErrorNameNotResolved);
    EXPECT_TRUE(c.response_text().starts_with("Error: ")) << c.response_text();

    // A port that was just free on loopback, and is closed.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size), 0);
    ::close(fd);
    const std::string closed = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";
    EXPECT_EQ(open_span(c, closed, 0, 0, nullptr, &named), 0);
    EXPECT_EQ(c.error_code, kErrorCannotConnect);
    EXPECT_TRUE(c.response_text().starts_with("Error: ")) << c.response_text();
}

// ---- session: cookies, offline, other protocols ----

TEST_F(HttpClientTest, CookiesFromTheFileOnlyWhenAsked) {
    test::TempDir dir;
    const std::string file = dir.file("cookies.txt");
    test::write_file(file,
                     "# Netscape HTTP Cookie File\n"
                     "127.0.0.1\tFALSE\t/\tFALSE\t0\tsession\tabc\n"
                     "127.0.0.1\tFALSE\t/gen\tFALSE\t0\tdeep\t1\n"
                     "127.0.0.1\tFALSE\t/\tTRUE\t0\tsecure\tno\n"
                     "127.0.0.1\tFALSE\t/\tFALSE\t1\texpired\tno\n"
                     "example.com\tTRUE\t/\tFALSE\t0\tother\tno\n");
    HttpSessionOptions o = direct_options();
    o.cookie_file = file;
    session.set_options(o);

    ASSERT_EQ(open("/gen/10"), 1);
    c.use_cookies = 0;
    ASSERT_EQ(open("/gen/10"), 1);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(FaultHttpServer::header(requests[0], "Cookie"), "deep=1; session=abc");
    EXPECT_EQ(FaultHttpServer::header(requests[1], "Cookie"), std::nullopt);
}

TEST_F(HttpClientTest, IfRangeGoesWithLaterSpans) {
    c.if_range = "\"v1\"";
    ASSERT_EQ(open("/gen/100?etag=%22v1%22", 0, 10), 1);
    EXPECT_EQ(c.validator, "\"v1\"");
    ASSERT_EQ(open("/gen/100?etag=%22v1%22", 10, 10), 1);
    EXPECT_EQ(c.status_code, 206);
    // The file changed: the whole of it comes back, from offset 0.
    ASSERT_EQ(open("/gen/100?etag=%22v2%22", 10, 10), 1);
    EXPECT_EQ(c.status_code, 200);
    EXPECT_EQ(c.range_start, kNoRange);
    c.if_range = "bad\r\nInjected: 1";
    ASSERT_EQ(open("/gen/100", 10, 10), 1);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(FaultHttpServer::header(requests[0], "If-Range"), std::nullopt);
    EXPECT_EQ(FaultHttpServer::header(requests[1], "If-Range"), "\"v1\"");
    EXPECT_EQ(FaultHttpServer::header(requests[3], "If-Range"), std::nullopt);
    EXPECT_EQ(FaultHttpServer::header(requests[3], "Injected"), std::nullopt);
}

class FakeNetwork : public NetworkState {
  public:
    bool offline_by_user() override { return offline; }
    void go_online() override { offline = false; }
    bool offline = true;
};

TEST_F(HttpClientTest, OfflineAsksBeforeGoingOn) {
    FakeNetwork network;
    HttpSession offline_session(direct_options(), network);
    c.session = &offline_session;
    int asked = 0;
    offline_session.set_ask_go_online([&] { return ++asked > 1; });

    EXPECT_EQ(open("/gen/10"), 0);
    EXPECT_EQ(c.response_text(), "Error: Working Offline");
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(open("/gen/10"), 1) << c.response_text();
    EXPECT_FALSE(network.offline);
    EXPECT_EQ(open("/gen/10"), 1);
    EXPECT_EQ(asked, 2);
}

TEST_F(HttpClientTest, OtherProtocolsFail) {
    c.protocol = static_cast<Protocol>(7);
    EXPECT_EQ(open("/gen/10"), 0);
    char byte;
    EXPECT_EQ(read_data(c, &byte, 1), 0);
    EXPECT_TRUE(c.read_failed);
    close_connection(c);
    EXPECT_TRUE(server.requests().empty());

    c.protocol = Protocol::Http;
    EXPECT_EQ(open_span(c, "gopher://127.0.0.1/x", 0, 0, nullptr, &named), 0);
    EXPECT_EQ(c.response_text(), "Error: The URL does not use a recognized protocol");
}

// ---- HEAD probe ----

TEST_F(HttpClientTest, ProbeLearnsSizeAndRanges) {
    ASSERT_EQ(probe_http(c, server.url("/gen/4000?content_name=p.avi"), nullptr, &named), 1);
    EXPECT_EQ(c.status_code, 206);
    EXPECT_EQ(c.content_length, 4000);
    EXPECT_EQ(c.range_total, 4000);
    EXPECT_EQ(c.resumable, kResumableNotReported);  // never set to 1
    EXPECT_TRUE(named);
    EXPECT_EQ(c.server_file_name(), "p.avi");
    const auto request = server.requests().back();
    EXPECT_TRUE(request.starts_with("HEAD /gen/4000"));
    EXPECT_EQ(FaultHttpServer::header(request, "Range"), "bytes=0-");

    ASSERT_EQ(probe_http(c, server.url("/gen/4000?ignore_range=1"), nullptr, nullptr), 1);
    EXPECT_EQ(c.status_code, 200);
    EXPECT_EQ(c.resumable, 0);

    EXPECT_EQ(probe_http(c, server.url("/nothing"), nullptr, nullptr), 0);
    EXPECT_EQ(c.response_text(), "404: Not Found");
}

TEST_F(HttpClientTest, ProbeLeavesAnOpenSpanReadable) {
    ASSERT_EQ(open("/gen/200000"), 1);
    std::vector<char> block(1000);
    ASSERT_EQ(read_data(c, block.data(), 1000), 1000);
    ASSERT_EQ(probe_http(c, server.url("/gen/50"), nullptr, nullptr), 1);
    EXPECT_EQ(c.content_length, 50);
    const std::string rest = read_all();
    EXPECT_FALSE(c.read_failed);
    EXPECT_TRUE(rest == generated_content(1000, 199000));
}

// ---- what the owner acts on: server failures, validators, range support ----

TEST_F(HttpClientTest, ServerFailuresCarryTheirRetryAfter) {
    EXPECT_EQ(open("/gen/10?status=503&header=Retry-After:7"), 0);
    EXPECT_EQ(c.status_code, 503);
    EXPECT_EQ(c.response_text(), "503: Service Unavailable");
    EXPECT_EQ(c.retry_after_ms, 7000);
    // A date counts from the answer's own Date, whatever this machine's clock says.
    EXPECT_EQ(open("/gen/10?status=500&header=Date:Sun,%2006%20Nov%201994%2008:49:37%20GMT"
                   "&header=Retry-After:Sun,%2006%20Nov%201994%2008:50:07%20GMT"),
              0);
    EXPECT_EQ(c.retry_after_ms, 30000);
    EXPECT_EQ(open("/gen/10?status=502&header=Retry-After:99999999999999999999"), 0);
    EXPECT_EQ(c.retry_after_ms, kRetryAfterMaxMs);
    EXPECT_EQ(open("/gen/10?status=504&header=Retry-After:soon"), 0);
    EXPECT_EQ(c.retry_after_ms, kNoRetryAfter);
    EXPECT_EQ(open("/gen/10?status=503"), 0);
    EXPECT_EQ(c.retry_after_ms, kNoRetryAfter);
    // Only these server failures carry one, and the next answer forgets it.
    EXPECT_EQ(open("/gen/10?status=404&header=Retry-After:7"), 0);
    EXPECT_EQ(c.retry_after_ms, kNoRetryAfter);
    EXPECT_EQ(open("/gen/10?status=503&header=Retry-After:7"), 0);
    ASSERT_EQ(open("/gen/10"), 1);
    EXPECT_EQ(c.retry_after_ms, kNoRetryAfter);
    EXPECT_EQ(
        probe_http(c, server.url("/gen/10?status=503&header=Retry-After:3"), nullptr, nullptr), 0);
    EXPECT_EQ(c.status_code, 503);
    EXPECT_EQ(c.retry_after_ms, 3000);
}

TEST_F(HttpClientTest, OversizedHeadsFailClearly) {
    for (const char* query : {"?huge_header=1048576", "?many_headers=20000"}) {
        SCOPED_TRACE(query);
        EXPECT_EQ(open(std::string("/gen/10") + query), 0);
        EXPECT_EQ(c.response_text(), "Error: The server's answer has a header that is too large");
        EXPECT_EQ(c.error_code, kErrorInvalidServerResponse);
    }
    // The connection is usable again afterwards.
    ASSERT_EQ(open("/gen/10"), 1) << c.response_text();
    EXPECT_EQ(read_all(), generated_content(0, 10));
}

TEST_F(HttpClientTest, OnlyStrongValidatorsGoAsIfRange) {
    // A weak tag is no validator: it is neither offered to the owner nor sent.
    ASSERT_EQ(open("/gen/100?etag=W/%22w%22&strict_if_range=1", 0, 10), 1);
    EXPECT_EQ(c.validator, "");
    c.if_range = "W/\"w\"";
    ASSERT_EQ(open("/gen/100?etag=W/%22w%22&strict_if_range=1", 10, 10), 1);
    EXPECT_EQ(c.status_code, 206);
    EXPECT_EQ(FaultHttpServer::header(server.requests().back(), "If-Range"), std::nullopt);
    EXPECT_EQ(read_all(), generated_content(10, 10));

    // The 206 names its own strong validator, for the owner to compare with the one it keeps.
    c.if_range.clear();
    ASSERT_EQ(open("/gen/100?etag=%22s2%22", 10, 10), 1);
    EXPECT_EQ(c.status_code, 206);
    EXPECT_EQ(c.validator, "\"s2\"");

    // A Last-Modified serves only when it is at least a minute older than the answer's Date.
    const std::string modified = "last_modified=Sun,%2006%20Nov%201994%2008:49:37%20GMT";
    ASSERT_EQ(open("/gen/100?" + modified + "&header=Date:Sun,%2006%20Nov%201994%2008:50:37%20GMT",
                   10, 10),
              1);
    EXPECT_EQ(c.validator, "Sun, 06 Nov 1994 08:49:37 GMT");
    ASSERT_EQ(open("/gen/100?" + modified + "&header=Date:Sun,%2006%20Nov%201994%2008:50:00%20GMT",
                   10, 10),
              1);
    EXPECT_EQ(c.validator, "");
    ASSERT_EQ(open("/gen/100?" + modified, 10, 10), 1);
    EXPECT_EQ(c.validator, "");
}

TEST_F(HttpClientTest, RangeSupportComesFromItsOwnField) {
    struct Case {
        const char* query;
        std::int32_t resumable;
    };
    const Case cases[] = {
        {"&header=X-Note:no%20Accept-Ranges:%20bytes%20here", 0},
        {"&header=X-Content-Range-Note:none", 0},
        {"&accept_ranges=none,%20bytes", 1},
        {"&accept_ranges=%20%20bytes", 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.query);
        ASSERT_EQ(open(std::string("/gen/300?ignore_range=1") + k.query, 100, 0), 1)
            << c.response_text();
        EXPECT_EQ(c.status_code, 200);
        EXPECT_EQ(c.resumable, k.resumable);
    }
}

TEST_F(HttpClientTest, FtpRedirectIsLeftForTheOwner) {
    EXPECT_EQ(open("/gen/10?redirect=ftp://127.0.0.1/file.bin"), 0);
    EXPECT_EQ(c.unfollowed_redirect, "ftp://127.0.0.1/file.bin");
    EXPECT_EQ(c.error_code, kErrorRedirectFailed);
    // Nothing of it stays for a later request.
    ASSERT_EQ(open("/gen/10"), 1);
    EXPECT_EQ(c.unfollowed_redirect, "");
}

}  // namespace
}  // namespace rg
