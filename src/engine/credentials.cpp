#include "engine/credentials.h"

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
    const auto user = encode_credential(entry->user_name);
    const auto pass = encode_credential(entry->password);
    if (!user || !pass)
        return false;
    auto data = item.lock();
    set_field_text(data->saved.user_name, *user);
    set_field_text(data->saved.password, *pass);
    return true;
}

}  // namespace rg
