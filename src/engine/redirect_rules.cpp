#include "engine/redirect_rules.h"

#include <string>

#include "protocols/url_origin.h"

namespace rg {

void move_item_url(DownloadItem& item, std::string_view new_url) {
    {
        auto data = item.lock();
        const std::string old_url(data->url());
        if (!credentials_may_move(old_url, new_url)) {
            set_field_text(data->saved.user_name, "");
            set_field_text(data->saved.password, "");
        }
        data->set_url(new_url);
    }
    item.connection.protocol = protocol_for_url(new_url);
}

}  // namespace rg
