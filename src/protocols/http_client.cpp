#include "protocols/http_client.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocols/base64.h"
#include "protocols/http_headers.h"
#include "protocols/http_session.h"
#include "protocols/http_status.h"
#include "protocols/http_transfer.h"
#include "protocols/http_url.h"
#include "protocols/stage_codes.h"

namespace rg {

namespace {

using Slot = HttpTransfer::Slot;

constexpr std::array<int, 5> kRedirectStatuses = {301, 302, 303, 307, 308};
constexpr std::string_view kErrorPrefix = "Error: ";
constexpr std::string_view kWorkingOffline = "Error: Working Offline";
constexpr std::string_view kProbeRange = "bytes=0-";

int fail(Connection& c, std::uint32_t code, std::string_view text) {
    c.error_code = code;
    c.set_response_text(std::string(kErrorPrefix) + std::string(text));
    return 0;
}

void report(Connection& c, std::uint32_t code, const std::string* information = nullptr) {
    if (!c.status_callback)
        return;
    c.status_callback(c.http.get(), c.context, code, information ? information->c_str() : nullptr,
                      information ? information->size() : 0);
}

int fail_url(Connection& c, UrlProblem problem) {
    switch (problem) {
        case UrlProblem::kNone:
            break;
        case UrlProblem::kUnsupportedScheme:
            return fail(c, kErrorUnrecognizedScheme, "The URL does not use a recognized protocol");
        case UrlProblem::kFtp:
            return fail(c, kErrorUnrecognizedScheme, "FTP is not available");
        case UrlProblem::kInvalid:
            return fail(c, kErrorInvalidUrl, "The URL is invalid");
        case UrlProblem::kTooLong:
            return fail(c, kErrorInvalidUrl, "The URL is too long");
    }
    return 0;
}

bool is_redirect(int status) {
    return std::find(kRedirectStatuses.begin(), kRedirectStatuses.end(), status) !=
           kRedirectStatuses.end();
}

std::optional<std::string> decode_credential(const std::string& text) {
    if (text.empty())
        return std::string();
    return base64_decode_text(text);
}

std::int64_t now_seconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void record_head(Connection& c, const ResponseHead& head) {
    c.status_code = head.status_code();
    c.set_reason_text(head.reason());
    c.set_raw_headers(head.raw());
    c.retry_after_ms = is_passing_server_status(head.status_code())
                           ? head.retry_after_ms(now_seconds())
                           : kNoRetryAfter;
}

// Clears what an earlier answer left that a new request must not inherit.
void begin_request(Connection& c) {
    c.error_code = 0;
    // A stale 401 would send the owner down the credentials path after an unrelated failure.
    c.status_code = 0;
    c.retry_after_ms = kNoRetryAfter;
    c.unfollowed_redirect.clear();
}

std::string status_text(const Connection& c) {
    return std::to_string(static_cast<unsigned>(c.status_code)) + ": " + c.reason_text();
}

void apply_facts(Connection& c, const ResponseHead::Facts& facts, bool* named) {
    c.content_length = facts.content_length;
    c.range_start = facts.range.start;
    c.range_end = facts.range.end;
    c.range_total = facts.range.total;
    c.validator = facts.validator;
    if (!facts.file_name.empty()) {
        c.set_server_file_name(facts.file_name);
        if (named)
            *named = true;
    }
}

struct Exchange {
    Slot slot;
    bool head;
    std::string range;  // Range header value
    bool send_if_range;
};

// The request and the redirects it meets, up to a final answer whose head is then in the slot.
// Redirects are followed here rather than by libcurl so that each new address is reported and
// credentials stay with the host they were given for.
int exchange(Connection& c, const Exchange& x, std::string_view url,
             const Credentials* credentials) {
    const HttpSessionOptions options = c.session->options();
    RequestTarget target;
    if (const UrlProblem problem = make_request_target(url, &target); problem != UrlProblem::kNone)
        return fail_url(c, problem);

    std::optional<std::pair<std::string, std::string>> basic;
    if (credentials) {
        auto user = decode_credential(credentials->user_name);
        auto password = decode_credential(credentials->password);
        if (!user || !password)
            return fail(c, kErrorInternal, "The stored user name or password is invalid");
        basic.emplace(std::move(*user), std::move(*password));
    }
    const RequestTarget given_for = target;
    std::vector<std::string> visited = {target.url};

    while (true) {
        HttpRequestPlan plan;
        plan.url = target.url;
        plan.head = x.head;
        plan.user_agent = options.user_agent;
        plan.connect_timeout_ms = options.connect_timeout_ms;
        plan.receive_timeout_ms = options.receive_timeout_ms;
        plan.use_system_proxy = options.use_system_proxy;
        plan.header_lines.push_back("Range: " + x.range);
        if (c.use_cookies == 1) {
            const std::string cookies = c.session->cookie_header(target);
            if (!cookies.empty())
                plan.header_lines.push_back("Cookie: " + cookies);
        }
        // A weak tag never matches in If-Range: a strict server would send the whole file back.
        if (x.send_if_range && !c.if_range.empty() && c.if_range.size() <= kValidatorMax &&
            is_safe_header_value(c.if_range) && !is_weak_etag(c.if_range))
            plan.header_lines.push_back("If-Range: " + c.if_range);
        if (basic && credentials_may_follow(given_for, target))
            plan.basic_credentials = basic;
        plan.report = [&c](std::uint32_t code) { report(c, code); };

        if (const auto failure = c.http->request(x.slot, plan)) {
            c.http->finish(x.slot);
            return fail(c, failure->code, failure->text);
        }
        const ResponseHead& head = c.http->head(x.slot);
        record_head(c, head);
        if (!is_redirect(head.status_code()) || (!head.location() && !head.location_too_long()))
            return 1;

        c.http->finish(x.slot, true);
        if (head.location_too_long())
            return fail(c, kErrorRedirectFailed, "Redirected to an address that is too long");
        const std::optional<std::string> resolved = resolve_location(target.url, *head.location());
        if (!resolved)
            return fail(c, kErrorRedirectFailed,
                        "Redirected to an address that cannot be followed");
        const std::string scheme = url_scheme(*resolved);
        if (scheme == "ftp") {
            // Reported, so that the owner learns the new address and can switch protocols.
            c.unfollowed_redirect = *resolved;
            report(c, kStageRedirect, &*resolved);
            return fail(c, kErrorRedirectFailed,
                        "Redirected to an FTP address, which is not available");
        }
        RequestTarget next;
        if (make_request_target(*resolved, &next) != UrlProblem::kNone)
            return fail(c, kErrorRedirectFailed,
                        "Redirected to an address that cannot be followed");
        if (std::find(visited.begin(), visited.end(), next.url) != visited.end())
            return fail(c, kErrorRedirectFailed, "The server redirects in a loop");
        if (static_cast<int>(visited.size()) > kMaxRedirects)
            return fail(c, kErrorRedirectFailed, "Too many redirects");
        report(c, kStageRedirect, &*resolved);
        visited.push_back(next.url);
        target = std::move(next);
    }
}

bool ready_to_request(Connection& c) {
    if (!c.session)
        return fail(c, kErrorInternal, "No internet session");
    if (!c.session->ensure_online()) {
        c.set_response_text(kWorkingOffline);
        return false;
    }
    return true;
}

}  // namespace

int http_open_span(Connection& c, std::string_view url, std::int64_t start, std::int64_t length,
                   const Credentials* credentials, bool* named) {
    if (named)
        *named = false;
    http_close(c);
    begin_request(c);

    const std::optional<std::string> range = range_header_value(start, length);
    if (!range)
        return fail(c, kErrorInternal, "Invalid byte range requested");
    if (!ready_to_request(c))
        return 0;
    if (!exchange(c, {Slot::kSpan, false, *range, start > 0}, url, credentials))
        return 0;

    const ResponseHead& head = c.http->head(Slot::kSpan);
    const int status = head.status_code();
    if (status != kHttpOk && status != kHttpPartialContent) {
        c.set_response_text(status_text(c));
        http_close(c);
        return 0;
    }
    const ResponseHead::Facts facts = head.facts(status == kHttpPartialContent);
    if (facts.problem != HeaderProblem::kNone) {
        http_close(c);
        return fail(c, kErrorInvalidServerResponse, facts.problem_text);
    }
    apply_facts(c, facts, named);
    c.resumable = 1;
    if (status != kHttpPartialContent && !head.ranges_advertised())
        c.resumable = 0;
    return 1;
}

std::int32_t http_read_data(Connection& c, void* buffer, std::int32_t count) {
    c.read_failed = false;
    if (count < 0 || (count > 0 && buffer == nullptr)) {
        c.read_failed = true;
        return 0;
    }
    std::optional<TransferFailure> failure;
    const std::int32_t n = c.http->read(buffer, count, &failure);
    if (failure) {
        c.read_failed = true;
        c.error_code = failure->code;
    }
    return n;
}

void http_close(Connection& c) {
    c.content_length = 0;
    c.set_server_file_name("");
    c.range_start = c.range_end = c.range_total = kNoRange;
    c.validator.clear();
    if (c.http->active(Slot::kSpan)) {
        report(c, kStageClosingConnection);
        c.http->finish(Slot::kSpan);
        report(c, kStageConnectionClosed);
    }
}

int http_probe(Connection& c, std::string_view url, const Credentials* credentials, bool* named) {
    c.content_length = 0;
    begin_request(c);
    if (!ready_to_request(c))
        return 0;
    if (!exchange(c, {Slot::kProbe, true, std::string(kProbeRange), false}, url, credentials))
        return 0;

    const ResponseHead& head = c.http->head(Slot::kProbe);
    const int status = head.status_code();
    const ResponseHead::Facts facts = head.facts(status == kHttpPartialContent);
    c.http->finish(Slot::kProbe, true);
    if (status != kHttpOk && status != kHttpPartialContent) {
        if (facts.problem == HeaderProblem::kNone)
            c.content_length = facts.content_length;
        c.set_response_text(status_text(c));
        return 0;
    }
    if (facts.problem != HeaderProblem::kNone)
        return fail(c, kErrorInvalidServerResponse, facts.problem_text);
    apply_facts(c, facts, named);
    if (!head.ranges_advertised())
        c.resumable = 0;
    return 1;
}

}  // namespace rg
