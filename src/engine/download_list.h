#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/download_item.h"

namespace rg {

// The downloads in the order of the list view's rows. Changed only on the controller thread;
// workers keep a shared reference to their item, so removing an item never frees it under them.
class DownloadList {
  public:
    using ItemPtr = std::shared_ptr<DownloadItem>;

    std::int32_t count() const { return static_cast<std::int32_t>(items_.size()); }
    bool empty() const { return items_.empty(); }

    // A newly constructed item at the end.
    DownloadItem& append_item();
    // nullptr when the index is out of range.
    DownloadItem* item_at(std::int32_t index) const;
    ItemPtr shared_at(std::int32_t index) const;
    // -1 when the item is not in the list.
    std::int32_t index_of(const DownloadItem* item) const;
    bool remove_item(std::int32_t index);
    // Detaches the item at `from` and inserts the same item at `to` (an index of the list without
    // it; `to` equal to that count appends). False for an index out of range.
    bool move_item(std::int32_t from, std::int32_t to);
    void clear() { items_.clear(); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    std::vector<ItemPtr> items_;
};

}  // namespace rg
