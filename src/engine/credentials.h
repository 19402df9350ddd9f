#pragma once

#include <span>
#include <string_view>

#include "engine/download_item.h"
#include "settings/site_passwords.h"

namespace rg {

struct ApplyCredentialsResult {
    bool fields_fit = true;  // false: a value too long for its field left that field as it was
    bool remembered = true;  // false: remembering failed for at least one server
};

// The credentials dialog's store: the typed user name and password go Base64-encoded into every
// target; with `remember`, each target's host (upper case, without port) remembers them.
ApplyCredentialsResult apply_credentials(std::string_view user_name, std::string_view password,
                                         bool remember, std::span<DownloadItem* const> targets,
                                         SitePasswordList& passwords);

// Gives the item the first remembered credentials whose site occurs in its URL. False when none
// matched or they did not fit the item's fields.
bool apply_site_password(DownloadItem& item, const SitePasswordList& passwords);

}  // namespace rg
