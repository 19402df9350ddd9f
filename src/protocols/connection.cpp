#include "protocols/connection.h"

#include "protocols/ftp_client.h"

#include "platform/ascii_text.h"
#include "protocols/http_transfer.h"

namespace rg {

namespace {

constexpr std::string_view kFtpPrefix = "ftp";

// Texts come from servers: a NUL would silently end the name or line wherever it is later used
// as a C string, so it ends it here already.
bool assign_bounded(std::string& field, std::string_view text, std::size_t max_length) {
    const std::size_t nul = text.find('\0');
    bool whole = nul == std::string_view::npos;
    text = text.substr(0, nul);
    if (text.size() > max_length) {
        text = text.substr(0, max_length);
        whole = false;
    }
    field.assign(text);
    return whole;
}

}  // namespace

Protocol protocol_for_url(std::string_view url) {
    if (url.size() < kFtpPrefix.size())
        return Protocol::Http;
    for (std::size_t i = 0; i < kFtpPrefix.size(); ++i) {
        if (ascii_lower(url[i]) != kFtpPrefix[i])
            return Protocol::Http;
    }
    return Protocol::Ftp;
}

bool is_passing_connection_failure(std::uint32_t error_code) {
    return error_code == kErrorTimeout || error_code == kErrorNameNotResolved ||
           error_code == kErrorCannotConnect;
}

bool FtpSession::set_error_text(std::string_view text) {
    return assign_bounded(error_text_, text, kFtpErrorTextMax);
}

bool FtpSession::set_line(std::string_view text) {
    return assign_bounded(line_, text, kFtpLineMax);
}

Connection::Connection() : http(std::make_unique<HttpTransfer>()) {}

// A Connection that goes away in the middle of an FTP transfer still closes its sockets.
Connection::~Connection() {
    ftp_close_sockets(ftp);
}

std::optional<std::int32_t> Connection::take_resumable() {
    if (resumable == kResumableNotReported)
        return std::nullopt;
    const std::int32_t reported = resumable;
    resumable = kResumableNotReported;
    return reported;
}

bool Connection::set_reason_text(std::string_view text) {
    return assign_bounded(reason_text_, text, kReasonTextMax);
}

bool Connection::set_response_text(std::string_view text) {
    return assign_bounded(response_text_, text, kResponseTextMax);
}

bool Connection::set_raw_headers(std::string_view text) {
    return assign_bounded(raw_headers_, text, kRawHeadersMax);
}

bool Connection::set_server_file_name(std::string_view text) {
    return assign_bounded(server_file_name_, text, kServerFileNameMax);
}

}  // namespace rg
