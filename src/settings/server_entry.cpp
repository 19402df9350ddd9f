#include "settings/server_entry.h"

#include "settings/dialog_limits.h"

namespace rg {

namespace {

void refuse_server(Host& host) {
    host.message_box(kInvalidServerText, kErrorCaption, MessageButtons::Ok, MessageIcon::Error);
}

}  // namespace

ServerEntryResult server_entry_ok(Host& host, SitePasswordList& passwords,
                                  std::optional<std::size_t> edit_index, std::string_view server,
                                  std::string_view user_name, std::string_view password) {
    server = server.substr(0, kDialogServerMax);
    if (server.empty()) {
        refuse_server(host);
        return {false, SitePasswordError::kNone};
    }
    const SitePassword entry{std::string(server),
                             std::string(user_name.substr(0, kDialogCredentialMax)),
                             std::string(password.substr(0, kDialogCredentialMax))};
    const SitePasswordError error =
        edit_index ? passwords.replace(*edit_index, entry) : passwords.add(entry);
    if (error == SitePasswordError::kTooLong) {
        refuse_server(host);
        return {false, error};
    }
    return {true, error};
}

}  // namespace rg
