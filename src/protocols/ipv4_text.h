#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rg {

// The dotted-quad form of a host written as a numeric IPv4 address in any of the forms the
// resolver and libcurl accept (one to four parts separated by dots, each decimal, octal with a
// leading 0 or hexadecimal with 0x, the last part filling the remaining bytes): "33333333" gives
// "1.252.160.85", "0x7f.1" gives "127.0.0.1". nullopt for a host that is a name.
std::optional<std::string> numeric_ipv4_host(std::string_view host);

}  // namespace rg
