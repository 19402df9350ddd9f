#include "protocols/ftp_failure.h"

#include "protocols/ftp_client.h"

namespace rg {

std::string_view ftp_failure_text(FtpFailure failure) {
    switch (failure) {
        case FtpFailure::kNone:
            return kFtpErrorTextInitial;
        case FtpFailure::kResolve:
            return kFtpTextResolveFailed;
        case FtpFailure::kSocket:
            return kFtpTextSocketFailed;
        case FtpFailure::kConnectTimeout:
            return kFtpTextConnectTimeout;
        case FtpFailure::kConnect:
            return kFtpTextConnectFailed;
        case FtpFailure::kReplyTimeout:
            return kFtpTextReplyTimeout;
        case FtpFailure::kReceive:
            return kFtpTextReceiveFailed;
        case FtpFailure::kReplyTooLong:
            return kFtpTextReplyTooLong;
        case FtpFailure::kSend:
            return kFtpTextSendFailed;
        case FtpFailure::kDataConnectionTimeout:
            return kFtpTextDataConnectionTimeout;
        case FtpFailure::kDataTimeout:
            return kFtpTextDataTimeout;
        case FtpFailure::kCancelled:
            return kFtpTextCancelled;
    }
    return kFtpTextReceiveFailed;
}

bool ftp_failure_is_passing(FtpFailure failure) {
    return failure != FtpFailure::kReplyTooLong && failure != FtpFailure::kCancelled;
}

}  // namespace rg
