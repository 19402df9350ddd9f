#include "support/fake_ftp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace rg::test {

namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr std::size_t kWriteChunk = 64 * 1024;
constexpr int kDataWaitMs = 10000;
constexpr int kPortHighShift = 8;
constexpr int kPortNumbers = 6;
constexpr std::string_view kForeignAddress = "127.0.0.2";
constexpr std::string_view kJunk = "stolen data connection";

void close_fd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

sockaddr_in loopback(std::string_view address, int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, std::string(address).c_str(), &a.sin_addr);
    return a;
}

int listen_loopback(int* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a = loopback("127.0.0.1", 0);
    socklen_t length = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(a.sin_port);
    return fd;
}

}  // namespace

struct FakeFtpServer::Session {
    int control = -1;
    std::string buffer;
    std::size_t rest = 0;
    int active_port = 0;
    int passive_fd = -1;
};

FakeFtpServer::FakeFtpServer(FakeFtpScript script) : script_(std::move(script)) {
    stop_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    listen_fd_ = listen_loopback(&port_);
    if (stop_fd_ < 0 || listen_fd_ < 0) {
        port_ = 0;
        return;
    }
    thread_ = std::thread([this] { serve(); });
}

FakeFtpServer::~FakeFtpServer() {
    if (stop_fd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(stop_fd_, &one, sizeof one);
    }
    if (thread_.joinable())
        thread_.join();
    close_fd(listen_fd_);
    close_fd(stop_fd_);
}

std::string FakeFtpServer::url(std::string_view path) const {
    return "ftp://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void FakeFtpServer::replace_file(std::string file, std::string modified) {
    std::lock_guard lock(mutex_);
    script_.file = std::move(file);
    script_.modified = std::move(modified);
}

std::string FakeFtpServer::file() const {
    std::lock_guard lock(mutex_);
    return script_.file;
}

std::string FakeFtpServer::modified() const {
    std::lock_guard lock(mutex_);
    return script_.modified;
}

std::vector<std::string> FakeFtpServer::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

bool FakeFtpServer::wait_fd(int fd, short events, int timeout_ms) const {
    pollfd p[2] = {{fd, events, 0}, {stop_fd_, POLLIN, 0}};
    while (true) {
        const int ready = ::poll(p, 2, timeout_ms);
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0 && p[1].revents == 0 && p[0].revents != 0;
    }
}

bool FakeFtpServer::send_all(int fd, std::string_view bytes) const {
    while (!bytes.empty()) {
        if (!wait_fd(fd, POLLOUT, kDataWaitMs))
            return false;
        const ssize_t n = ::send(fd, bytes.data(), std::min(bytes.size(), kWriteChunk),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

int FakeFtpServer::connect_data(const std::string& from, int port) const {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const sockaddr_in source = loopback(from, 0);
    const sockaddr_in target = loopback("127.0.0.1", port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0 ||
        ::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Connects from another loopback address first, as a thief on the network would: the client
// must close it without reading it as the file.
bool FakeFtpServer::foreign_probe(int port) {
    int fd = connect_data(std::string(kForeignAddress), port);
    if (fd < 0)
        return false;
    send_all(fd, kJunk);
    char byte = 0;
    if (wait_fd(fd, POLLIN, kDataWaitMs) && ::recv(fd, &byte, 1, 0) <= 0)
        foreign_closed_.fetch_add(1);
    close_fd(fd);
    return true;
}

void FakeFtpServer::serve() {
    while (wait_fd(listen_fd_, POLLIN, -1)) {
        const int control = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (control < 0)
            continue;
        connections_.fetch_add(1);
        run_session(control);
    }
}

void FakeFtpServer::run_session(int control) {
    Session s;
    s.control = control;
    if (!script_.greeting.empty())
        send_all(control, script_.greeting);
    bool open = true;
    while (open && wait_fd(control, POLLIN, -1)) {
        char chunk[kReadChunk];
        const ssize_t n = ::recv(control, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        s.buffer.append(chunk, static_cast<std::size_t>(n));
        std::size_t newline;
        while (open && (newline = s.buffer.find('\n')) != std::string::npos) {
            std::string line = s.buffer.substr(0, newline);
            s.buffer.erase(0, newline + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            {
                std::lock_guard lock(mutex_);
                commands_.push_back(line);
            }
            open = handle(s, line);
        }
    }
    close_fd(s.passive_fd);
    close_fd(s.control);
}

bool FakeFtpServer::handle(Session& s, const std::string& line) {
    const std::size_t space = line.find(' ');
    std::string verb = line.substr(0, space);
    std::transform(verb.begin(), verb.end(), verb.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
    const auto reply = [&](std::string_view text) { return send_all(s.control, text); };

    if (const auto scripted = script_.replies.find(verb); scripted != script_.replies.end())
        return reply(scripted->second);
    if (verb == "USER")
        return reply(script_.user_logs_in ? "230 Logged in.\r\n" : "331 Password required.\r\n");
    if (verb == "PASS") {
        if (!script_.password.empty() && argument != script_.password)
            return reply("530 Login incorrect.\r\n");
        return reply("230 Logged in.\r\n");
    }
    if (verb == "REST") {
        if (script_.refuse_rest)
            return reply("502 Command not implemented.\r\n");
        s.rest = std::strtoul(argument.c_str(), nullptr, 10);
        return reply("350 Restarting at " + argument + ".\r\n");
    }
    if (verb == "TYPE")
        return reply("200 Type set to I.\r\n");
    if (verb == "SIZE") {
        if (!script_.size_supported)
            return reply("500 SIZE not understood.\r\n");
        return reply("213 " + std::to_string(file().size()) + "\r\n");
    }
    if (verb == "MDTM") {
        const std::string time = modified();
        if (time.empty())
            return reply("500 Unknown command.\r\n");
        return reply("213 " + time + "\r\n");
    }
    if (verb == "PORT") {
        if (script_.refuse_port)
            return reply("500 Illegal PORT command.\r\n");
        int n[kPortNumbers] = {};
        if (std::sscanf(argument.c_str(), "%d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4],
                        &n[5]) != kPortNumbers ||
            n[0] != 127)
            return reply("501 Syntax error.\r\n");
        s.active_port = (n[4] << kPortHighShift) | n[5];
        close_fd(s.passive_fd);
        return reply("200 PORT command successful.\r\n");
    }
    if (verb == "PASV" || verb == "EPSV") {
        if (script_.refuse_passive)
            return reply("500 Passive mode refused.\r\n");
        close_fd(s.passive_fd);
        int port = 0;
        s.passive_fd = listen_loopback(&port);
        s.active_port = 0;
        if (verb == "EPSV")
            return reply("229 Entering Extended Passive Mode (|||" + std::to_string(port) +
                         "|)\r\n");
        return reply("227 Entering Passive Mode (127,0,0,1," +
                     std::to_string(port >> kPortHighShift) + "," + std::to_string(port & 0xff) +
                     ").\r\n");
    }
    if (verb == "RETR") {
        transfer(s);
        return true;
    }
    if (verb == "QUIT") {
        reply("221 Bye.\r\n");
        return false;
    }
    return reply("500 Unknown command.\r\n");
}

void FakeFtpServer::transfer(Session& s) {
    std::string preliminary = script_.retr_preliminary;
    if (script_.final_with_preliminary)
        preliminary += "226 Transfer complete.\r\n";
    int data = -1;
    if (s.passive_fd >= 0) {
        if (wait_fd(s.passive_fd, POLLIN, kDataWaitMs))
            data = ::accept4(s.passive_fd, nullptr, nullptr, SOCK_CLOEXEC);
        close_fd(s.passive_fd);
        if (data < 0) {
            send_all(s.control, "425 Can't open data connection.\r\n");
            return;
        }
        send_all(s.control, preliminary);
    } else if (s.active_port > 0) {
        send_all(s.control, preliminary);
        if (script_.never_connect)
            return;
        if (script_.foreign_first)
            foreign_probe(s.active_port);
        data = connect_data(script_.connect_from, s.active_port);
        if (data >= 0 && script_.connect_from != "127.0.0.1") {
            // Only a stranger ever comes: the client has to give up waiting.
            send_all(data, kJunk);
            char byte = 0;
            if (wait_fd(data, POLLIN, kDataWaitMs) && ::recv(data, &byte, 1, 0) <= 0)
                foreign_closed_.fetch_add(1);
            close_fd(data);
            return;
        }
        if (data < 0) {
            send_all(s.control, "425 Can't open data connection.\r\n");
            return;
        }
    } else {
        send_all(s.control, "425 Use PORT or PASV first.\r\n");
        return;
    }

    const std::string served = file();
    const std::size_t from = std::min(s.rest, served.size());
    s.rest = 0;
    std::string_view payload = std::string_view(served).substr(from);
    const bool drop = script_.drop_after && transfers_ < script_.drops;
    ++transfers_;
    std::size_t limit = payload.size();
    if (drop)
        limit = std::min(limit, *script_.drop_after);
    if (script_.stall_after)
        limit = std::min(limit, *script_.stall_after);
    const bool sent = send_all(data, payload.substr(0, limit));
    if (script_.stall_after) {
        // Silent until the client gives up on this connection or the session.
        pollfd p[3] = {{data, POLLIN, 0}, {s.control, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
        while (::poll(p, 3, -1) < 0 && errno == EINTR) {
        }
        close_fd(data);
        return;
    }
    close_fd(data);
    if (drop) {
        send_all(s.control, "426 Connection closed; transfer aborted.\r\n");
        return;
    }
    if (sent)
        completed_.fetch_add(1);
    if (!script_.final_with_preliminary)
        send_all(s.control, "226 Transfer complete.\r\n");
}

}  // namespace rg::test
