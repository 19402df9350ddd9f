#include "engine/item_toggles.h"

#include "engine/download_list.h"
#include "engine/selection.h"

namespace rg {

std::optional<ItemFlag> toggled_flag_of(CommandId id) {
    switch (id) {
        case CommandId::OpenWhenDone:
            return ItemFlag::OpenWhenDone;
        case CommandId::Scheduled:
            return ItemFlag::Scheduled;
        default:
            return std::nullopt;
    }
}

std::int32_t toggle_flag(DownloadList& list, const Selection& selection, ItemFlag flag) {
    std::int32_t changed = 0;
    for (std::int32_t row : selection.selected_rows()) {
        DownloadItem* item = list.item_at(row);
        if (item == nullptr)
            break;
        auto data = item->lock();
        std::int32_t& value =
            flag == ItemFlag::OpenWhenDone ? data->saved.open_when_done : data->saved.scheduled;
        value = value == 0 ? 1 : 0;
        ++changed;
    }
    return changed;
}

}  // namespace rg
