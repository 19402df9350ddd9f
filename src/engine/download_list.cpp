#include "engine/download_list.h"

namespace rg {

DownloadItem& DownloadList::append_item() {
    items_.push_back(std::make_shared<DownloadItem>());
    return *items_.back();
}

DownloadItem* DownloadList::item_at(std::int32_t index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return items_[static_cast<std::size_t>(index)].get();
}

DownloadList::ItemPtr DownloadList::shared_at(std::int32_t index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return items_[static_cast<std::size_t>(index)];
}

std::int32_t DownloadList::index_of(const DownloadItem* item) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].get() == item)
            return static_cast<std::int32_t>(i);
    }
    return -1;
}

bool DownloadList::remove_item(std::int32_t index) {
    if (index < 0 || index >= count())
        return false;
    items_.erase(items_.begin() + index);
    return true;
}

bool DownloadList::move_item(std::int32_t from, std::int32_t to) {
    if (from < 0 || from >= count())
        return false;
    if (to < 0 || to >= count())
        return false;  // the list without the item has count - 1
    ItemPtr item = std::move(items_[static_cast<std::size_t>(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(item));
    return true;
}

}  // namespace rg
