#pragma once

#include <cstdint>
#include <string_view>

#include "protocols/connection.h"
#include "protocols/transfer_ops.h"

namespace rg {

// Texts the FTP layer leaves in its error_text and in the Connection's response_text.
inline constexpr std::string_view kFtpTextResolveFailed = "Error Resolving Host";
inline constexpr std::string_view kFtpTextSocketFailed = "Error Creating Socket";
inline constexpr std::string_view kFtpTextConnectTimeout = "Error: Timout Connecting to Host";
inline constexpr std::string_view kFtpTextConnectFailed = "Error Connecting to Host";
inline constexpr std::string_view kFtpTextReplyTimeout =
    "Error: Timout Recieving Response From Host";
inline constexpr std::string_view kFtpTextReceiveFailed = "Error Recieving Data";
inline constexpr std::string_view kFtpTextReplyTooLong = "Error: Response Too Long From Host";
inline constexpr std::string_view kFtpTextSendFailed = "Error Sending Data";
inline constexpr std::string_view kFtpTextInvalidRequest = "Error: Invalid FTP Request";
inline constexpr std::string_view kFtpTextAuthenticationFailed = "Error: Authentication Failed";
inline constexpr std::string_view kFtpTextFileNotFound = "Error: File Not Found";
inline constexpr std::string_view kFtpTextDataConnectionTimeout =
    "Error: Timeout Waiting for the Data Connection";
inline constexpr std::string_view kFtpTextDataTimeout = "Error: Timeout Receiving Data";
inline constexpr std::string_view kFtpTextCancelled = "Error: The operation was cancelled";

// Status codes of refused FTP steps, in the terms the transfer worker knows from HTTP.
inline constexpr std::int32_t kFtpStatusLoginRefused = 401;
inline constexpr std::int32_t kFtpStatusTransferRefused = 404;

// Session operations on one FtpSession. They run on the owner's thread; every wait is bounded
// by the timeouts of the session's FtpRuntime, and ftp_interrupt() ends any of them.

// Resolves `host`, connects within the connect timeout and reads the greeting: its code, 0 on
// failure (error_text says why). 220 at once when already connected.
int ftp_connect(FtpSession& session, std::string_view host, int port);
// One complete reply: its code, 0 on failure. Its last line is left in the session's line.
int ftp_read_reply(FtpSession& session);
// USER, and PASS when the server asks for it: the last reply code.
int ftp_login(FtpSession& session, std::string_view user_name, std::string_view password);
// REST 100, then REST 0: whether the server resumes transfers.
bool ftp_test_resume(FtpSession& session);
void ftp_set_binary(FtpSession& session);
// SIZE: true with announced_size set when the server tells a usable size.
bool ftp_query_size(FtpSession& session, std::string_view path);
// MDTM: true with `modified` set when the server tells the file's time.
bool ftp_query_modified(FtpSession& session, std::string_view path);
// The data connection (active mode first, passive when the server refuses PORT), REST when
// `offset` > 0, RETR: 150 once the data can be read; another reply code, or 0, on failure. A
// refused REST makes the data start at 0 instead (see FtpRuntime::data_offset).
int ftp_retrieve(FtpSession& session, std::string_view path, std::int64_t offset);
// One read of the data connection: bytes, 0 at the end or on failure (receive_failed set).
std::int32_t ftp_receive(FtpSession& session, void* buffer, std::int32_t count);
// Closes the control, data and listening sockets; no QUIT is sent.
void ftp_close_sockets(FtpSession& session);

// The operations of a Connection whose protocol is FTP (see transfer_ops.h). `length` is not
// used: an FTP span always runs to the end of the file. After a successful open, range_start
// tells where the data begins: `start`, or 0 when the server refused to resume (resumable is
// then reported as 0). `named` is only ever cleared.
int ftp_open_span(Connection& connection, std::string_view url, std::int64_t start,
                  std::int64_t length, const Credentials* credentials, bool* named);
std::int32_t ftp_read_data(Connection& connection, void* buffer, std::int32_t count);
// Owner's thread: closes every socket of the transfer.
void ftp_close_connection(Connection& connection);
// Any thread: a connect, reply, accept or read waiting in the owner's thread fails at once, and
// so does every later one until ftp_reset_interrupt().
void ftp_interrupt(Connection& connection);
// Owner's thread, when a run starts.
void ftp_reset_interrupt(Connection& connection);

}  // namespace rg
