#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace rg {

class DownloadItem;
class HttpSession;
class HttpTransfer;

// Opaque stand-in for the window that owns the transfer's questions to the user; the shell
// defines it.
struct OwnerWindow;

enum class Protocol : std::uint32_t { Http = 0, Ftp = 1 };

// FTP when the URL's first three characters are "ftp" in any case; only those three count.
Protocol protocol_for_url(std::string_view url);

// Failures to reach a server, retried after a delay rather than ending the download. The FTP
// client reports every failure to reach a usable server as kErrorCannotConnect.
inline constexpr std::uint32_t kErrorTimeout = 12002;
inline constexpr std::uint32_t kErrorNameNotResolved = 12007;
inline constexpr std::uint32_t kErrorCannotConnect = 12029;

bool is_passing_connection_failure(std::uint32_t error_code);

// Progress reports of a transfer: the handle it concerns (none for FTP), the owning item, the
// stage code, and the stage's information (the new URL for a redirect).
using StatusCallback = void (*)(const void* handle, DownloadItem* context, std::uint32_t status,
                                const void* information, std::size_t information_length);

inline constexpr int kInvalidSocket = -1;
inline constexpr std::int32_t kResumableNotReported = -1;
inline constexpr std::int64_t kNoRange = -1;
inline constexpr std::int32_t kNoRetryAfter = -1;
inline constexpr std::int32_t kRetryAfterMaxMs = 5 * 60 * 1000;

inline constexpr std::string_view kResponseTextInitial = "Error <None>";
inline constexpr std::string_view kFtpErrorTextInitial = "<None>";

// Longest texts kept, in characters; what the fixed fields of the stored and shown forms hold.
inline constexpr std::size_t kReasonTextMax = 255;
inline constexpr std::size_t kResponseTextMax = 511;
inline constexpr std::size_t kRawHeadersMax = 2047;
inline constexpr std::size_t kServerFileNameMax = 1023;
inline constexpr std::size_t kFtpErrorTextMax = 1023;
inline constexpr std::size_t kFtpLineMax = 1024;

// The text setters keep what a C field would: the text up to its first NUL, cut to the limit.
// They return false when something was cut.

// The FTP client's state: the control connection, the data connection of the current RETR and
// the last reply.
class FtpSession {
  public:
    std::int64_t announced_size = 0;  // from the SIZE or RETR reply; 0 = not known
    std::string modified;             // the MDTM time of the file; empty = not known
    bool receive_failed = false;
    bool connected = false;  // control connection up
    int listen_socket = kInvalidSocket;
    int control_socket = kInvalidSocket;
    int data_socket = kInvalidSocket;
    // The FTP client's own state of the open transfer (interruption, passive fallback).
    std::shared_ptr<struct FtpRuntime> runtime;

    const std::string& error_text() const { return error_text_; }
    bool set_error_text(std::string_view text);
    // The command being sent and, afterwards, the reply line read.
    const std::string& line() const { return line_; }
    bool set_line(std::string_view text);

  private:
    std::string error_text_{kFtpErrorTextInitial};
    std::string line_;
};

// The per-download protocol record: which protocol, the handles of the open transfer, what the
// server last answered and the last failure. Each download owns one; the clients open, read and
// close through it.
class Connection {
  public:
    Connection();
    ~Connection();
    // The HTTP state is shared with threads that interrupt it, so it never moves.
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    HttpSession* session = nullptr;  // process-wide; set by the owner, never closed here
    // The HTTP client's libcurl handles, kept across requests for keep-alive. Made with the
    // Connection, so interrupt_connection() never races its creation.
    const std::unique_ptr<HttpTransfer> http;
    StatusCallback status_callback = nullptr;
    DownloadItem* context = nullptr;  // the owning item, passed back with every report
    OwnerWindow* owner_window = nullptr;
    // The clients report range support here (1 = served, 0 = not) instead of writing into the
    // item, which the owner alone changes: it moves a reported value over with take_resumable().
    std::int32_t resumable = kResumableNotReported;
    // Only 1 attaches cookies; copied from the setting before every transfer.
    std::int32_t use_cookies = 1;
    std::int64_t content_length = 0;  // 0 = not known
    std::int32_t status_code = 0;     // FTP failures set 401 or 404
    bool read_failed = false;         // the last read broke, as opposed to reaching the end
    std::uint32_t error_code = 0;     // system or transport error of the last failure; 0 = none
    Protocol protocol = Protocol::Http;
    FtpSession ftp;

    // The Content-Range of a 206 answer (end inclusive; total kNoRange also for "*"): where the
    // body belongs, for the owner to check against the span it asked for. kNoRange otherwise,
    // and a 200 body starts at offset 0 whatever was asked.
    std::int64_t range_start = kNoRange;
    std::int64_t range_end = kNoRange;
    std::int64_t range_total = kNoRange;
    // The strong validator of the last 200 or 206 answer (for a 206: of the piece just served),
    // for the owner to compare with the one it keeps: a strong ETag, else a Last-Modified that
    // HTTP lets serve as one; for FTP the file's MDTM time. Empty = none; a weak ETag is none. At
    // most kValidatorMax characters.
    std::string validator;
    // Set by the owner: sent as "If-Range" with a request that starts past 0, so that a file
    // changed on the server comes back whole (200) instead of as a mismatched piece. A weak ETag
    // is never sent.
    std::string if_range;
    // The wait a 5xx answer asked for with Retry-After, bounded by kRetryAfterMaxMs; kNoRetryAfter
    // when the last answer named none.
    std::int32_t retry_after_ms = kNoRetryAfter;
    // An address the HTTP client was redirected to but cannot follow itself (an FTP address),
    // reported with the redirect stage; empty when the last request met none. When the owner
    // switches `protocol` on that report, open_span goes on there with the FTP client.
    std::string unfollowed_redirect;

    // The reported range support, if any, cleared so a later transfer cannot report it twice.
    std::optional<std::int32_t> take_resumable();

    const std::string& reason_text() const { return reason_text_; }
    bool set_reason_text(std::string_view text);
    // Text of the last failure, shown as the download's status.
    const std::string& response_text() const { return response_text_; }
    bool set_response_text(std::string_view text);
    // Header lines of the last response, separated by CR LF.
    const std::string& raw_headers() const { return raw_headers_; }
    bool set_raw_headers(std::string_view text);
    // File name offered by the server; empty = none.
    const std::string& server_file_name() const { return server_file_name_; }
    bool set_server_file_name(std::string_view text);

  private:
    std::string reason_text_;
    std::string response_text_{kResponseTextInitial};
    std::string raw_headers_;
    std::string server_file_name_;
};

}  // namespace rg
