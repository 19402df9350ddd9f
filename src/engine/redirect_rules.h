#pragma once

#include <string_view>

#include "engine/download_item.h"

namespace rg {

// A redirect moves the item to `new_url`: the URL is stored, the protocol follows its scheme,
// and user name and password given for another origin are dropped, so that no later span,
// retry, restart or Montage fetch sends them there. Site passwords may still match the new host
// by their own rules. The transfer's thread only: it changes the item's Connection.
void move_item_url(DownloadItem& item, std::string_view new_url);

}  // namespace rg
