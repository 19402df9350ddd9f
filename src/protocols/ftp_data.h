#pragma once

#include <cstdint>
#include <string_view>

#include "protocols/connection.h"
#include "protocols/ftp_runtime.h"

namespace rg {

// How a retrieve ended, beyond its reply code.
struct FtpRetrieveResult {
    int code = kFtpReplyNone;  // 150 once the data can be read
    // Active mode got no data connection: passive mode may still work.
    bool active_failed = false;
    // The passive data connection was not made within the connect time-out.
    bool data_timeout = false;
    // PASV or EPSV refused.
    bool passive_refused = false;
    bool passive = false;
};

// The data connection of one RETR: in active mode a listener announced with PORT (EPRT for IPv6)
// that accepts the control connection's peer only, falling back to passive mode on the same
// session when PORT is refused; in passive mode PASV (EPSV) and a connection to the peer. Then
// REST when `offset` > 0 and RETR. Owner's thread.
FtpRetrieveResult ftp_retrieve_data(FtpSession& session, FtpRuntime& runtime, std::string_view path,
                                    std::int64_t offset, bool passive);

}  // namespace rg
