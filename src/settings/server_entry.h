#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "platform/host.h"
#include "settings/site_passwords.h"

namespace rg {

inline constexpr std::string_view kInvalidServerText = "Please insert a valid server url.";

struct ServerEntryResult {
    bool close = true;  // false: the dialog stays open for a correction
    SitePasswordError error = SitePasswordError::kNone;
};

// The server entry dialog's OK, for a new entry (`edit_index` none) or the entry at
// `edit_index`. The server is read up to 1023 characters, the user name and password up to 79.
// An empty server, or one too long to be stored, is refused with "Please insert a valid server
// url." and the dialog stays open. Otherwise the entry is added or overwritten and written at
// once; a failed write is returned (the list has changed in memory) and the dialog closes.
ServerEntryResult server_entry_ok(Host& host, SitePasswordList& passwords,
                                  std::optional<std::size_t> edit_index, std::string_view server,
                                  std::string_view user_name, std::string_view password);

}  // namespace rg
