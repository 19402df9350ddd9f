#pragma once

namespace rg {

// The HTTP status codes the program decides on.
inline constexpr int kHttpOk = 200;
inline constexpr int kHttpPartialContent = 206;
inline constexpr int kHttpUnauthorized = 401;
inline constexpr int kHttpInternalServerError = 500;
inline constexpr int kHttpBadGateway = 502;
inline constexpr int kHttpServiceUnavailable = 503;
inline constexpr int kHttpGatewayTimeout = 504;

// Server failures that may pass: the request is worth making again after a while, and the
// answer's Retry-After says how long.
constexpr bool is_passing_server_status(int status) {
    return status == kHttpInternalServerError || status == kHttpBadGateway ||
           status == kHttpServiceUnavailable || status == kHttpGatewayTimeout;
}

}  // namespace rg
