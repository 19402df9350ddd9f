#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/download_item.h"

namespace rg {

// What the list view's row of an item shows, as text.
struct RowTexts {
    std::string name;      // the local file name
    std::string state;     // "running", "stopped", "montage" or "info"
    std::string progress;  // format_progress: "%s/%s (%.2f%%)"
    std::string speed;     // "%.2f Kb/s" of the speed while running, of 0 otherwise
    std::string status;    // the status text; "%s[Retry:%u]" while a running item retries
};

std::string_view state_name(ItemState state);

// Reads the item as a row shows it; the speed is the item's last update_speed.
RowTexts row_texts(const DownloadItem& item);

// Column widths that line up the rows' names, progress and speed texts; a name column is never
// wider than `widest_name`.
struct RowColumns {
    std::size_t name = 0;
    std::size_t state = 0;
    std::size_t progress = 0;
    std::size_t speed = 0;
};
RowColumns columns_for(const std::vector<RowTexts>& rows, std::size_t widest_name);

// "name  state  progress  speed  status" in the columns; without the state when `with_state`
// is false. A name longer than its column is cut and ends in "...".
std::string row_line(const RowTexts& row, const RowColumns& columns, bool with_state);

}  // namespace rg
