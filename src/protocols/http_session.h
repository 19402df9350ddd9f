#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace rg {

class NetworkState;
struct RequestTarget;

inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)";
inline constexpr std::int32_t kDefaultConnectTimeoutMs = 120000;
inline constexpr std::int32_t kDefaultReceiveTimeoutMs = 600000;

// The values every HTTP transfer takes from the settings (settings/http_options.h fills them).
struct HttpSessionOptions {
    std::string user_agent{kDefaultUserAgent};
    std::int32_t connect_timeout_ms = kDefaultConnectTimeoutMs;  // 0 or less: libcurl's default
    std::int32_t receive_timeout_ms = kDefaultReceiveTimeoutMs;  // 0 or less: no limit
    // On: the proxy of the environment (http_proxy, https_proxy, no_proxy), as libcurl reads
    // it; off: always direct.
    bool use_system_proxy = true;
    std::string cookie_file;  // Netscape format; empty = no cookies
};

// The process-wide internet session that every Connection points to. The controller updates it
// from the settings while workers read it, so every access takes the lock and readers get a copy.
class HttpSession {
  public:
    explicit HttpSession(HttpSessionOptions options);
    HttpSession(HttpSessionOptions options, NetworkState& network);
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    HttpSessionOptions options() const;
    void set_options(HttpSessionOptions options);
    // Changes the options in place, under the lock.
    void update_options(const std::function<void(HttpSessionOptions&)>& change);

    // Asked when the network state says the user went offline; true = switch back online.
    void set_ask_go_online(std::function<bool()> ask);
    // True when transfers may go on: online, or the user agreed to go online.
    bool ensure_online();

    // The "Cookie:" header value for a request (empty = none), read from the cookie file.
    std::string cookie_header(const RequestTarget& target) const;

  private:
    mutable std::mutex mutex_;
    HttpSessionOptions options_;
    NetworkState& network_;
    std::function<bool()> ask_go_online_;
};

}  // namespace rg
