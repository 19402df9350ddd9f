// The nginx fixture serves files and byte ranges on loopback and leaves nothing running behind it.
#include "support/nginx_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

namespace rg {
namespace {

constexpr size_t kFileSize = 1 << 20;

struct Response {
    int status = 0;
    std::string headers;
    std::string body;

    // The value of the first header with this name (compared without case), if any.
    std::optional<std::string> header(std::string_view name) const {
        size_t at = headers.find("\r\n");
        while (at != std::string::npos && at + 2 < headers.size()) {
            const size_t start = at + 2;
            const size_t end = headers.find("\r\n", start);
            const std::string line = headers.substr(start, end - start);
            const size_t colon = line.find(':');
            if (colon == name.size() && ::strncasecmp(line.data(), name.data(), colon) == 0)
                return line.substr(line.find_first_not_of(' ', colon + 1));
            at = end;
        }
        return std::nullopt;
    }
};

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Connects to 127.0.0.1:port; returns the socket, or -1 with errno set.
int connect_to(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
}

// One GET on its own connection, read until the server closes it.
Response http_get(int port, std::string_view path, std::string_view extra_headers = {}) {
    Response response;
    const int fd = connect_to(port);
    if (fd < 0) {
        ADD_FAILURE() << "connect: " << std::strerror(errno);
        return response;
    }
    const timeval timeout{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string request = "GET " + std::string(path) +
                          " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                          "\r\nConnection: close\r\n" + std::string(extra_headers) + "\r\n";
    for (size_t sent = 0; sent < request.size();) {
        const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += static_cast<size_t>(n);
    }
    std::string raw;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        raw.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);

    const size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos || raw.compare(0, 9, "HTTP/1.1 ") != 0) {
        ADD_FAILURE() << "not an HTTP response: " << raw.substr(0, 200);
        return response;
    }
    response.status = std::stoi(raw.substr(9, 3));
    response.headers = raw.substr(0, end + 2);
    response.body = raw.substr(end + 4);
    return response;
}

bool process_exited_within(pid_t pid, int timeout_ms) {
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0)
        return errno == ESRCH;
    pollfd fd = {pidfd, POLLIN, 0};
    const int ready = ::poll(&fd, 1, timeout_ms);
    ::close(pidfd);
    return ready == 1;
}

class NginxServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::NginxServer::available())
            GTEST_SKIP() << test::NginxServer::missing_message();
    }
};

TEST_F(NginxServerTest, ServesFilesAndRanges) {
    test::NginxServer server;
    const std::string content = test::random_bytes(kFileSize, 20240611);
    test::write_file(server.root() + "/data.bin", content);
    EXPECT_EQ(server.url("data.bin"),
              "http://127.0.0.1:" + std::to_string(server.port()) + "/data.bin");

    const Response whole = http_get(server.port(), "/data.bin");
    EXPECT_EQ(whole.status, 200) << whole.headers;
    EXPECT_EQ(whole.header("content-length"), std::to_string(kFileSize));
    EXPECT_EQ(whole.header("Accept-Ranges"), "bytes");
    EXPECT_TRUE(whole.body == content) << "body of " << whole.body.size() << " bytes differs";

    const Response part = http_get(server.port(), "/data.bin", "Range: bytes=100-199\r\n");
    EXPECT_EQ(part.status, 206) << part.headers;
    EXPECT_EQ(part.header("Content-Range"), "bytes 100-199/" + std::to_string(kFileSize));
    EXPECT_EQ(part.header("Content-Length"), "100");
    EXPECT_EQ(part.body, content.substr(100, 100));

    const Response tail = http_get(server.port(), "/data.bin", "Range: bytes=-10\r\n");
    EXPECT_EQ(tail.status, 206) << tail.headers;
    EXPECT_EQ(tail.body, content.substr(kFileSize - 10));

    EXPECT_EQ(http_get(server.port(), "/missing.bin").status, 404);
}

TEST_F(NginxServerTest, TakesExtraServerDirectives) {
    test::NginxServer server({.server_config = "location = /old { return 302 /new.bin; }"});
    const Response moved = http_get(server.port(), "/old");
    EXPECT_EQ(moved.status, 302) << moved.headers;
    EXPECT_NE(moved.header("Location").value_or("").find("/new.bin"), std::string::npos);
}

TEST_F(NginxServerTest, TwoServersRunSideBySide) {
    test::NginxServer first;
    test::NginxServer second;
    EXPECT_NE(first.port(), second.port());
    test::write_file(first.root() + "/a", "first");
    test::write_file(second.root() + "/a", "second");
    EXPECT_EQ(http_get(first.port(), "/a").body, "first");
    EXPECT_EQ(http_get(second.port(), "/a").body, "second");
}

TEST_F(NginxServerTest, MovesToAnotherPortWhenItsPortIsTaken) {
    const int taken = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ASSERT_EQ(::listen(taken, 1), 0);
    const int taken_port = ntohs(address.sin_port);

    test::NginxServer::Options options;
    options.first_port = taken_port;
    test::NginxServer server(options);
    EXPECT_NE(server.port(), taken_port);
    test::write_file(server.root() + "/a", "served");
    EXPECT_EQ(http_get(server.port(), "/a").body, "served");
    ::close(taken);
}

TEST_F(NginxServerTest, StopsAndIsReapedWhenDestroyed) {
    int port = 0;
    pid_t pid = -1;
    {
        test::NginxServer server;
        port = server.port();
        pid = server.pid();
        ASSERT_GT(pid, 0);
        const int fd = connect_to(port);
        EXPECT_GE(fd, 0);
        if (fd >= 0)
            ::close(fd);
    }
    EXPECT_EQ(connect_to(port), -1);
    EXPECT_EQ(errno, ECONNREFUSED);
    // Reaped: no longer a child of this process.
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(NginxServerTest, DiesWithTheProcessThatStartedIt) {
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t owner = ::fork();
    ASSERT_GE(owner, 0);
    if (owner == 0) {
        ::close(channel[0]);
        try {
            test::NginxServer server;
            const std::string message = std::to_string(server.pid()) + " " +
                                        std::to_string(server.port()) + " " + server.root();
            if (::write(channel[1], message.data(), message.size()) < 0)
                ::_exit(2);
            // Dies with the server still in scope, as a crashed test would.
            ::kill(::getpid(), SIGKILL);
        } catch (...) {
        }
        ::_exit(1);
    }
    ::close(channel[1]);
    std::string message;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, n);
    ::close(channel[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(owner, &status, 0), owner);
    ASSERT_TRUE(WIFSIGNALED(status)) << "owner ended with " << status;

    pid_t nginx = 0;
    int port = 0;
    char root[4096] = {};
    ASSERT_EQ(std::sscanf(message.c_str(), "%d %d %4095[^\n]", &nginx, &port, root), 3) << message;
    const bool exited = process_exited_within(nginx, 10000);
    EXPECT_TRUE(exited) << "nginx " << nginx << " outlived its owner";
    if (!exited)
        ::kill(nginx, SIGKILL);
    EXPECT_EQ(connect_to(port), -1);
    EXPECT_EQ(errno, ECONNREFUSED);
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(root).parent_path(), ignored);
}

}  // namespace
}  // namespace rg
