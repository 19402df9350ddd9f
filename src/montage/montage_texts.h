#pragma once

#include <string_view>

namespace rg {

// Texts of the media session and of frame fetching, shown in the status line, the item's status
// text and message boxes.

// Questions and refusals of Open.
inline constexpr std::string_view kMontageCaption = "Montage";
inline constexpr std::string_view kMontageOpenText =
    "Montage Window is open, Please close it then retry again.";
inline constexpr std::string_view kInvalidProtocolCaption = "Invalid Protocol";
inline constexpr std::string_view kHttpOnlyText =
    "Sorry, Montage feature is available only for HTTP files";
inline constexpr std::string_view kInvalidMediaCaption = "Invalid Media File";
inline constexpr std::string_view kInvalidMediaText =
    "Invalid Media File, Only *.avi Files are Supported.\r\nDo you wish to continue at your own "
    "risk?";
inline constexpr std::string_view kNoResumeText =
    "The server doesn't support resuming, so Montage feature cannot be used.";
inline constexpr std::string_view kMediaFileLockedText =
    "Specified File is Locked and cannot be Opened.";
inline constexpr std::string_view kThreadStartFailedText =
    "Error Starting Thread, Free More Resources and Try again, System Error";

// Failures of the open thread, kept in the item's status text.
inline constexpr std::string_view kNoSizeText =
    "Cannot Get File Size From Server. Size is Required for Opening Media Files";
inline constexpr std::string_view kNoRandomAccessText =
    "Server doesn't Support Random Access. Random Access is Required for Opening Media Files";
inline constexpr std::string_view kOpenFailedText = "Error Opening the AVI File";
// The same failure where the file itself is at fault: what is wrong with it.
inline constexpr std::string_view kNotAviText = "Error Opening the AVI File: Not an AVI File";
inline constexpr std::string_view kUnknownFormatText =
    "Error Opening the AVI File: Unknown or Unsupported Media Format";
inline constexpr std::string_view kDamagedHeaderText =
    "Error Opening the AVI File: The File's Header is Damaged or Incomplete";
inline constexpr std::string_view kNoVideoStreamText = "Error Finding a Video Stream";
inline constexpr std::string_view kInfoUnreadableText =
    "Unable to Extract AVI Info, File may be Corrupted";
inline constexpr std::string_view kStreamInfoText = "Error Extracting Video Stream Info";

// Status line of the open and the close.
inline constexpr std::string_view kMediaInfoStatus = "Downloading Media Info";
inline constexpr std::string_view kMediaInfoPrefix = "Downloading Media Info: ";
inline constexpr std::string_view kMediaInfoDoneText = "Media Information Extracted Successfully";
inline constexpr std::string_view kMediaInfoDonePrefix =
    "Media Information Extracted Successfully: ";
inline constexpr std::string_view kClosingMediaText = "Closing Media...";
inline constexpr std::string_view kMediaClosedText = "Media Closed";
inline constexpr std::string_view kMediaClosedFormat = "%s (%s)";
inline constexpr std::string_view kRangeLineFormat = "Downloading %u bytes [%u-%u]";

// Buttons and the frame entry.
inline constexpr std::string_view kCancelText = "Cancel";
inline constexpr std::string_view kGetFrameIdleText = "&Get Frame#";
inline constexpr std::string_view kGetFrameText = "Get Frame";
inline constexpr std::string_view kGetTimeText = "Get Time";
inline constexpr std::string_view kFrameModeText = "F>";
inline constexpr std::string_view kTimeModeText = "T>";
inline constexpr std::string_view kFrameEntryStart = "0";
inline constexpr std::string_view kTimeEntryStart = "00:00:00";

// Frame fetching.
inline constexpr std::string_view kBusyText = "Please Wait till the Current Process is Finished";
inline constexpr std::string_view kOpeningDecoderText = "Opening Frame Decompressor...";
inline constexpr std::string_view kNoDecoderText = "Error Finding Decompressor Codec";
inline constexpr std::string_view kAutoFrameFormat = "AutoDownloading Frame %u/%u...";
inline constexpr std::string_view kFrameFormat = "Downloading Frame %u...";
inline constexpr std::string_view kFrameFailedText = "Error Downloading Frame";
inline constexpr std::string_view kNoFrameText = "Error Getting Frame";
inline constexpr std::string_view kAutoFrameDoneFormat = "Frame %u/%u Extracted Successfully";
inline constexpr std::string_view kFrameDoneFormat = "Frame %u Extracted Successfully";
inline constexpr std::string_view kAutoMontageDoneText = "AutoMontage Finished";
inline constexpr std::string_view kAutoMontageShortFormat =
    "AutoMontage Finished (Found only %u Keyframes)";

}  // namespace rg
