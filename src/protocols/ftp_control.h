#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "protocols/connection.h"
#include "protocols/ftp_reply.h"
#include "protocols/ftp_runtime.h"

namespace rg {

// The command and reply exchange on the control connection, shared by the session operations
// and the data connection. Owner's thread.

// Bytes taken from the control connection per read.
inline constexpr std::size_t kFtpControlReadSize = 4096;

int ftp_reply_class(int code);

// The diagnostic lines that go to standard output.
inline constexpr const char* kFtpSayAlreadyConnected =
    "Already connected.  Close connection first.\n";
inline constexpr const char* kFtpSayNotConnected = "Not Connected.\n";
inline constexpr const char* kFtpSayBinary = "File transfer modes set to binary.\n";
inline constexpr const char* kFtpSayNoFile = "No file specified.\n";
void ftp_say(const char* text);

// False, saying so, without a control connection.
bool ftp_require_connected(const FtpSession& session);

// Records why a step gave up: the kind in the runtime, its text as the session's error text.
void ftp_fail(FtpSession& session, FtpRuntime& runtime, FtpFailure failure);
// As ftp_fail, or a cancellation when the wait was interrupted.
void ftp_note_failure(FtpSession& session, FtpRuntime& runtime, FtpIo io, FtpFailure failure);

// Sends one command built by ftp_command(); false when it could not be built or sent.
bool ftp_send_command(FtpSession& session, FtpRuntime& runtime,
                      const std::optional<std::string>& command);

// Why a malformed reply cannot be used.
FtpFailure ftp_reply_failure(const FtpReplyReader& reader);

// What the read-ahead holds of the next reply, without reading the socket.
FtpReplyReader::State ftp_take_pending_reply(FtpRuntime& runtime);

// The next complete reply: its code, 0 on failure (error_text set, control_failed set).
int ftp_await_reply(FtpSession& session, FtpRuntime& runtime);

int ftp_command_reply(FtpSession& session, FtpRuntime& runtime,
                      const std::optional<std::string>& command);

}  // namespace rg
