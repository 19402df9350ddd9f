#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "support/child_process.h"

namespace rg::test {

struct PyftpdOptions {
    std::string root{};   // served read-only
    int port = 0;         // 0: an ephemeral one
    std::string login{};  // "user:password" besides anonymous access; empty: anonymous only
    long rate = 0;        // bytes per second per data connection; 0: no limit
};

// tests/support/pyftpd_server.py (pyftpdlib) as a child process on 127.0.0.1.
class PyftpdServer {
  public:
    explicit PyftpdServer(PyftpdOptions options);

    bool ok() const { return port_ > 0; }
    // pyftpdlib is not installed (scripts/install-deps.sh installs python3-pyftpdlib).
    bool missing() const { return missing_; }
    const std::string& error() const { return error_; }
    int port() const { return port_; }
    std::string url(std::string_view path) const;
    // Kills the server at once, as a crash would.
    void kill();

  private:
    std::optional<ChildProcess> child_;
    int port_ = 0;
    bool missing_ = false;
    std::string error_;
};

}  // namespace rg::test
