#pragma once

#include <string_view>

namespace rg {

// Why the FTP client gave up on a step, apart from a refusal by the server. Decisions are made on
// the kind; its text is only what the user reads.
enum class FtpFailure {
    kNone,
    kResolve,
    kSocket,
    kConnectTimeout,
    kConnect,
    kReplyTimeout,
    kReceive,
    kReplyTooLong,  // a reply line or a reply past the reader's bounds
    kSend,
    kDataConnectionTimeout,
    kDataTimeout,
    kCancelled,
};

std::string_view ftp_failure_text(FtpFailure failure);

// A failure that another attempt may get past: a server that could not be reached or went quiet.
// A server that answers with something no client can use is not one.
bool ftp_failure_is_passing(FtpFailure failure);

}  // namespace rg
