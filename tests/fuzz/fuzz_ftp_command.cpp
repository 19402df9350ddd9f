// Takes arbitrary bytes apart into a URL, a user name and a password (separated by 0x01 bytes),
// stores the credentials as a download does (Base64) and also passes the raw bytes as stored
// forms, and checks that whatever the FTP client would send for them is one command each: a
// single CR LF at the end and no CR, LF or NUL anywhere before it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "protocols/base64.h"
#include "protocols/ftp_request.h"

namespace {

constexpr char kSeparator = '\x01';
constexpr std::size_t kEncodeCapacity = 64 * 1024;

void check(bool condition) {
    if (!condition)
        std::abort();
}

void check_command(const std::optional<std::string>& command) {
    check(command.has_value());
    const std::string_view text = *command;
    check(text.size() >= 2 && text.ends_with("\r\n"));
    const std::string_view body = text.substr(0, text.size() - 2);
    check(body.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos);
}

void check_request(std::string_view url, const rg::Credentials* credentials) {
    rg::FtpRequest request;
    const rg::FtpRequestProblem problem = rg::plan_ftp_request(url, credentials, &request);
    if (problem != rg::FtpRequestProblem::kNone) {
        // Refused requests never reach a command, but the builder must refuse them too.
        return;
    }
    check(!request.path.empty() && !request.host.empty());
    check(request.port > 0 && request.port <= 65535);
    check_command(rg::ftp_command("USER", request.user_name));
    check_command(rg::ftp_command("PASS", request.password));
    check_command(rg::ftp_command("SIZE", request.path));
    check_command(rg::ftp_command("RETR", request.path));
}

std::string_view take_part(std::string_view& rest) {
    const std::size_t end = rest.find(kSeparator);
    const std::string_view part = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string_view url = take_part(rest);
    const std::string_view user = take_part(rest);
    const std::string_view password = take_part(rest);

    check_request(url, nullptr);
    const auto user_stored = rg::base64_encode_text(user, kEncodeCapacity);
    const auto password_stored = rg::base64_encode_text(password, kEncodeCapacity);
    if (user_stored && password_stored) {
        const rg::Credentials encoded{*user_stored, *password_stored};
        check_request(url, &encoded);
    }
    const rg::Credentials raw{std::string(user), std::string(password)};
    check_request(url, &raw);

    // Any argument at all: the builder alone keeps a line break out of a command.
    const auto any = rg::ftp_command("RETR", url);
    if (any)
        check_command(any);
    else
        check(url.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos);
    return 0;
}
