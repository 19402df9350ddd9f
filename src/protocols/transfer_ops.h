#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocols/connection.h"

namespace rg {

// A download's user name and password as the item stores them: Base64, decoded just before they
// are sent. An empty value stands for the empty string.
struct Credentials {
    std::string user_name;
    std::string password;
};

// The operations of a Connection, dispatched on its protocol. A protocol without a client fails:
// FTP for now with "Error: FTP is not available", any other value without a text.

// Opens the span [start, start + length) of `url` (length 0: to the end) for reading. 1 = the
// body can be read; 0 = failure, with response_text, error_code and status_code saying why.
// `named` (may be null) is cleared and set when the server offered a file name.
int open_span(Connection& connection, std::string_view url, std::int64_t start, std::int64_t length,
              const Credentials* credentials, bool* named);

// Up to `count` bytes of the open span, waiting for at least one; larger counts are fine. 0 at
// the end of the body or on failure, which sets read_failed (and error_code).
std::int32_t read_data(Connection& connection, void* buffer, std::int32_t count);

// Ends the open span; the server connection stays for the next one when it can. Owner's thread.
void close_connection(Connection& connection);

// Any thread: an open, probe or read waiting in the owner's thread fails within 100 ms, and so
// does every later one until reset_interrupt(), so a stop that comes between two calls is not
// lost. Touches nothing but a flag and the wake-up of the owner's wait.
void interrupt_connection(Connection& connection);

// Owner's thread, when a new run starts: forgets an earlier interrupt.
void reset_interrupt(Connection& connection);

// Closes the span and also the kept server connection, e.g. when a download stops for good.
// Owner's thread.
void release_connection(Connection& connection);

// HEAD with "Range: bytes=0-": size, status and range support of `url` without opening a span
// (an open one stays as it is). 1 on 200 or 206, clearing `resumable` when the answer does not
// offer ranges; 0 otherwise. `named` (may be null) is only ever set.
int probe_http(Connection& connection, std::string_view url, const Credentials* credentials,
               bool* named);

}  // namespace rg
