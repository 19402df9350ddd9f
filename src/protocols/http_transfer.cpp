#include "protocols/http_transfer.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "protocols/connection.h"
#include "protocols/curl_global.h"
#include "protocols/stage_codes.h"

namespace rg {

namespace {

using Clock = std::chrono::steady_clock;

// Upper bound of one wait in curl_multi_poll; interrupts and libcurl's own timers end it sooner.
constexpr int kPollSliceMs = 1000;
// Bytes libcurl reads from the socket at once: large reads keep the system calls and callbacks
// of a fast transfer few.
constexpr long kReceiveChunk = 128 * 1024;
// Resume a paused transfer only once a whole libcurl chunk fits again.
constexpr std::size_t kResumeRoom = kReceiveChunk;
constexpr int kFirstFinalStatus = 200;
constexpr const char* kAllowedProtocols = "http,https";
// Bytes of response heads (interim ones included) taken for one request; libcurl bounds single
// lines on its own.
constexpr std::size_t kHeadBytesMax = 256 * 1024;
constexpr std::string_view kHeadTooLargeText = "The server's answer has a header that is too large";

TransferFailure failure_from_curl(CURLcode code, const char* error_buffer) {
    std::uint32_t number = kErrorInternal;
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            number = kErrorNameNotResolved;
            break;
        case CURLE_COULDNT_CONNECT:
            number = kErrorCannotConnect;
            break;
        case CURLE_OPERATION_TIMEDOUT:
            number = kErrorTimeout;
            break;
        case CURLE_URL_MALFORMAT:
            number = kErrorInvalidUrl;
            break;
        case CURLE_UNSUPPORTED_PROTOCOL:
            number = kErrorUnrecognizedScheme;
            break;
        case CURLE_ABORTED_BY_CALLBACK:
            number = kErrorCancelled;
            break;
        case CURLE_PARTIAL_FILE:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
            number = kErrorConnectionAborted;
            break;
        case CURLE_RECV_ERROR:
            number = kErrorConnectionReset;
            break;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_BAD_CONTENT_ENCODING:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            number = kErrorInvalidServerResponse;
            break;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            number = kErrorSecureChannel;
            break;
        default:
            break;
    }
    const bool detailed = error_buffer != nullptr && error_buffer[0] != '\0';
    return {number, detailed ? error_buffer : curl_easy_strerror(code)};
}

bool refuses_large_head(CURLcode code) {
#if LIBCURL_VERSION_NUM >= 0x080600
    if (code == CURLE_TOO_LARGE)
        return true;
#endif
    return code == CURLE_OUT_OF_MEMORY;
}

TransferFailure failure_from_multi(CURLMcode code) {
    return {kErrorInternal, curl_multi_strerror(code)};
}

}  // namespace

// One request's handle and what its callbacks gather. libcurl calls back only from inside
// curl_multi_perform and curl_easy_pause, both on the owner's thread.
struct HttpTransfer::Request {
    CURL* easy = nullptr;
    curl_slist* header_list = nullptr;
    char error_buffer[CURL_ERROR_SIZE] = {};

    std::function<void(std::uint32_t)> report;
    std::int32_t receive_timeout_ms = 0;
    bool in_multi = false;
    bool done = false;
    CURLcode result = CURLE_OK;

    ResponseHead head;
    bool head_started = false;
    bool head_done = false;
    std::size_t head_bytes = 0;
    bool head_too_large = false;

    // Stages reported for this request, each once.
    bool resolving_reported = false;
    bool connecting_reported = false;
    bool request_started = false;
    bool sent_reported = false;

    Clock::time_point last_progress;

    std::vector<char> storage;
    std::size_t begin = 0;
    std::size_t end = 0;
    bool paused = false;
    bool discard = false;

    ~Request() {
        curl_slist_free_all(header_list);
        if (easy)
            curl_easy_cleanup(easy);
    }

    std::size_t buffered() const { return end - begin; }

    void stage(std::uint32_t code) const {
        if (report)
            report(code);
    }

    void reset_state() {
        curl_slist_free_all(header_list);
        header_list = nullptr;
        error_buffer[0] = '\0';
        report = nullptr;
        done = false;
        result = CURLE_OK;
        head = ResponseHead();
        head_started = head_done = false;
        head_bytes = 0;
        head_too_large = false;
        resolving_reported = connecting_reported = request_started = sent_reported = false;
        begin = end = 0;
        paused = discard = false;
    }

    void report_sent() {
        if (sent_reported)
            return;
        sent_reported = true;
        stage(kStageRequestSent);
        stage(kStageReceivingResponse);
    }

    static size_t on_body(char* data, size_t size, size_t count, void* user) {
        auto& r = *static_cast<Request*>(user);
        const std::size_t bytes = size * count;
        r.last_progress = Clock::now();
        if (r.discard)
            return bytes;
        if (r.buffered() > 0 && bytes > kBodyBufferCapacity - r.buffered()) {
            r.paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        if (r.storage.size() < kBodyBufferCapacity)
            r.storage.resize(kBodyBufferCapacity);
        if (r.storage.size() - r.end < bytes) {
            std::memmove(r.storage.data(), r.storage.data() + r.begin, r.buffered());
            r.end -= r.begin;
            r.begin = 0;
        }
        // Only an empty buffer takes a chunk larger than itself; libcurl's chunks are bounded.
        if (r.storage.size() - r.end < bytes)
            r.storage.resize(r.end + bytes);
        std::memcpy(r.storage.data() + r.end, data, bytes);
        r.end += bytes;
        return bytes;
    }

    static size_t on_header(char* data, size_t size, size_t count, void* user) {
        auto& r = *static_cast<Request*>(user);
        const std::size_t bytes = size * count;
        r.last_progress = Clock::now();
        r.report_sent();
        std::string_view line(data, bytes);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        // Trailers of a chunked body are not part of the head.
        if (r.head_done)
            return bytes;
        r.head_bytes += bytes;
        if (r.head_bytes > kHeadBytesMax) {
            r.head_too_large = true;
            return 0;  // ends the transfer
        }
        if (!r.head_started) {
            r.head_started = r.head.start(line);
            return bytes;
        }
        if (!line.empty()) {
            r.head.add_line(line);
        } else if (r.head.status_code() < kFirstFinalStatus) {
            r.head_started = false;  // an interim answer; the real one follows
        } else {
            r.head_done = true;
            r.stage(kStageResponseReceived);
        }
        return bytes;
    }

    static int on_resolver_start(void*, void*, void* user) {
        auto& r = *static_cast<Request*>(user);
        if (!r.resolving_reported) {
            r.resolving_reported = true;
            r.stage(kStageResolvingName);
        }
        return 0;
    }

    // Called for every new socket, so only for connections that are not reused.
    static int on_socket(void* user, curl_socket_t, curlsocktype) {
        auto& r = *static_cast<Request*>(user);
        if (!r.connecting_reported) {
            if (!r.resolving_reported) {
                r.resolving_reported = true;
                r.stage(kStageResolvingName);
            }
            r.connecting_reported = true;
            r.stage(kStageNameResolved);
            r.stage(kStageConnecting);
        }
        return CURL_SOCKOPT_OK;
    }

    static int on_prerequest(void* user, char*, char*, int, int) {
        auto& r = *static_cast<Request*>(user);
        if (r.connecting_reported)
            r.stage(kStageConnected);
        r.stage(kStageSendingRequest);
        r.request_started = true;
        r.last_progress = Clock::now();
        return CURL_PREREQFUNC_OK;
    }
};

HttpTransfer::HttpTransfer()
    : span_(std::make_unique<Request>()), probe_(std::make_unique<Request>()) {}

HttpTransfer::~HttpTransfer() {
    release();
}

void HttpTransfer::interrupt() {
    interrupted_.store(true, std::memory_order_release);
    std::lock_guard lock(multi_mutex_);
    if (multi_)
        curl_multi_wakeup(multi_);
}

void HttpTransfer::clear_interrupt() {
    interrupted_.store(false, std::memory_order_release);
}

HttpTransfer::Request& HttpTransfer::request_of(Slot slot) {
    return slot == Slot::kSpan ? *span_ : *probe_;
}

const HttpTransfer::Request& HttpTransfer::request_of(Slot slot) const {
    return slot == Slot::kSpan ? *span_ : *probe_;
}

const ResponseHead& HttpTransfer::head(Slot slot) const {
    return request_of(slot).head;
}

bool HttpTransfer::active(Slot slot) const {
    return request_of(slot).in_multi;
}

std::optional<TransferFailure> HttpTransfer::prepare(Request& r, const HttpRequestPlan& plan) {
    ensure_curl_initialised();
    if (!multi_) {
        CURLM* multi = curl_multi_init();
        if (!multi)
            return TransferFailure{kErrorInternal, "Cannot create a transfer"};
        std::lock_guard lock(multi_mutex_);
        multi_ = multi;
    }
    if (!r.easy) {
        r.easy = curl_easy_init();
        if (!r.easy)
            return TransferFailure{kErrorInternal, "Cannot create a transfer"};
    } else {
        // Options go back to their defaults; the multi handle keeps the live connections.
        curl_easy_reset(r.easy);
    }
    r.reset_state();
    r.report = plan.report;
    r.receive_timeout_ms = plan.receive_timeout_ms;

    for (const std::string& line : plan.header_lines) {
        curl_slist* grown = curl_slist_append(r.header_list, line.c_str());
        if (!grown)
            return TransferFailure{kErrorInternal, "Out of memory"};
        r.header_list = grown;
    }

    CURLcode rc = CURLE_OK;
    const auto set = [&](CURLoption option, auto value) {
        if (rc == CURLE_OK)
            rc = curl_easy_setopt(r.easy, option, value);
    };
    set(CURLOPT_URL, plan.url.c_str());
    set(CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
    set(CURLOPT_NOSIGNAL, 1L);
    // libcurl takes a receive buffer size only before its buffer exists, that is on a fresh
    // handle; a reused handle keeps the buffer it has, so a refusal here is no failure.
    curl_easy_setopt(r.easy, CURLOPT_BUFFERSIZE, kReceiveChunk);
    // An interrupted name lookup must not hold the owner until the resolver thread ends: the
    // thread is let go and cleans up after itself.
    set(CURLOPT_QUICK_EXIT, 1L);
    // HTTP/1.1 keeps the reason phrase that failures are reported with.
    set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    set(CURLOPT_USERAGENT, plan.user_agent.c_str());
    if (plan.connect_timeout_ms > 0)
        set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(plan.connect_timeout_ms));
    if (!plan.use_system_proxy)
        set(CURLOPT_PROXY, "");
    if (plan.head)
        set(CURLOPT_NOBODY, 1L);
    set(CURLOPT_HTTPHEADER, r.header_list);
    if (plan.basic_credentials) {
        set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        set(CURLOPT_USERNAME, plan.basic_credentials->first.c_str());
        set(CURLOPT_PASSWORD, plan.basic_credentials->second.c_str());
    }
    set(CURLOPT_ERRORBUFFER, r.error_buffer);
    set(CURLOPT_WRITEFUNCTION, &Request::on_body);
    set(CURLOPT_WRITEDATA, &r);
    set(CURLOPT_HEADERFUNCTION, &Request::on_header);
    set(CURLOPT_HEADERDATA, &r);
    set(CURLOPT_RESOLVER_START_FUNCTION, &Request::on_resolver_start);
    set(CURLOPT_RESOLVER_START_DATA, &r);
    set(CURLOPT_SOCKOPTFUNCTION, &Request::on_socket);
    set(CURLOPT_SOCKOPTDATA, &r);
    set(CURLOPT_PREREQFUNCTION, &Request::on_prerequest);
    set(CURLOPT_PREREQDATA, &r);
    if (rc != CURLE_OK)
        return failure_from_curl(rc, nullptr);

    const CURLMcode added = curl_multi_add_handle(multi_, r.easy);
    if (added != CURLM_OK)
        return failure_from_multi(added);
    r.in_multi = true;
    r.last_progress = Clock::now();
    return std::nullopt;
}

std::optional<TransferFailure> HttpTransfer::request(Slot slot, const HttpRequestPlan& plan) {
    Request& r = request_of(slot);
    finish(slot);
    if (auto failure = prepare(r, plan))
        return failure;
    const Wait wait = drive(r, [&r] { return r.head_done; });
    if (wait == Wait::kReady)
        return std::nullopt;
    if (wait == Wait::kDone && r.result == CURLE_OK)
        return TransferFailure{kErrorInvalidServerResponse, "The server sent no answer"};
    return failure_of(wait, r);
}

std::int32_t HttpTransfer::read(void* buffer, std::int32_t count,
                                std::optional<TransferFailure>* failure) {
    Request& r = *span_;
    if (!r.in_multi) {
        *failure = TransferFailure{kErrorInternal, "No transfer is open"};
        return 0;
    }
    if (count <= 0)
        return 0;
    const Wait wait = drive(r, [&r] { return r.buffered() > 0; });
    if (wait == Wait::kReady) {
        const std::size_t n = std::min(r.buffered(), static_cast<std::size_t>(count));
        std::memcpy(buffer, r.storage.data() + r.begin, n);
        r.begin += n;
        if (r.begin == r.end)
            r.begin = r.end = 0;
        if (r.paused && kBodyBufferCapacity - r.buffered() >= kResumeRoom) {
            r.paused = false;
            curl_easy_pause(r.easy, CURLPAUSE_CONT);
        }
        return static_cast<std::int32_t>(n);
    }
    if (wait != Wait::kDone || r.result != CURLE_OK)
        *failure = failure_of(wait, r);
    return 0;
}

HttpTransfer::Wait HttpTransfer::drive(Request& r, const std::function<bool()>& ready) {
    const Clock::time_point wait_start = Clock::now();
    while (true) {
        if (interrupted_.load(std::memory_order_acquire))
            return Wait::kInterrupted;
        if (ready())
            return Wait::kReady;
        if (r.done)
            return Wait::kDone;
        if (r.paused) {
            // Nothing is buffered here, so the chunk libcurl holds back fits.
            r.paused = false;
            curl_easy_pause(r.easy, CURLPAUSE_CONT);
        }
        int running = 0;
        CURLMcode mc = curl_multi_perform(multi_, &running);
        if (mc != CURLM_OK) {
            multi_failure_ = failure_from_multi(mc);
            return Wait::kFailed;
        }
        collect_finished();
        if (r.request_started && !r.sent_reported) {
            long sent = 0;
            if (curl_easy_getinfo(r.easy, CURLINFO_REQUEST_SIZE, &sent) == CURLE_OK && sent > 0)
                r.report_sent();
        }
        if (ready())
            return Wait::kReady;
        if (r.done)
            return Wait::kDone;

        int timeout_ms = kPollSliceMs;
        // The receive time-out runs from the request (the connect phase has libcurl's own).
        if (r.request_started && r.receive_timeout_ms > 0) {
            const Clock::time_point deadline = std::max(wait_start, r.last_progress) +
                                               std::chrono::milliseconds(r.receive_timeout_ms);
            const Clock::time_point now = Clock::now();
            if (now >= deadline)
                return Wait::kTimedOut;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
            timeout_ms = static_cast<int>(std::min<long long>(timeout_ms, left));
        }
        mc = curl_multi_poll(multi_, nullptr, 0, timeout_ms, nullptr);
        if (mc != CURLM_OK) {
            multi_failure_ = failure_from_multi(mc);
            return Wait::kFailed;
        }
    }
}

void HttpTransfer::collect_finished() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        for (Request* r : {span_.get(), probe_.get()}) {
            if (r->easy == message->easy_handle) {
                r->done = true;
                r->result = message->data.result;
            }
        }
    }
}

std::optional<TransferFailure> HttpTransfer::failure_of(Wait wait, const Request& r) const {
    switch (wait) {
        case Wait::kReady:
            return std::nullopt;
        case Wait::kDone:
            // libcurl refuses an over-long header line as if memory had run out.
            if (r.head_too_large || (!r.head_done && refuses_large_head(r.result)))
                return TransferFailure{kErrorInvalidServerResponse, std::string(kHeadTooLargeText)};
            return failure_from_curl(r.result, r.error_buffer);
        case Wait::kInterrupted:
            return TransferFailure{kErrorCancelled, "The operation was cancelled"};
        case Wait::kTimedOut:
            return TransferFailure{kErrorTimeout, "The operation timed out"};
        case Wait::kFailed:
            return multi_failure_.value_or(TransferFailure{kErrorInternal, "Transfer failed"});
    }
    return std::nullopt;
}

void HttpTransfer::finish(Slot slot, bool take_arrived_body) {
    Request& r = request_of(slot);
    if (!r.in_multi)
        return;
    if (take_arrived_body && !r.done) {
        r.discard = true;
        r.begin = r.end = 0;
        if (r.paused) {
            r.paused = false;
            curl_easy_pause(r.easy, CURLPAUSE_CONT);
        }
        int running = 0;
        if (curl_multi_perform(multi_, &running) == CURLM_OK)
            collect_finished();
    }
    curl_multi_remove_handle(multi_, r.easy);
    r.in_multi = false;
    r.begin = r.end = 0;
    r.paused = false;
}

void HttpTransfer::release() {
    finish(Slot::kSpan);
    finish(Slot::kProbe);
    for (Request* r : {span_.get(), probe_.get()}) {
        if (r->easy) {
            curl_easy_cleanup(r->easy);
            r->easy = nullptr;
        }
        r->storage = std::vector<char>();
    }
    CURLM* multi = nullptr;
    {
        std::lock_guard lock(multi_mutex_);
        std::swap(multi, multi_);
    }
    if (multi)
        curl_multi_cleanup(multi);
}

}  // namespace rg
