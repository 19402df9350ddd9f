#include "engine/status_texts.h"
#include "protocols/stage_codes.h"

namespace rg {

std::string_view stage_text(unsigned code) {
    switch (code) {
        case kStageResolvingName:
            return "Resolving Server Name";
        case kStageNameResolved:
            return "Server Name Resolved";
        case kStageConnecting:
            return "Connecting to Server";
        case kStageConnected:
            return "Connected";
        case kStageSendingRequest:
            return "Sending Request";
        case kStageRequestSent:
            return "Request Sent";
        case kStageReceivingResponse:
            return "Downloading";
        case kStageResponseReceived:
            return "Response Recieved";
        case kStageClosingConnection:
        case kStageConnectionClosed:
            return "Connection Closed";
        case kStageRedirect:
            return kRedirectedText;
        case kStageFtpConnecting:
            return "Connecting To FTP Server";
        case kStageFtpConnected:
            return "Connected Successfully";
        case kStageFtpRequestingFile:
            return "Requesting File";
        case kStageFtpDownloading:
            return "Downloading File";
        case kStageFtpAuthenticating:
            return "Authenticating FTP Server";
        case kStageFtpTestingResume:
            return "Testing For Resuming";
        default:
            return {};
    }
}

}  // namespace rg
