#pragma once

#include <string>

namespace rg {

// Why a Montage operation ended without its result. The kind decides; the text is what the user
// was shown (the status line, the item's status text or a message box).
enum class MontageFailure {
    None,
    // Open: the session did not take the download (refused with a message box, or nothing
    // selected).
    NotTaken,
    // Open, after the download was taken: every kind below ends in "Media Closed (...)".
    RequestFailed,   // the size probe or the range test failed
    NoSize,          // the server did not say how large the file is
    NoRandomAccess,  // the server does not serve ranges
    ReadFailed,      // a fetch failed or was cancelled while the header was read
    NotAvi,
    UnknownFormat,
    DamagedHeader,
    NoVideoStream,
    InfoUnreadable,
    StreamInfoUnreadable,
    // Frames.
    NoDecoder,
    FrameDownloadFailed,  // a fetch failed, Cancel or Close during the frame
    FrameMissing,         // no picture came out for the frame
};

struct MontageOutcome {
    MontageFailure failure = MontageFailure::None;
    std::string text;

    bool failed() const { return failure != MontageFailure::None; }
};

}  // namespace rg
