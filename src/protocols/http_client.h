#pragma once

#include <cstdint>
#include <string_view>

#include "protocols/transfer_ops.h"

namespace rg {

// The HTTP side of the operations in transfer_ops.h.
inline constexpr int kMaxRedirects = 20;

int http_open_span(Connection& connection, std::string_view url, std::int64_t start,
                   std::int64_t length, const Credentials* credentials, bool* named);
std::int32_t http_read_data(Connection& connection, void* buffer, std::int32_t count);
void http_close(Connection& connection);
int http_probe(Connection& connection, std::string_view url, const Credentials* credentials,
               bool* named);

}  // namespace rg
