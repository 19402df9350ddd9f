#include "montage/montage_format.h"

namespace rg {

namespace {

constexpr std::int64_t kBytesShownAsBytes = 1023;
constexpr double kKilo = 1024.0;
constexpr double kKilosShownAsKilos = 1023.0;

std::string format_double(const char* format, const std::string& prefix, double value) {
    const int n = std::snprintf(nullptr, 0, format, prefix.c_str(), value);
    if (n <= 0)
        return prefix;
    std::vector<char> buffer(static_cast<std::size_t>(n) + 1);
    std::snprintf(buffer.data(), buffer.size(), format, prefix.c_str(), value);
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

}  // namespace

std::string format_byte_counts(std::string_view format,
                               std::initializer_list<std::int64_t> values) {
    constexpr std::string_view kPlace = "%u";
    std::string out;
    const std::int64_t* next = values.begin();
    std::size_t at = 0;
    while (at < format.size()) {
        const std::size_t place = format.find(kPlace, at);
        if (place == std::string_view::npos || next == values.end()) {
            out.append(format.substr(at));
            break;
        }
        out.append(format.substr(at, place - at));
        out.append(std::to_string(*next++));
        at = place + kPlace.size();
    }
    return out;
}

std::string format_texts(std::string_view format, std::string_view a, std::string_view b) {
    const std::string f(format);
    const std::string sa(a);
    const std::string sb(b);
    const int n = std::snprintf(nullptr, 0, f.c_str(), sa.c_str(), sb.c_str());
    if (n <= 0)
        return {};
    std::vector<char> buffer(static_cast<std::size_t>(n) + 1);
    std::snprintf(buffer.data(), buffer.size(), f.c_str(), sa.c_str(), sb.c_str());
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::string with_download_amount(std::string_view prefix, std::int64_t bytes) {
    const std::string p(prefix);
    const double n = static_cast<double>(bytes < 0 ? 0 : bytes);
    if (bytes <= kBytesShownAsBytes)
        return format_double("%s(%.0f B downloaded)", p, n);
    const double k = n / kKilo;
    if (k <= kKilosShownAsKilos)
        return format_double("%s(%.2f KB downloaded)", p, k);
    return format_double("%s(%.2f MB downloaded)", p, k / kKilo);
}

}  // namespace rg
