#include "support/nginx_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <utility>
#include <vector>

namespace rg::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kDebianNginx = "/usr/sbin/nginx";
constexpr int kPortAttempts = 5;
// nginx itself retries a taken port five times, half a second apart, before it gives up.
constexpr auto kStartTimeout = std::chrono::seconds(20);
constexpr auto kStopTimeout = std::chrono::seconds(5);
constexpr const char* kPidFile = "nginx.pid";

std::string find_nginx() {
    if (::access(kDebianNginx, X_OK) == 0)
        return kDebianNginx;
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const std::string dir(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        if (dir.empty())
            continue;
        const std::string candidate = dir + "/nginx";
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// Closes the descriptor on every exit path.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset() {
        if (fd_ >= 0)
            ::close(std::exchange(fd_, -1));
    }

  private:
    int fd_;
};

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int free_port() {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.get() < 0)
        throw std::runtime_error("socket failed");
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot bind 127.0.0.1:0");
    return ntohs(address.sin_port);
}

bool accepts_connections(int port) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = loopback(port);
    return fd.get() >= 0 &&
           ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

int milliseconds_until(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
}

// True when an inotify event in the buffer names the pid file.
bool pid_file_written(int inotify_fd) {
    alignas(inotify_event) char buffer[4096];
    bool seen = false;
    for (;;) {
        const ssize_t n = ::read(inotify_fd, buffer, sizeof buffer);
        if (n <= 0)
            return seen;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && std::string_view(event->name) == kPidFile)
                seen = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

}  // namespace

NginxServer::NginxServer(Options options) : options_(std::move(options)), root_(dir_.file("www")) {
    const std::string binary = find_nginx();
    if (binary.empty())
        throw std::runtime_error(missing_message());
    std::filesystem::create_directories(root_);
    std::filesystem::create_directories(dir_.file("tmp"));

    std::string failure;
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
        const int port =
            attempt == 0 && options_.first_port != 0 ? options_.first_port : free_port();
        switch (start_once(port, failure)) {
            case Start::Ready:
                port_ = port;
                return;
            case Start::PortTaken:
                continue;
            case Start::Failed:
                throw std::runtime_error("nginx did not start: " + failure);
        }
    }
    throw std::runtime_error("nginx found no free port: " + failure);
}

NginxServer::~NginxServer() {
    stop();
}

bool NginxServer::available() {
    return !find_nginx().empty();
}

std::string NginxServer::missing_message() {
    return std::string("nginx is not installed (looked for ") + kDebianNginx +
           " and nginx on PATH); scripts/install-deps.sh installs it";
}

std::string NginxServer::url(std::string_view path) const {
    std::string url = "http://127.0.0.1:" + std::to_string(port_);
    if (path.empty() || path.front() != '/')
        url += '/';
    url += path;
    return url;
}

std::string NginxServer::error_log() const {
    return read_file(dir_.file("error.log")) + read_file(dir_.file("stderr.log"));
}

void NginxServer::write_config(int port) const {
    const auto quoted = [this](std::string_view name) { return '"' + dir_.file(name) + '"'; };
    // One process (no master, no workers) runs as the invoking user, root included, so it can
    // read the private temporary folder and stops at once on SIGTERM.
    std::string config;
    config += "daemon off;\nmaster_process off;\nworker_processes 1;\n";
    config += "pid " + quoted(kPidFile) + ";\n";
    config += "error_log " + quoted("error.log") + " notice;\n";
    config += "events { worker_connections 256; }\n";
    config += "http {\n";
    config += "    default_type application/octet-stream;\n";
    config += "    access_log " + quoted("access.log") + ";\n";
    config += "    client_body_temp_path " + quoted("tmp/body") + ";\n";
    config += "    proxy_temp_path " + quoted("tmp/proxy") + ";\n";
    config += "    fastcgi_temp_path " + quoted("tmp/fastcgi") + ";\n";
    config += "    uwsgi_temp_path " + quoted("tmp/uwsgi") + ";\n";
    config += "    scgi_temp_path " + quoted("tmp/scgi") + ";\n";
    config += "    sendfile on;\n    tcp_nopush on;\n";
    config += "    keepalive_timeout 65s;\n    keepalive_requests 1000;\n";
    config += "    server {\n";
    config += "        listen 127.0.0.1:" + std::to_string(port) + ";\n";
    config += "        server_name localhost;\n";
    config += "        root " + quoted("www") + ";\n";
    config += options_.server_config + "\n";
    config += "    }\n}\n";
    write_file(dir_.file("nginx.conf"), config);
}

NginxServer::Start NginxServer::start_once(int port, std::string& failure) {
    write_config(port);
    std::filesystem::remove(dir_.file(kPidFile));
    write_file(dir_.file("error.log"), "");
    write_file(dir_.file("stderr.log"), "");

    // nginx writes its pid file after its listening socket is open; the watch sees that happen.
    Fd inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (inotify.get() < 0 ||
        ::inotify_add_watch(inotify.get(), dir_.path().c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0)
        throw std::runtime_error("inotify failed");

    int exit_pipe[2];
    if (::pipe2(exit_pipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    Fd exit_read(exit_pipe[0]);
    Fd exit_write(exit_pipe[1]);
    Fd null_fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    Fd log_fd(::open(dir_.file("stderr.log").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    if (null_fd.get() < 0 || log_fd.get() < 0)
        throw std::runtime_error("open failed");

    const std::string binary = find_nginx();
    const std::string prefix = dir_.path() + "/";
    const std::string conf = dir_.file("nginx.conf");
    const std::string error = dir_.file("error.log");
    std::vector<const char*> argv = {binary.c_str(), "-p", prefix.c_str(), "-c",
                                     conf.c_str(),   "-e", error.c_str(),  nullptr};
    const pid_t parent = ::getpid();

    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        // Only async-signal-safe calls from here to exec.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::dup2(null_fd.get(), 0);
        ::dup2(log_fd.get(), 1);
        ::dup2(log_fd.get(), 2);
        if (exit_write.get() == 3)
            ::fcntl(3, F_SETFD, 0);
        else
            ::dup2(exit_write.get(), 3);
        ::close_range(4, ~0U, 0);
        ::execv(argv[0], const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    pid_ = child;
    exit_write.reset();  // only nginx holds the write end now
    exit_fd_ = exit_read.release();

    const auto deadline = Clock::now() + kStartTimeout;
    bool pid_written = false;
    int backoff_ms = 1;
    for (;;) {
        if (pid_written && accepts_connections(port))
            return Start::Ready;
        const int left = milliseconds_until(deadline);
        if (left == 0)
            break;
        pollfd fds[2] = {{exit_fd_, POLLIN, 0}, {inotify.get(), POLLIN, 0}};
        // Once the pid file is there the port should already accept; retry briefly if not.
        const int wait = pid_written ? std::min(backoff_ms *= 2, 100) : left;
        if (::poll(fds, 2, std::min(wait, left)) < 0 && errno != EINTR)
            break;
        if (fds[0].revents != 0) {
            reap();
            const std::string log = error_log();
            if (log.find("Address already in use") != std::string::npos) {
                failure = log;
                return Start::PortTaken;
            }
            failure = log.empty() ? "nginx exited without a message" : log;
            return Start::Failed;
        }
        if (fds[1].revents != 0 && pid_file_written(inotify.get()))
            pid_written = true;
    }
    stop();
    failure =
        "not accepting connections on port " + std::to_string(port) + " in time\n" + error_log();
    return Start::Failed;
}

bool NginxServer::wait_exit(int timeout_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        pollfd fd = {exit_fd_, POLLIN, 0};
        const int ready = ::poll(&fd, 1, milliseconds_until(deadline));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

void NginxServer::reap() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    ::close(exit_fd_);
    exit_fd_ = -1;
}

void NginxServer::stop() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    const int timeout_ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(kStopTimeout).count());
    if (!wait_exit(timeout_ms))
        ::kill(pid_, SIGKILL);
    reap();
}

}  // namespace rg::test
