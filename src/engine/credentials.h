#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "engine/download_item.h"
#include "protocols/transfer_ops.h"
#include "settings/site_passwords.h"

namespace rg {

// The credentials every request for the item carries (spans, retries, the Montage's probe and
// range test): its Base64 user name and password when either is set, else none.
std::optional<Credentials> item_credentials(DownloadItem& item);

enum class CredentialProblem {
    kNone,
    kTooLong,           // more than 87 characters: no room in the item's fields
    kControlCharacter,  // a byte below 32 or 127, which no server's login may carry
};

struct EncodedCredentials {
    CredentialProblem problem = CredentialProblem::kNone;
    Credentials encoded;  // Base64, when there is no problem
};

// The forms the item's fields keep of a plain user name and password.
EncodedCredentials encode_credentials(std::string_view user_name, std::string_view password);

// Stores Base64 credentials (from encode_credentials) in the item's fields.
void set_item_credentials(DownloadItem& item, const Credentials& encoded);

// A URL kept with "user:password@" in it (rows added before user info was taken out at intake):
// the credentials move into the item's fields unless it has its own, and the URL is kept without
// them, so neither the list nor a row shows the password. Credentials that the fields cannot hold
// leave the item as it was. True when the URL changed.
bool move_url_user_info(DownloadItem& item);

struct ApplyCredentialsResult {
    bool fields_fit = true;  // false: a value too long for its field left that field as it was
    bool remembered = true;  // false: remembering failed for at least one server
};

// The credentials dialog's store: the typed user name and password go Base64-encoded into every
// target; with `remember`, each target's host (upper case, without port) remembers them.
ApplyCredentialsResult apply_credentials(std::string_view user_name, std::string_view password,
                                         bool remember, std::span<DownloadItem* const> targets,
                                         SitePasswordList& passwords);

// Gives the item the first remembered credentials whose site matches its URL
// (SitePasswordList::find). False when none
// matched or they did not fit the item's fields.
bool apply_site_password(DownloadItem& item, const SitePasswordList& passwords);

}  // namespace rg
