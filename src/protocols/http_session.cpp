#include "protocols/http_session.h"

#include <ctime>
#include <fstream>
#include <utility>
#include <vector>

#include "platform/network_state.h"
#include "protocols/cookie_file.h"
#include "protocols/curl_global.h"
#include "protocols/http_url.h"

namespace rg {

namespace {

// A cookie file larger than the bound is read up to it; the last, cut line is dropped by the
// parser only if malformed, so cut at the last line break instead.
std::string read_cookie_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string text(kCookieFileMaxBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() == kCookieFileMaxBytes) {
        const std::size_t last_break = text.rfind('\n');
        text.resize(last_break == std::string::npos ? 0 : last_break + 1);
    }
    return text;
}

}  // namespace

HttpSession::HttpSession(HttpSessionOptions options)
    : HttpSession(std::move(options), system_network_state()) {}

HttpSession::HttpSession(HttpSessionOptions options, NetworkState& network)
    : options_(std::move(options)), network_(network) {
    // Here, before any worker exists: libcurl's global set-up is not safe to race.
    ensure_curl_initialised();
}

HttpSessionOptions HttpSession::options() const {
    std::lock_guard lock(mutex_);
    return options_;
}

void HttpSession::set_options(HttpSessionOptions options) {
    std::lock_guard lock(mutex_);
    options_ = std::move(options);
}

void HttpSession::update_options(const std::function<void(HttpSessionOptions&)>& change) {
    std::lock_guard lock(mutex_);
    change(options_);
}

void HttpSession::set_ask_go_online(std::function<bool()> ask) {
    std::lock_guard lock(mutex_);
    ask_go_online_ = std::move(ask);
}

bool HttpSession::ensure_online() {
    std::function<bool()> ask;
    {
        std::lock_guard lock(mutex_);
        if (!network_.offline_by_user())
            return true;
        ask = ask_go_online_;
    }
    // Asked without the lock: the answer waits for the user, and other workers must not.
    if (!ask || !ask())
        return false;
    std::lock_guard lock(mutex_);
    network_.go_online();
    return true;
}

std::string HttpSession::cookie_header(const RequestTarget& target) const {
    const std::string path = options().cookie_file;
    if (path.empty())
        return {};
    const std::vector<Cookie> cookies = parse_cookie_file(read_cookie_text(path));
    return cookie_header_value(cookies, target.host, target.path, target.secure,
                               static_cast<std::int64_t>(std::time(nullptr)));
}

}  // namespace rg
