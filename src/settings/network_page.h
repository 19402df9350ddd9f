#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/host.h"
#include "settings/ini_store.h"
#include "settings/settings.h"

namespace rg {

// Offered in the user agent box besides the current value.
inline constexpr std::array<std::string_view, 7> kUserAgentChoices = {
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)",
    "Mozilla/4.0 (compatible; MSIE 5.5; Windows 98)",
    "Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)",
    "Mozilla/4.79 [en] (Windows NT 5.0; U)",
    "Mozilla/4.76 [en] (Win98; U)",
    "Mozilla/4.0 (compatible; MSIE 5.0; Windows 2000) Opera 7.0  [en]",
    "Mozilla/4.0 (compatible; MSIE 5.0; Windows 2000) Opera 6.0  [en]",
};
inline constexpr std::size_t kUserAgentMax = 1022;

inline constexpr std::int32_t kMsPerSecond = 1000;
inline constexpr std::int32_t kMsPerMinute = 60000;

// The page's fields that are checked, in the order they are checked.
enum class NetworkField { kConnectTimeOut, kRecieveTimeOut, kRetryCount, kRetryDelay };

// What the page's controls hold: texts as typed, the times in the page's units.
struct NetworkPageFields {
    std::string user_agent;
    bool use_cookies = false;
    bool use_ie_proxy = false;
    std::string connect_timeout;  // seconds
    std::string receive_timeout;  // minutes
    std::string retry_count;      // failures
    std::string retry_delay;      // seconds
};

struct NetworkPageError {
    NetworkField field;  // gets the focus
    std::string_view message;
};

// The page as it opens: the settings in the page's units (stored values divided down).
NetworkPageFields network_page_fields(const Settings& settings);

// Checks the four numbers in order (Connect Time Out 1 to 600 seconds, Recieve Time Out 1 to 60
// minutes, Disconnect After 0 to 10000, Time between Retries 0 to 6000 seconds); the first
// failure is returned and `settings` is left alone. A text that is not a whole number fails
// its check. Otherwise the values go into `settings` in milliseconds, with the two check boxes
// and the user agent (cut to 1022 characters, control characters dropped).
std::optional<NetworkPageError> read_network_page(const NetworkPageFields& fields,
                                                  Settings& settings);

enum class NetworkApplyStatus { kStored, kInvalid, kWriteFailed };

struct NetworkApplyResult {
    NetworkApplyStatus status = NetworkApplyStatus::kStored;
    std::optional<NetworkPageError> error;  // set for kInvalid
};

// The page's OK: a failed check is shown through the host (caption "Error") and nothing is
// stored, so the sheet stays open; otherwise the process settings take the values and the
// Network keys are written. The caller then pushes the new values into the HTTP session.
NetworkApplyResult apply_network_page(const NetworkPageFields& fields, SettingsStore& settings,
                                      IniStore& ini, Host& host);

}  // namespace rg
