#include "engine/address_change.h"

#include <string>

#include "protocols/url_origin.h"

namespace rg {

namespace {

bool transfer_may_run(const DownloadItem& item) {
    const ItemState state = item.state.load();
    return item.worker_active.load() || state == ItemState::Running ||
           state == ItemState::MontageHeld;
}

}  // namespace

AddressChange change_item_address(DownloadItem& item, std::string_view new_url,
                                  const Credentials* given) {
    if (transfer_may_run(item))
        return AddressChange::Running;
    if (new_url.size() >= SavedBlock::kUrlSize)
        return AddressChange::TooLong;
    {
        auto data = item.lock();
        const std::string old_url(data->url());
        if (given != nullptr) {
            set_field_text(data->saved.user_name, given->user_name);
            set_field_text(data->saved.password, given->password);
        }
        if (old_url == new_url)
            return AddressChange::Unchanged;
        if (given == nullptr && !credentials_may_move(old_url, new_url)) {
            set_field_text(data->saved.user_name, "");
            set_field_text(data->saved.password, "");
        }
        data->set_url(new_url);
        // What the old address said of its file says nothing of the new one's.
        data->validator.clear();
        data->address_changed = !data->ranges.empty();
    }
    item.connection.protocol = protocol_for_url(new_url);
    return AddressChange::Changed;
}

}  // namespace rg
