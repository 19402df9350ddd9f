#include "protocols/ftp_request.h"

#include <arpa/inet.h>

#include "protocols/base64.h"
#include "protocols/url_split.h"

namespace rg {

namespace {

constexpr int kMaxPort = 65535;
constexpr std::uint32_t kByteMask = 0xff;
constexpr int kBitsPerByte = 8;
constexpr int kAddressBytes = 4;
constexpr char kEscape = '%';
constexpr std::size_t kEscapeLength = 3;  // "%XX"
constexpr int kHexBase = 16;

int hex_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> decode_credential(const std::string& text) {
    if (text.empty())
        return std::string();
    return base64_decode_text(text);
}

}  // namespace

std::string percent_decoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == kEscape && i + kEscapeLength <= text.size()) {
            const int high = hex_value(text[i + 1]);
            const int low = hex_value(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * kHexBase + low);
                i += kEscapeLength - 1;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool is_safe_ftp_argument(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

FtpRequestProblem plan_ftp_request(std::string_view url, const Credentials* credentials,
                                   FtpRequest* request) {
    // A NUL ends the URL as it would a C string; what follows it is never looked at.
    const SplitUrl parts = split_url(url, kClientSplitCapacities);
    if (parts.path.empty())
        return FtpRequestProblem::kNoPath;
    // A cut host or path would name another server or file. The path is checked once decoded:
    // "%0D%0A" must not smuggle a command in either.
    const std::string path = percent_decoded(parts.path);
    if (parts.truncated || parts.host.empty() || !is_safe_ftp_argument(path))
        return FtpRequestProblem::kInvalid;
    const int port = parts.port.value_or(kDefaultFtpPort);
    if (port <= 0 || port > kMaxPort)
        return FtpRequestProblem::kInvalid;

    FtpRequest r;
    r.host = parts.host;
    r.port = port;
    r.path = path;
    if (credentials) {
        auto user = decode_credential(credentials->user_name);
        auto password = decode_credential(credentials->password);
        if (!user || !password)
            return FtpRequestProblem::kInvalid;
        r.user_name = std::move(*user);
        r.password = std::move(*password);
    } else {
        r.user_name = kFtpAnonymousUser;
        r.password = kFtpAnonymousPassword;
    }
    if (!is_safe_ftp_argument(r.user_name) || !is_safe_ftp_argument(r.password))
        return FtpRequestProblem::kInvalid;
    if (request)
        *request = std::move(r);
    return FtpRequestProblem::kNone;
}

std::optional<std::string> ftp_command(std::string_view verb, std::string_view argument) {
    if (!is_safe_ftp_argument(verb) || !is_safe_ftp_argument(argument))
        return std::nullopt;
    std::string command(verb);
    command += ' ';
    command += argument;
    command += "\r\n";
    return command;
}

std::optional<std::string> ftp_command(std::string_view verb) {
    if (!is_safe_ftp_argument(verb))
        return std::nullopt;
    return std::string(verb) + "\r\n";
}

std::string ftp_port_argument(std::uint32_t address_network_order, std::uint16_t port) {
    const std::uint32_t host = ntohl(address_network_order);
    std::string text;
    for (int i = kAddressBytes - 1; i >= 0; --i) {
        text += std::to_string((host >> (i * kBitsPerByte)) & kByteMask);
        text += ',';
    }
    text += std::to_string(port >> kBitsPerByte);
    text += ',';
    text += std::to_string(port & kByteMask);
    return text;
}

std::string ftp_extended_port_argument(bool ipv6, std::string_view address_text,
                                       std::uint16_t port) {
    return std::string(ipv6 ? "|2|" : "|1|") + std::string(address_text) + "|" +
           std::to_string(port) + "|";
}

}  // namespace rg
