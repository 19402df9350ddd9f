#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocols/transfer_ops.h"

namespace rg {

inline constexpr std::string_view kFtpAnonymousUser = "anonymous";
// Servers that log anonymous users ask for an address as the password; this one reaches nobody.
inline constexpr std::string_view kFtpAnonymousPassword = "reelgrab@reelgrab.invalid";

// What one FTP transfer needs from the download's URL and stored credentials.
struct FtpRequest {
    std::string host;  // as split_url gives it: upper case
    int port = 0;
    std::string path;  // the URL's path, percent-decoded, for SIZE and RETR
    std::string user_name;
    std::string password;
};

enum class FtpRequestProblem {
    kNone,
    kNoPath,
    // No usable host or port, a part cut to its capacity, a stored credential that is not
    // Base64, or a CR, LF or NUL in the decoded path or a credential (it would end the command
    // early and let the rest pass as a command of its own).
    kInvalid,
};

// Takes the URL apart as every client does (scheme, host, port 21 by default, path) and decodes
// the Base64 credentials; without credentials the login is anonymous.
FtpRequestProblem plan_ftp_request(std::string_view url, const Credentials* credentials,
                                   FtpRequest* request);

// "VERB argument\r\n" (the blank stays for an empty argument, as in "PASS \r\n"); nullopt when the
// argument holds a CR, LF or NUL. Every command the client sends is built here.
std::optional<std::string> ftp_command(std::string_view verb, std::string_view argument);
// "VERB\r\n".
std::optional<std::string> ftp_command(std::string_view verb);

// `text` with every "%XX" (two hex digits) replaced by that byte; a '%' without two hex digits
// after it stays as it is.
std::string percent_decoded(std::string_view text);

// Whether `text` may stand in a command: no CR, LF or NUL.
bool is_safe_ftp_argument(std::string_view text);

// The argument of PORT for an IPv4 address (network byte order) and port, "h1,h2,h3,h4,p1,p2".
std::string ftp_port_argument(std::uint32_t address_network_order, std::uint16_t port);

// The argument of EPRT, "|1|a.b.c.d|port|" or "|2|v6-address|port|", from the address's text.
std::string ftp_extended_port_argument(bool ipv6, std::string_view address_text,
                                       std::uint16_t port);

}  // namespace rg
