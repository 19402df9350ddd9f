#include "protocols/ftp_client.h"

#include <netdb.h>

#include <string>

#include "protocols/ftp_control.h"
#include "protocols/ftp_data.h"
#include "protocols/ftp_request.h"
#include "protocols/ftp_runtime.h"
#include "protocols/http_session.h"
#include "protocols/http_transfer.h"
#include "protocols/stage_codes.h"

namespace rg {

namespace {

using std::chrono::milliseconds;

constexpr std::int32_t kResumeTestOffset = 100;

// The FTP client reports with no handle and no information.
void report(Connection& c, std::uint32_t stage) {
    if (c.status_callback)
        c.status_callback(nullptr, c.context, stage, nullptr, 0);
}

FtpTimeouts timeouts_for(const Connection& c, const FtpTimeouts& current) {
    const HttpSessionOptions options = c.session ? c.session->options() : HttpSessionOptions{};
    FtpTimeouts t = current;
    t.connect = options.connect_timeout_ms > 0 ? milliseconds(options.connect_timeout_ms)
                                               : FtpTimeouts{}.connect;
    t.receive = options.receive_timeout_ms > 0
                    ? std::optional<milliseconds>(milliseconds(options.receive_timeout_ms))
                    : std::nullopt;
    return t;
}

enum class Attempt { kOpened, kFailed, kActiveFailed, kPassiveRefused };

int fail_open(Connection& c, std::string_view text, std::uint32_t error_code,
              std::int32_t status_code) {
    c.set_response_text(text);
    c.error_code = error_code;
    c.status_code = status_code;
    return 0;
}

// A step that failed for want of a usable control connection rather than by a refusal: a server
// that could not be reached, which the worker retries, or one that answers with something no
// client can use, which it does not.
void fail_control(Connection& c, const FtpRuntime& r) {
    fail_open(c, c.ftp.error_text(), ftp_failure_is_passing(r.failure) ? kErrorCannotConnect : 0,
              0);
}

Attempt attempt(Connection& c, FtpRuntime& r, const FtpRequest& request, std::int64_t start,
                bool passive) {
    FtpSession& s = c.ftp;
    report(c, kStageFtpConnecting);
    const int greeting = ftp_connect(s, request.host, request.port);
    if (greeting == kFtpReplyNone) {
        fail_control(c, r);
        return Attempt::kFailed;
    }
    if (greeting != kFtpServiceReady) {
        // A server that greets with a refusal ("421 Too many users") says best why.
        fail_open(c, s.line(), kErrorCannotConnect, 0);
        return Attempt::kFailed;
    }
    report(c, kStageFtpConnected);

    report(c, kStageFtpAuthenticating);
    const int login = ftp_login(s, request.user_name, request.password);
    if (login != kFtpLoggedIn) {
        if (r.control_failed)
            fail_control(c, r);
        else
            fail_open(c, kFtpTextAuthenticationFailed, 0, kFtpStatusLoginRefused);
        return Attempt::kFailed;
    }

    report(c, kStageFtpTestingResume);
    // Binary first: servers refuse REST in ASCII mode (pyftpdlib answers 501), which would make
    // every download from them look non-resumable.
    ftp_set_binary(s);
    if (ftp_test_resume(s))
        c.resumable = 1;
    ftp_query_size(s, request.path);
    // The file's time tells a changed file of the same size; a server without MDTM gives none.
    if (!r.control_failed)
        ftp_query_modified(s, request.path);
    if (r.control_failed) {
        fail_control(c, r);
        return Attempt::kFailed;
    }

    report(c, kStageFtpRequestingFile);
    const FtpRetrieveResult got = ftp_retrieve_data(s, r, request.path, start, passive);
    if (got.code != kFtpOpeningData) {
        if (got.active_failed)
            return Attempt::kActiveFailed;
        if (r.control_failed)
            fail_control(c, r);
        else if (got.data_timeout)
            fail_open(c, kFtpTextDataConnectionTimeout, 0, kFtpStatusTransferRefused);
        else
            fail_open(c, kFtpTextFileNotFound, 0, kFtpStatusTransferRefused);
        return got.passive_refused ? Attempt::kPassiveRefused : Attempt::kFailed;
    }
    if (got.passive)
        r.prefer_passive = true;
    return Attempt::kOpened;
}

}  // namespace

int ftp_connect(FtpSession& s, std::string_view host, int port) {
    if (s.connected) {
        ftp_say(kFtpSayAlreadyConnected);
        return kFtpServiceReady;
    }
    const std::shared_ptr<FtpRuntime> r = ftp_runtime(s);
    while (!host.empty() && host.front() == ' ')
        host.remove_prefix(1);
    if (host.empty())
        return kFtpReplyNone;
    r->reset_transfer();

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    // A host that starts with a digit is an address: never a name to look up.
    if (host.front() >= '0' && host.front() <= '9')
        hints.ai_flags |= AI_NUMERICHOST;
    addrinfo* found = nullptr;
    const std::string host_text(host);
    const std::string port_text = std::to_string(port);
    if (::getaddrinfo(host_text.c_str(), port_text.c_str(), &hints, &found) != 0 || !found) {
        ftp_fail(s, *r, FtpFailure::kResolve);
        return kFtpReplyNone;
    }
    // One time-out for all the addresses of the name, tried in the resolver's order.
    const FtpDeadline deadline = ftp_deadline_after(r->timeouts.connect);
    FtpIo io = FtpIo::kFailed;
    int fd = kInvalidSocket;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        io = r->connect(a->ai_addr, a->ai_addrlen, deadline, &fd);
        if (io == FtpIo::kOk || io == FtpIo::kTimedOut || io == FtpIo::kInterrupted)
            break;
    }
    ::freeaddrinfo(found);
    switch (io) {
        case FtpIo::kOk:
            break;
        case FtpIo::kNoSocket:
            ftp_fail(s, *r, FtpFailure::kSocket);
            return kFtpReplyNone;
        case FtpIo::kTimedOut:
            ftp_fail(s, *r, FtpFailure::kConnectTimeout);
            return kFtpReplyNone;
        case FtpIo::kInterrupted:
            ftp_fail(s, *r, FtpFailure::kCancelled);
            return kFtpReplyNone;
        default:
            ftp_fail(s, *r, FtpFailure::kConnect);
            return kFtpReplyNone;
    }
    r->peer_length = sizeof r->peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&r->peer), &r->peer_length) != 0) {
        ftp_close_socket(fd);
        ftp_fail(s, *r, FtpFailure::kConnect);
        return kFtpReplyNone;
    }
    s.control_socket = fd;
    s.connected = true;
    return ftp_await_reply(s, *r);
}

int ftp_read_reply(FtpSession& s) {
    return ftp_await_reply(s, *ftp_runtime(s));
}

int ftp_login(FtpSession& s, std::string_view user_name, std::string_view password) {
    if (!ftp_require_connected(s))
        return kFtpReplyNone;
    FtpRuntime& r = *ftp_runtime(s);
    const int code = ftp_command_reply(s, r, ftp_command("USER", user_name));
    // 230 to USER: logged in without a password.
    if (code != kFtpNeedPassword)
        return code;
    return ftp_command_reply(s, r, ftp_command("PASS", password));
}

bool ftp_test_resume(FtpSession& s) {
    if (!ftp_require_connected(s))
        return false;
    FtpRuntime& r = *ftp_runtime(s);
    if (ftp_command_reply(s, r, ftp_command("REST", std::to_string(kResumeTestOffset))) !=
        kFtpPendingFurther)
        return false;
    ftp_command_reply(s, r, ftp_command("REST", "0"));
    return true;
}

void ftp_set_binary(FtpSession& s) {
    if (!ftp_require_connected(s))
        return;
    ftp_command_reply(s, *ftp_runtime(s), ftp_command("TYPE", "I"));
    ftp_say(kFtpSayBinary);
}

bool ftp_query_size(FtpSession& s, std::string_view path) {
    if (!ftp_require_connected(s))
        return false;
    s.announced_size = 0;
    if (ftp_command_reply(s, *ftp_runtime(s), ftp_command("SIZE", path)) != kFtpFileStatus)
        return false;
    const std::optional<std::int64_t> size = parse_size_reply(s.line());
    if (!size)
        return false;
    s.announced_size = *size;
    return true;
}

bool ftp_query_modified(FtpSession& s, std::string_view path) {
    if (!ftp_require_connected(s))
        return false;
    s.modified.clear();
    if (ftp_command_reply(s, *ftp_runtime(s), ftp_command("MDTM", path)) != kFtpFileStatus)
        return false;
    std::optional<std::string> time = parse_modification_time(s.line());
    if (!time)
        return false;
    s.modified = std::move(*time);
    return true;
}

int ftp_retrieve(FtpSession& s, std::string_view path, std::int64_t offset) {
    FtpRuntime& r = *ftp_runtime(s);
    return ftp_retrieve_data(s, r, path, offset, r.prefer_passive).code;
}

std::int32_t ftp_receive(FtpSession& s, void* buffer, std::int32_t count) {
    s.receive_failed = false;
    FtpRuntime& r = *ftp_runtime(s);
    if (s.data_socket == kInvalidSocket || count <= 0 || buffer == nullptr) {
        s.receive_failed = true;
        ftp_fail(s, r, FtpFailure::kReceive);
        return 0;
    }
    std::size_t n = 0;
    const FtpIo io = r.receive(s.data_socket, buffer, static_cast<std::size_t>(count),
                               ftp_deadline_after(r.timeouts.receive), &n);
    if (io == FtpIo::kOk)
        return static_cast<std::int32_t>(n);
    if (io != FtpIo::kClosed) {
        s.receive_failed = true;
        ftp_note_failure(s, r, io,
                         io == FtpIo::kTimedOut ? FtpFailure::kDataTimeout : FtpFailure::kReceive);
    }
    return 0;
}

void ftp_close_sockets(FtpSession& s) {
    ftp_close_socket(s.data_socket);
    ftp_close_socket(s.listen_socket);
    ftp_close_socket(s.control_socket);
    s.connected = false;
    // Bytes of the old control connection must not pass for replies on a new one.
    if (const std::shared_ptr<FtpRuntime> r = std::atomic_load(&s.runtime)) {
        r->pending.clear();
        r->reader = FtpReplyReader();
    }
}

int ftp_open_span(Connection& c, std::string_view url, std::int64_t start, std::int64_t length,
                  const Credentials* credentials, bool* named) {
    (void)length;
    if (named)
        *named = false;
    c.error_code = 0;
    // A stale 401 would send the owner down the credentials path after an unrelated failure.
    c.status_code = 0;
    ftp_close_connection(c);
    // Nothing of an earlier answer may pass for this one's: FTP offers no file name, and its
    // validator is this answer's MDTM time.
    c.content_length = 0;
    c.range_start = c.range_end = c.range_total = kNoRange;
    c.validator.clear();
    c.ftp.modified.clear();
    c.set_server_file_name("");
    const std::shared_ptr<FtpRuntime> r = ftp_runtime(c.ftp);

    // Checked before anything goes out: no URL or credential may add commands of its own.
    FtpRequest request;
    if (plan_ftp_request(url, credentials, &request) != FtpRequestProblem::kNone || start < 0)
        return fail_open(c, kFtpTextInvalidRequest, 0, 0);
    if (r->interrupted())
        return fail_open(c, kFtpTextCancelled, kErrorCancelled, 0);
    r->timeouts = timeouts_for(c, r->timeouts);

    Attempt outcome = attempt(c, *r, request, start, r->prefer_passive);
    if (outcome == Attempt::kActiveFailed) {
        // No data connection came back, typically through address translation: once more in
        // passive mode, on a new session since the old one still waits for its transfer.
        ftp_close_connection(c);
        outcome = attempt(c, *r, request, start, true);
        // Without passive mode, the data connection that never came is what went wrong.
        if (outcome == Attempt::kPassiveRefused)
            fail_open(c, kFtpTextDataConnectionTimeout, 0, kFtpStatusTransferRefused);
    }
    if (r->interrupted()) {
        ftp_close_connection(c);
        return fail_open(c, kFtpTextCancelled, kErrorCancelled, 0);
    }
    if (outcome != Attempt::kOpened) {
        ftp_close_connection(c);
        return 0;
    }
    if (c.ftp.announced_size > 0) {
        c.content_length = c.ftp.announced_size;
        c.range_total = c.ftp.announced_size;
    }
    c.validator = c.ftp.modified;
    c.range_start = r->data_offset;
    if (r->data_offset != start)
        c.resumable = 0;
    return 1;
}

std::int32_t ftp_read_data(Connection& c, void* buffer, std::int32_t count) {
    report(c, kStageFtpDownloading);
    c.read_failed = false;
    FtpSession& s = c.ftp;
    FtpRuntime& r = *ftp_runtime(s);
    if (r.interrupted()) {
        c.read_failed = true;
        c.error_code = kErrorCancelled;
        return 0;
    }
    if (r.data_ended)
        return 0;
    const std::int32_t n = ftp_receive(s, buffer, count);
    if (n > 0)
        return n;
    if (s.receive_failed) {
        c.read_failed = true;
        c.error_code = r.interrupted()                         ? kErrorCancelled
                       : r.failure == FtpFailure::kDataTimeout ? kErrorTimeout
                                                               : kErrorConnectionAborted;
        c.set_response_text(s.error_text());
        return 0;
    }
    ftp_fail(s, r, FtpFailure::kReceive);
    // The data connection closed. Only the server's closing reply tells a whole file from a
    // transfer that broke off, which matters when the size is not known.
    r.data_ended = true;
    ftp_close_socket(s.data_socket);
    const int closing = r.final_reply != kFtpReplyNone ? r.final_reply : ftp_await_reply(s, r);
    if (ftp_reply_class(closing) != kFtpClassCompletion) {
        c.read_failed = true;
        c.error_code = r.interrupted() ? kErrorCancelled : kErrorConnectionAborted;
        c.set_response_text(closing == kFtpReplyNone ? std::string_view(s.error_text())
                                                     : std::string_view(s.line()));
    }
    return 0;
}

void ftp_close_connection(Connection& c) {
    report(c, kStageFtpClosingBegins);
    ftp_close_sockets(c.ftp);
    if (const std::shared_ptr<FtpRuntime> r = std::atomic_load(&c.ftp.runtime))
        r->data_ended = false;
    report(c, kStageFtpClosed);
}

void ftp_interrupt(Connection& c) {
    ftp_runtime(c.ftp)->interrupt();
}

void ftp_reset_interrupt(Connection& c) {
    ftp_runtime(c.ftp)->reset_interrupt();
}

}  // namespace rg
