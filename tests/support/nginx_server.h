#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "support/temp_dir.h"

namespace rg::test {

// A real nginx on 127.0.0.1 and a free port, serving files from root(), as a child process that is
// stopped in the destructor and killed with the test process if that dies first. Its config, logs,
// pid file and temporary folders all live in one temporary folder.
//
//   if (!NginxServer::available()) GTEST_SKIP() << NginxServer::missing_message();
//   NginxServer server;
//   write_file(server.root() + "/a.bin", data);
//   get(server.url("/a.bin"));
class NginxServer {
  public:
    struct Options {
        // Directives added to the server block, e.g. "location = /old { return 302 /new; }".
        std::string server_config;
        // Tried before any free port when not 0; if it is taken, a free port is used instead.
        int first_port = 0;
    };

    NginxServer() : NginxServer(Options{}) {}
    // Throws std::runtime_error (with nginx's error log) when nginx cannot be started.
    explicit NginxServer(Options options);
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    static bool available();
    static std::string missing_message();

    // The document root; files written here are served at url("/name").
    const std::string& root() const { return root_; }
    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    // "http://127.0.0.1:PORT" followed by path; a leading '/' is added when missing.
    std::string url(std::string_view path) const;
    std::string error_log() const;

    // Stops nginx and reaps it; the destructor calls it. Idempotent.
    void stop();

  private:
    enum class Start { Ready, PortTaken, Failed };

    void write_config(int port) const;
    Start start_once(int port, std::string& failure);
    // Waits until nginx exits or until timeout_ms passes; true when it exited.
    bool wait_exit(int timeout_ms);
    void reap();

    TempDir dir_;
    Options options_;
    std::string root_;
    int port_ = 0;
    pid_t pid_ = -1;
    int exit_fd_ = -1;  // read end of a pipe whose write end only nginx holds: EOF when it exits
};

}  // namespace rg::test
