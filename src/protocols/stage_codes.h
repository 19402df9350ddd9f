#pragma once

#include <cstdint>

namespace rg {

// Progress stages a transfer reports through the Connection's status callback. The HTTP codes
// keep the numbers of the classic internet library's status callback; the FTP client's own codes
// start at 709.
enum StageCode : std::uint32_t {
    kStageResolvingName = 10,
    kStageNameResolved = 11,
    kStageConnecting = 20,
    kStageConnected = 21,
    kStageSendingRequest = 30,
    kStageRequestSent = 31,
    kStageReceivingResponse = 40,
    kStageResponseReceived = 41,
    kStageClosingConnection = 50,
    kStageConnectionClosed = 51,
    kStageRedirect = 110,  // information: the new absolute URL

    kStageFtpConnecting = 709,
    kStageFtpConnected = 710,
    kStageFtpClosed = 711,
    kStageFtpRequestingFile = 713,
    kStageFtpDownloading = 714,
    kStageFtpAuthenticating = 715,
    kStageFtpTestingResume = 716,
    kStageFtpClosingBegins = 717,
};

}  // namespace rg
