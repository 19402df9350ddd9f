#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/child_process.h"

namespace rg::test {

// The bytes the fault server sends for /gen/<size>, from offset `start`.
std::string generated_content(std::size_t start, std::size_t length);

// A blocking HTTP/1.0 GET to 127.0.0.1:port; the body, or nullopt on any failure or after
// `timeout_ms`.
std::optional<std::string> loopback_get(int port, std::string_view path, int timeout_ms = 5000);

// tests/support/fault_http_server.py as a child process on 127.0.0.1 (see the script for its
// paths and switches).
class FaultHttpServer {
  public:
    // Starts it; ok() tells whether it came up, error() why not.
    explicit FaultHttpServer(std::string_view root_folder = {});

    bool ok() const { return port_ > 0; }
    const std::string& error() const { return error_; }
    int port() const { return port_; }
    std::string base() const;
    std::string url(std::string_view path_and_query) const;

    struct Stats {
        int connections = -1;
        int requests = -1;
    };
    Stats stats() const;
    // From now on every content request is served as if its query also held `switches` (a
    // query without '?'): the file changes on the server. False when the server did not answer.
    bool change(std::string_view switches) const;
    // The heads of the requests received so far, in order, each with its lines ended by CR LF.
    std::vector<std::string> requests() const;
    // The value of `name` (any case) in one request head; nullopt when absent.
    static std::optional<std::string> header(std::string_view request, std::string_view name);

  private:
    std::optional<ChildProcess> child_;
    int port_ = 0;
    std::string error_;
};

}  // namespace rg::test
