#include "protocols/transfer_ops.h"

#include "protocols/http_client.h"
#include "protocols/http_transfer.h"

namespace rg {

namespace {

constexpr std::string_view kFtpUnavailable = "Error: FTP is not available";

int ftp_unavailable(Connection& c) {
    c.error_code = kErrorUnrecognizedScheme;
    c.set_response_text(kFtpUnavailable);
    return 0;
}

}  // namespace

int open_span(Connection& connection, std::string_view url, std::int32_t start, std::int32_t length,
              const Credentials* credentials, bool* named) {
    switch (connection.protocol) {
        case Protocol::Http:
            return http_open_span(connection, url, start, length, credentials, named);
        case Protocol::Ftp:
            if (named)
                *named = false;
            // An HTTP span left from before a change of protocol must not stay open.
            connection.http->finish(HttpTransfer::Slot::kSpan);
            return ftp_unavailable(connection);
    }
    return 0;
}

std::int32_t read_data(Connection& connection, void* buffer, std::int32_t count) {
    if (connection.protocol == Protocol::Http)
        return http_read_data(connection, buffer, count);
    connection.read_failed = true;
    return 0;
}

void close_connection(Connection& connection) {
    if (connection.protocol == Protocol::Http)
        http_close(connection);
    else
        connection.http->finish(HttpTransfer::Slot::kSpan);
}

void interrupt_connection(Connection& connection) {
    connection.http->interrupt();
}

void reset_interrupt(Connection& connection) {
    connection.http->clear_interrupt();
}

void release_connection(Connection& connection) {
    close_connection(connection);
    connection.http->release();
}

int probe_http(Connection& connection, std::string_view url, const Credentials* credentials,
               bool* named) {
    switch (connection.protocol) {
        case Protocol::Http:
            return http_probe(connection, url, credentials, named);
        case Protocol::Ftp:
            return ftp_unavailable(connection);
    }
    return 0;
}

}  // namespace rg
