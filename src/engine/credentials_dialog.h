#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "engine/credentials.h"
#include "platform/host.h"

namespace rg {

// Both edits of the dialog take at most this many characters.
inline constexpr std::size_t kCredentialEditLimit = 80;
inline constexpr std::string_view kClearCredentialsQuestion =
    "Are you Sure you want to Clear Username and Password";
inline constexpr std::string_view kClearCredentialsCaption = "Empty Fields";

struct CredentialsDialogResult {
    bool close = true;  // false: the user chose to correct the fields
    ApplyCredentialsResult applied;
};

// The credentials dialog's OK. The user name and password are read up to 79 characters each;
// when both are empty the user confirms clearing first (No keeps the dialog open). Then every
// target gets them Base64-encoded and, with `remember`, each target's server remembers them.
// Runs on the controller thread; a worker waiting for the answer does not touch the fields.
CredentialsDialogResult credentials_dialog_ok(Host& host, std::string_view user_name,
                                              std::string_view password, bool remember,
                                              std::span<DownloadItem* const> targets,
                                              SitePasswordList& passwords);

}  // namespace rg
