#pragma once

#include <string_view>

#include "platform/host.h"

namespace rg {

// How one attempt to add a download ended.
enum class AddStatus {
    kAdded,
    kNothingToAdd,         // quick add with an empty URL box
    kCredentialsTooLong,   // a user name or password too long for the item's fields
    kCredentialsUnusable,  // a user name or password with control characters
    kEncodingFailed,       // the URL has no canonical form that fits
    kInvalidProtocol,      // neither HTTP, HTTPS nor FTP
    kInvalidHost,          // no host, or one the clients would read differently
    kAlreadyListed,        // the URL is in the list, ignoring case
    kCancelled,            // the save-file chooser was cancelled
    kChooserFailed,        // the chooser failed (and so did its "rename.me" retry, if tried)
    kFileInUse,            // another download uses the file and no other was chosen
    kFileNotCreated,       // the file could not be created and no other was chosen
    kNoFreeName,           // numbering found no free name in the folder
};

// The message box shown for a refusal; `text` is empty when none is shown.
struct AddMessage {
    std::string_view text;
    std::string_view caption;
};

AddMessage add_refusal_message(AddStatus status);

// A short description of every status, for callers that report on a terminal.
std::string_view describe(AddStatus status);

inline constexpr std::string_view kFileInUseQuestion =
    "Another Download already use this File, Do you wish to Specify another File?";
inline constexpr std::string_view kFileInUseCaption = "Duplicate Found";
inline constexpr std::string_view kFileLockedQuestion =
    "Specified File is Locked and cannot be deleted.\r\nDo you wish to specify another file";

}  // namespace rg
