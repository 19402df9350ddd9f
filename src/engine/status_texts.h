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

// Stage texts, by stage code.
std::string_view stage_text(unsigned code);

}  // namespace rg
