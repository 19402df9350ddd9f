#include "engine/clipboard_text.h"

#include "engine/command_targets.h"
#include "engine/download_list.h"

namespace rg {

std::optional<std::string> clipboard_text(CommandId id, const DownloadList& list,
                                          const Selection& selection) {
    if (id != CommandId::CopyUrl && id != CommandId::CopyFilename)
        return std::nullopt;
    const std::vector<std::int32_t> rows = command_targets(id, list, selection);
    DownloadItem* item = rows.empty() ? nullptr : list.item_at(rows.front());
    if (item == nullptr)
        return std::nullopt;
    return id == CommandId::CopyUrl ? item->url() : item->local_path();
}

}  // namespace rg
