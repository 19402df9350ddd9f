#include "support/pyftpd_server.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace rg::test {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(15);
constexpr std::string_view kMissingMarker = "no-pyftpdlib";
// Debian's python3-pyftpdlib lives with the system interpreter, which a PATH shim may hide.
constexpr const char* kSystemPython = "/usr/bin/python3";

std::string python() {
    return ::access(kSystemPython, X_OK) == 0 ? kSystemPython : "python3";
}

}  // namespace

PyftpdServer::PyftpdServer(PyftpdOptions options) {
    std::vector<std::string> argv = {
        python(),       std::string(RG_TEST_SUPPORT_DIR) + "/pyftpd_server.py",
        "--root",       options.root,
        "--port",       std::to_string(options.port),
        "--parent-pid", std::to_string(::getpid())};
    if (!options.login.empty()) {
        argv.push_back("--login");
        argv.push_back(options.login);
    }
    if (options.rate > 0) {
        argv.push_back("--rate");
        argv.push_back(std::to_string(options.rate));
    }
    child_ = ChildProcess::spawn(argv, &error_);
    if (!child_)
        return;
    const auto line = child_->read_line(kStartTimeout);
    if (!line) {
        error_ = "pyftpdlib printed no port";
        child_.reset();
        return;
    }
    if (*line == kMissingMarker) {
        missing_ = true;
        error_ = "pyftpdlib is not installed (apt-get install python3-pyftpdlib)";
        child_.reset();
        return;
    }
    port_ = std::atoi(line->c_str());
    if (port_ <= 0) {
        error_ = "pyftpdlib printed no port: " + *line;
        child_.reset();
    }
}

std::string PyftpdServer::url(std::string_view path) const {
    return "ftp://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void PyftpdServer::kill() {
    if (child_)
        child_->stop();
    child_.reset();
}

}  // namespace rg::test
