#pragma once

#include <string_view>

namespace rg {

inline constexpr std::string_view kFileLockedText =
    "Specified File is Locked and cannot be Overwritten";
inline constexpr std::string_view kRetryWaitFormat = "Waiting %u seconds for retry no. %u";
inline constexpr std::string_view kPassedRetryCountText = "Passed Retry Count";
inline constexpr std::string_view kRedirectedText = "Redirected to New Url";
inline constexpr std::string_view kReceiveTimeOutText = "Recieve TimeOut";

inline constexpr std::string_view kRedirectErrorCaption = "Redirect Error";
inline constexpr std::string_view kRedirectRenameQuestion =
    "A Redirect has Occured but the File cannot be Renamed\r\nDo you wish to Specify Another File "
    "Name?";
inline constexpr std::string_view kRenameLaterText =
    "The File Cannot be renamed, You can Rename it Later Using the\r\nChange Local Filename Menu "
    "Item";
inline constexpr std::string_view kReopenFailedText =
    "Error, The File is Locked and cannot be ReOpened, Pausing...";
inline constexpr std::string_view kMustPauseToRenameText = "Download Must be Paused to Rename File";
inline constexpr std::string_view kCannotRenameText = "The File Cannot be renamed.";
inline constexpr std::string_view kAllFilesFilterText = "All Files";
inline constexpr std::string_view kAllFilesPattern = "*.*";
inline constexpr std::string_view kThreadFailedText = "Error creating new thread. System Error";
inline constexpr std::string_view kSystemErrorCaption = "System Error";

// Texts of the checks that keep a download's file sound (servers that answer with other bytes
// than asked for).
inline constexpr std::string_view kWrongRangeText = "Error: The Server Sent a Different Range";
inline constexpr std::string_view kFileChangedText =
    "Error: The File has Changed on the Server, Clear the Download to Start Again";
inline constexpr std::string_view kWriteFailedText = "Error: Cannot Write to the Local File";
inline constexpr std::string_view kTooMuchDataText =
    "Error: The Server Sent More than the File Size";
inline constexpr std::string_view kBodyCutText =
    "Error: The Connection was Closed before the End of the File";
inline constexpr std::string_view kNoResumeText =
    "Error: The Server doesn't Support Resuming, the Download was Paused";
inline constexpr std::string_view kStartOverCaption = "Resume";
inline constexpr std::string_view kStartOverQuestion =
    "The Server doesn't Support Resuming this Download.\r\nDo you want to Download the File "
    "Again from the Beginning?";

// Pause and cancel.
inline constexpr std::string_view kPauseCaption = "Pause";
inline constexpr std::string_view kNonResumablePauseQuestion =
    "Download is non-resumable. Are you sure you want to Pause?";
inline constexpr std::string_view kMontageBusyText =
    "Montage Window is busy, Close it first and then Pause!";
inline constexpr std::string_view kUserPausedText = "User Paused";
inline constexpr std::string_view kCancelCaption = "Cancel";
inline constexpr std::string_view kCancelQuestion =
    "You are about to Cancel Selected Download(s)\r\nDo you want to delete local files?";

// The Edit Download Data (Advanced) window and the exit prompt.
inline constexpr std::string_view kInfoAlreadyOpenText =
    "Info Window is already Open,Please Close it First.";
inline constexpr std::string_view kInfoRunningText =
    "Download is Already Running, You Must Pause before Viewing with Info Window.";
inline constexpr std::string_view kDeleteRangeQuestion =
    "Are you sure you want to delete specified range(s)";
inline constexpr std::string_view kDeleteRangeCaption = "Delete Range";
inline constexpr std::string_view kClearDownloadQuestion =
    "WARNING: This action will delete all downloaded ranges,so you will have to download them "
    "again\r\nNote: Bytes are not actually erased from the file.";
inline constexpr std::string_view kClearDownloadCaption = "Clear Download";
inline constexpr std::string_view kInfoSizeFormat = "Size: %u bytes";
inline constexpr std::string_view kInfoResumedFormat = "Resumed: %u Times";
inline constexpr std::string_view kInfoFinishedFormat = "Finished: %s";
inline constexpr std::string_view kInfoRangeCountFormat = "Range Count: %u";
inline constexpr std::string_view kExitQuestion = "Are you sure you want to exit Reelgrab";
inline constexpr std::string_view kExitCaption = "Exit";

// Stage texts, by stage code.
std::string_view stage_text(unsigned code);

}  // namespace rg
