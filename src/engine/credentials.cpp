#include "engine/credentials.h"

#include "platform/ascii_text.h"
#include "protocols/url_split.h"

namespace rg {

namespace {

// Stores the encoded form in a credential field; a value without one leaves the field alone.
bool store_credential(char (&field)[SavedBlock::kCredentialSize], std::string_view plain) {
    const auto encoded = encode_credential(plain);
    if (!encoded)
        return false;
    set_field_text(field, *encoded);
    return true;
}

}  // namespace

std::optional<Credentials> item_credentials(DownloadItem& item) {
    auto data = item.lock();
    Credentials c{std::string(field_text(data->saved.user_name)),
                  std::string(field_text(data->saved.password))};
    if (c.user_name.empty() && c.password.empty())
        return std::nullopt;
    return c;
}

EncodedCredentials encode_credentials(std::string_view user_name, std::string_view password) {
    EncodedCredentials result;
    if (has_control_character(user_name) || has_control_character(password)) {
        result.problem = CredentialProblem::kControlCharacter;
        return result;
    }
    const auto user = encode_credential(user_name);
    const auto pass = encode_credential(password);
    if (!user || !pass) {
        result.problem = CredentialProblem::kTooLong;
        return result;
    }
    result.encoded = Credentials{*user, *pass};
    return result;
}

void set_item_credentials(DownloadItem& item, const Credentials& encoded) {
    auto data = item.lock();
    set_field_text(data->saved.user_name, encoded.user_name);
    set_field_text(data->saved.password, encoded.password);
}

bool move_url_user_info(DownloadItem& item) {
    const UrlWithoutUserInfo taken = take_user_info(item.url());
    if (!taken.user_info)
        return false;
    if (!item_credentials(item)) {
        const EncodedCredentials encoded =
            encode_credentials(taken.user_info->user_name, taken.user_info->password);
        if (encoded.problem != CredentialProblem::kNone)
            return false;
        set_item_credentials(item, encoded.encoded);
    }
    item.lock()->set_url(taken.url);
    return true;
}

ApplyCredentialsResult apply_credentials(std::string_view user_name, std::string_view password,
                                         bool remember, std::span<DownloadItem* const> targets,
                                         SitePasswordList& passwords) {
    ApplyCredentialsResult result;
    for (DownloadItem* item : targets) {
        if (item == nullptr)
            continue;
        std::string url;
        {
            auto data = item->lock();
            result.fields_fit &= store_credential(data->saved.user_name, user_name);
            result.fields_fit &= store_credential(data->saved.password, password);
            url = data->url();
        }
        if (!remember)
            continue;
        const SplitUrl parts = split_url(url, {.host = kHostCapacity});
        const SitePassword entry{parts.host, std::string(user_name), std::string(password)};
        result.remembered &= passwords.remember(entry) == SitePasswordError::kNone;
    }
    return result;
}

bool apply_site_password(DownloadItem& item, const SitePasswordList& passwords) {
    const auto entry = passwords.find(item.url());
    if (!entry)
        return false;
    const EncodedCredentials credentials = encode_credentials(entry->user_name, entry->password);
    if (credentials.problem != CredentialProblem::kNone)
        return false;
    set_item_credentials(item, credentials.encoded);
    return true;
}

}  // namespace rg
