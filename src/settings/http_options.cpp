#include "settings/http_options.h"

#include <utility>

namespace rg {

HttpSessionOptions http_session_options(const Settings& settings, std::string cookie_file) {
    HttpSessionOptions o;
    o.user_agent = settings.HTTPUserAgent;
    o.connect_timeout_ms = settings.ConnectTimeOut;
    o.receive_timeout_ms = settings.RecieveTimeOut;
    o.use_system_proxy = settings.UseIEProxy != 0;
    o.cookie_file = std::move(cookie_file);
    return o;
}

void apply_settings(HttpSession& session, const Settings& settings) {
    session.update_options([&settings](HttpSessionOptions& o) {
        o = http_session_options(settings, std::move(o.cookie_file));
    });
}

}  // namespace rg
