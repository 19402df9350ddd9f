#include "protocols/transfer_ops.h"

#include <string>

#include "protocols/ftp_client.h"
#include "protocols/http_client.h"
#include "protocols/http_transfer.h"

namespace rg {

namespace {

constexpr std::string_view kProbeNotForFtp = "Error: The HEAD probe is for HTTP downloads only";

}  // namespace

int open_span(Connection& connection, std::string_view url, std::int64_t start, std::int64_t length,
              const Credentials* credentials, bool* named) {
    switch (connection.protocol) {
        case Protocol::Http: {
            if (http_open_span(connection, url, start, length, credentials, named))
                return 1;
            // The owner took a redirect to FTP: the span goes on there, without the credentials,
            // which were given for the HTTP address.
            if (connection.protocol != Protocol::Ftp || connection.unfollowed_redirect.empty())
                return 0;
            const std::string target = std::move(connection.unfollowed_redirect);
            connection.unfollowed_redirect.clear();
            return ftp_open_span(connection, target, start, length, nullptr, named);
        }
        case Protocol::Ftp:
            // An HTTP span left from before a change of protocol must not stay open, nor a wait
            // an HTTP answer asked for pass for this request's.
            connection.http->finish(HttpTransfer::Slot::kSpan);
            connection.retry_after_ms = kNoRetryAfter;
            return ftp_open_span(connection, url, start, length, credentials, named);
    }
    return 0;
}

std::int32_t read_data(Connection& connection, void* buffer, std::int32_t count) {
    switch (connection.protocol) {
        case Protocol::Http:
            return http_read_data(connection, buffer, count);
        case Protocol::Ftp:
            return ftp_read_data(connection, buffer, count);
    }
    connection.read_failed = true;
    return 0;
}

void close_connection(Connection& connection) {
    if (connection.protocol == Protocol::Http) {
        http_close(connection);
    } else {
        connection.http->finish(HttpTransfer::Slot::kSpan);
        ftp_close_connection(connection);
    }
}

// Both clients: the protocol may change while a stop is on its way (a redirect to ftp://).
void interrupt_connection(Connection& connection) {
    connection.http->interrupt();
    ftp_interrupt(connection);
}

void reset_interrupt(Connection& connection) {
    connection.http->clear_interrupt();
    ftp_reset_interrupt(connection);
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
            connection.error_code = kErrorUnrecognizedScheme;
            connection.set_response_text(kProbeNotForFtp);
            return 0;
    }
    return 0;
}

}  // namespace rg
