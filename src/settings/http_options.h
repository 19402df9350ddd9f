#pragma once

#include <string>

#include "protocols/http_session.h"
#include "settings/settings.h"

namespace rg {

// `cookie_file` stays as given; everything else comes from the settings.
HttpSessionOptions http_session_options(const Settings& settings, std::string cookie_file);

// Gives the session the settings' values; its cookie file stays.
void apply_settings(HttpSession& session, const Settings& settings);

}  // namespace rg
