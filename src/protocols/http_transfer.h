#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocols/http_headers.h"

namespace rg {

// Error numbers of failures other than the three a worker retries (those live in connection.h).
// They keep the numbers of the classic internet library for the same situations.
inline constexpr std::uint32_t kErrorInternal = 12004;
inline constexpr std::uint32_t kErrorInvalidUrl = 12005;
inline constexpr std::uint32_t kErrorUnrecognizedScheme = 12006;
inline constexpr std::uint32_t kErrorCancelled = 12017;
inline constexpr std::uint32_t kErrorConnectionAborted = 12030;
inline constexpr std::uint32_t kErrorConnectionReset = 12031;
inline constexpr std::uint32_t kErrorInvalidServerResponse = 12152;
inline constexpr std::uint32_t kErrorRedirectFailed = 12156;
inline constexpr std::uint32_t kErrorSecureChannel = 12157;

// Bytes of a body held between libcurl and the reader; libcurl is paused when it is full.
inline constexpr std::size_t kBodyBufferCapacity = 512 * 1024;

struct TransferFailure {
    std::uint32_t code = 0;
    std::string text;  // readable, without the "Error: " the client puts in front
};

struct HttpRequestPlan {
    std::string url;
    bool head = false;
    std::vector<std::string> header_lines;  // "Name: value", already checked for CR and LF
    std::optional<std::pair<std::string, std::string>> basic_credentials;
    std::string user_agent;
    std::int32_t connect_timeout_ms = 0;  // 0 or less: libcurl's default
    std::int32_t receive_timeout_ms = 0;  // longest wait for any byte; 0 or less: none
    bool use_system_proxy = true;
    std::function<void(std::uint32_t stage)> report;  // stage codes; may be empty
};

// The libcurl state of one Connection: a multi handle and, reused across requests so that
// keep-alive reuses the server connection, an easy handle for spans and one for HEAD probes.
// Reads pull the body through the multi interface on the owner's thread; interrupt() is the one
// call for other threads. CURLcode and CURLMcode become TransferFailure here and nowhere else.
class HttpTransfer {
  public:
    enum class Slot { kSpan, kProbe };

    HttpTransfer();
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    // Any thread: makes the owner's waiting request or read fail at once, and every later one
    // until clear_interrupt().
    void interrupt();

    // The owner's thread only, from here on.
    void clear_interrupt();
    // Sends the request and waits until the head of the answer has arrived.
    std::optional<TransferFailure> request(Slot slot, const HttpRequestPlan& plan);
    const ResponseHead& head(Slot slot) const;
    bool active(Slot slot) const;
    // Up to `count` body bytes of the span request, waiting for at least one. 0 with no failure
    // is the end of the body.
    std::int32_t read(void* buffer, std::int32_t count, std::optional<TransferFailure>* failure);
    // Ends the slot's request. `take_arrived_body` first reads whatever part of the body has
    // already arrived without waiting, so that a short answer (a redirect) leaves the connection
    // reusable; a body still in flight makes libcurl close the connection.
    void finish(Slot slot, bool take_arrived_body = false);
    // Ends both requests and closes the kept server connections.
    void release();

  private:
    struct Request;
    enum class Wait { kReady, kDone, kInterrupted, kTimedOut, kFailed };

    Request& request_of(Slot slot);
    const Request& request_of(Slot slot) const;
    std::optional<TransferFailure> prepare(Request& r, const HttpRequestPlan& plan);
    Wait drive(Request& r, const std::function<bool()>& ready);
    void collect_finished();
    std::optional<TransferFailure> failure_of(Wait wait, const Request& r) const;

    std::atomic<bool> interrupted_{false};
    std::mutex multi_mutex_;  // guards multi_ against interrupt() while it is made or dropped
    CURLM* multi_ = nullptr;
    std::unique_ptr<Request> span_;
    std::unique_ptr<Request> probe_;
    std::optional<TransferFailure> multi_failure_;
};

}  // namespace rg
