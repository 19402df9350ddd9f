#pragma once

namespace rg {

// libcurl's process-wide set-up, done once before the first handle. Never undone: handles live
// until the process ends.
void ensure_curl_initialised();

}  // namespace rg
