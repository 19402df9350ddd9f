#include "support/fault_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>

namespace rg::test {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr std::size_t kGenPeriodPrime = 251;
constexpr unsigned kByteMask = 0xff;
constexpr std::string_view kHeadEnd = "\r\n\r\n";

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

int json_number(const std::string& json, std::string_view key) {
    const std::string quoted = "\"" + std::string(key) + "\":";
    const std::size_t at = json.find(quoted);
    if (at == std::string::npos)
        return -1;
    return std::atoi(json.c_str() + at + quoted.size());
}

}  // namespace

std::string generated_content(std::size_t start, std::size_t length) {
    std::string out(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        const std::size_t at = start + i;
        out[i] = static_cast<char>((at % kGenPeriodPrime) ^ ((at >> 8) & kByteMask));
    }
    return out;
}

std::optional<std::string> loopback_get(int port, std::string_view path, int timeout_ms) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::optional<std::string> result;
    const std::string request = "GET " + std::string(path) + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        std::string answer;
        while (true) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            char buffer[4096];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n < 0)
                break;
            if (n == 0) {
                const std::size_t body = answer.find(kHeadEnd);
                if (body != std::string::npos)
                    result = answer.substr(body + kHeadEnd.size());
                break;
            }
            answer.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return result;
}

FaultHttpServer::FaultHttpServer(std::string_view root_folder) {
    std::vector<std::string> argv = {"python3",
                                     std::string(RG_TEST_SUPPORT_DIR) + "/fault_http_server.py",
                                     "--parent-pid", std::to_string(::getpid())};
    if (!root_folder.empty()) {
        argv.push_back("--root");
        argv.emplace_back(root_folder);
    }
    child_ = ChildProcess::spawn(argv, &error_);
    if (!child_)
        return;
    const auto line = child_->read_line(kStartTimeout);
    if (!line) {
        error_ = "the fault server printed no port";
        child_.reset();
        return;
    }
    port_ = std::atoi(line->c_str());
    if (port_ <= 0) {
        error_ = "the fault server printed no port: " + *line;
        child_.reset();
    }
}

std::string FaultHttpServer::base() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::string FaultHttpServer::url(std::string_view path_and_query) const {
    return base() + std::string(path_and_query);
}

FaultHttpServer::Stats FaultHttpServer::stats() const {
    const auto body = loopback_get(port_, "/__stats");
    if (!body)
        return {};
    return {json_number(*body, "connections"), json_number(*body, "requests")};
}

bool FaultHttpServer::change(std::string_view switches) const {
    return loopback_get(port_, "/__change?" + std::string(switches)).has_value();
}

std::vector<std::string> FaultHttpServer::requests() const {
    std::vector<std::string> heads;
    const auto body = loopback_get(port_, "/__log");
    if (!body)
        return heads;
    std::size_t start = 0;
    while (start < body->size()) {
        const std::size_t end = body->find(kHeadEnd, start);
        if (end == std::string::npos)
            break;
        heads.push_back(body->substr(start, end + 2 - start));
        start = end + kHeadEnd.size();
    }
    return heads;
}

std::optional<std::string> FaultHttpServer::header(std::string_view request,
                                                   std::string_view name) {
    std::size_t start = request.find("\r\n");
    while (start != std::string_view::npos && start + 2 < request.size()) {
        start += 2;
        const std::size_t end = request.find("\r\n", start);
        const std::string_view line = request.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && equals_ignoring_case(line.substr(0, colon), name)) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ')
                value.remove_prefix(1);
            return std::string(value);
        }
        start = end;
    }
    return std::nullopt;
}

}  // namespace rg::test
