#include "settings/network_page.h"

#include <limits>

namespace rg {

namespace {

constexpr std::string_view kSpaces = " ";
constexpr int kDecimalBase = 10;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;

struct NumberCheck {
    NetworkField field;
    std::int32_t lowest;
    std::int32_t highest;
    std::string_view message;
};

constexpr NumberCheck kConnectCheck{NetworkField::kConnectTimeOut, 1, 600,
                                    "Insert a Valid Connect-TimeOut Value Between 1 and 600"};
constexpr NumberCheck kRecieveCheck{NetworkField::kRecieveTimeOut, 1, 60,
                                    "Insert a Valid Recieve-TimeOut Value Between 1 and 60"};
constexpr NumberCheck kRetryCountCheck{NetworkField::kRetryCount, 0, 10000,
                                       "Insert a Valid Retry-Count Value Between 0 and 10000"};
constexpr NumberCheck kRetryDelayCheck{NetworkField::kRetryDelay, 0, 6000,
                                       "Insert a Valid Retry-Count Value Between 0 and 6000"};

// A signed decimal number with optional spaces around it; nullopt for anything else or a value
// beyond the int range.
std::optional<std::int32_t> parse_number(std::string_view text) {
    const auto first = text.find_first_not_of(kSpaces);
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(kSpaces) - first + 1);
    bool negative = false;
    if (text.front() == '-' || text.front() == '+') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * kDecimalBase + (c - '0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

bool passes(const NumberCheck& check, std::string_view text, std::int32_t& value) {
    const auto number = parse_number(text);
    if (!number || *number < check.lowest || *number > check.highest)
        return false;
    value = *number;
    return true;
}

std::string clean_user_agent(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, kUserAgentMax)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= kFirstPrintable && byte != kDelete)
            out += c;
    }
    return out;
}

}  // namespace

NetworkPageFields network_page_fields(const Settings& settings) {
    NetworkPageFields fields;
    fields.user_agent = settings.HTTPUserAgent;
    fields.use_cookies = settings.UseCookies != 0;
    fields.use_ie_proxy = settings.UseIEProxy != 0;
    fields.connect_timeout = std::to_string(settings.ConnectTimeOut / kMsPerSecond);
    fields.receive_timeout = std::to_string(settings.RecieveTimeOut / kMsPerMinute);
    fields.retry_count = std::to_string(settings.RetryCount);
    fields.retry_delay = std::to_string(settings.RetryDelay / kMsPerSecond);
    return fields;
}

std::optional<NetworkPageError> read_network_page(const NetworkPageFields& fields,
                                                  Settings& settings) {
    std::int32_t connect = 0;
    std::int32_t receive = 0;
    std::int32_t retry_count = 0;
    std::int32_t retry_delay = 0;
    if (!passes(kConnectCheck, fields.connect_timeout, connect))
        return NetworkPageError{kConnectCheck.field, kConnectCheck.message};
    if (!passes(kRecieveCheck, fields.receive_timeout, receive))
        return NetworkPageError{kRecieveCheck.field, kRecieveCheck.message};
    if (!passes(kRetryCountCheck, fields.retry_count, retry_count))
        return NetworkPageError{kRetryCountCheck.field, kRetryCountCheck.message};
    if (!passes(kRetryDelayCheck, fields.retry_delay, retry_delay))
        return NetworkPageError{kRetryDelayCheck.field, kRetryDelayCheck.message};

    settings.ConnectTimeOut = connect * kMsPerSecond;
    settings.RecieveTimeOut = receive * kMsPerMinute;
    settings.RetryCount = retry_count;
    settings.RetryDelay = retry_delay * kMsPerSecond;
    settings.UseCookies = fields.use_cookies ? 1 : 0;
    settings.UseIEProxy = fields.use_ie_proxy ? 1 : 0;
    settings.HTTPUserAgent = clean_user_agent(fields.user_agent);
    return std::nullopt;
}

NetworkApplyResult apply_network_page(const NetworkPageFields& fields, SettingsStore& settings,
                                      IniStore& ini, Host& host) {
    Settings updated = settings.snapshot();
    if (const auto error = read_network_page(fields, updated)) {
        host.message_box(error->message, kErrorCaption, MessageButtons::Ok, MessageIcon::Error);
        return {NetworkApplyStatus::kInvalid, error};
    }
    // Only the page's own values change: another page may have changed others meanwhile.
    settings.update([&updated](Settings& s) {
        s.HTTPUserAgent = updated.HTTPUserAgent;
        s.UseCookies = updated.UseCookies;
        s.UseIEProxy = updated.UseIEProxy;
        s.ConnectTimeOut = updated.ConnectTimeOut;
        s.RecieveTimeOut = updated.RecieveTimeOut;
        s.RetryCount = updated.RetryCount;
        s.RetryDelay = updated.RetryDelay;
    });
    if (!save_settings_group(ini, settings.snapshot(), SettingsGroup::kNetwork))
        return {NetworkApplyStatus::kWriteFailed, std::nullopt};
    return {};
}

}  // namespace rg
