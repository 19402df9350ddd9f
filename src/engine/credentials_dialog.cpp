#include "engine/credentials_dialog.h"

#include "settings/dialog_limits.h"

namespace rg {

CredentialsDialogResult credentials_dialog_ok(Host& host, std::string_view user_name,
                                              std::string_view password, bool remember,
                                              std::span<DownloadItem* const> targets,
                                              SitePasswordList& passwords) {
    user_name = user_name.substr(0, kDialogCredentialMax);
    password = password.substr(0, kDialogCredentialMax);
    if (user_name.empty() && password.empty() &&
        host.message_box(kClearCredentialsQuestion, kClearCredentialsCaption, MessageButtons::YesNo,
                         MessageIcon::Question) != MessageAnswer::Yes) {
        return {false, {}};
    }
    return {true, apply_credentials(user_name, password, remember, targets, passwords)};
}

}  // namespace rg
