#pragma once

#include <string_view>

#include "engine/download_item.h"
#include "protocols/transfer_ops.h"

namespace rg {

enum class AddressChange {
    Changed,    // the item has the new URL
    Unchanged,  // it is the URL the item has: nothing changed
    Running,    // a transfer or the Montage works on the item: nothing changed
    TooLong,    // no room in the URL field: nothing changed
};

// The user gives the item another URL on purpose (Edit Download Data, `rlg set-url`), for
// instance to go on with an expired link. The validator of the old address is dropped; an item
// that holds bytes is marked address_changed, so its next answer must name the same total size
// before a byte of it is written. The protocol follows the scheme. Credentials in the item's
// fields stay only for the same origin (credentials_may_move); `given` (Base64), when not null,
// replaces them. Controller thread, while no worker runs for the item (Stopped or Info-held).
AddressChange change_item_address(DownloadItem& item, std::string_view new_url,
                                  const Credentials* given = nullptr);

}  // namespace rg
