#include "engine/reorder.h"

#include "engine/download_list.h"

namespace rg {

namespace {

// The list and its selection always move together, as the rows and the items of the view do.
void move_row(DownloadList& list, Selection& selection, std::int32_t from, std::int32_t to) {
    if (list.move_item(from, to))
        selection.move_row(from, to);
}

}  // namespace

std::optional<ReorderMode> reorder_mode_of(CommandId id) {
    switch (id) {
        case CommandId::MoveToTop:
            return ReorderMode::ToTop;
        case CommandId::MoveUp:
            return ReorderMode::Up;
        case CommandId::MoveDown:
            return ReorderMode::Down;
        case CommandId::MoveToBottom:
            return ReorderMode::ToBottom;
        default:
            return std::nullopt;
    }
}

Selection reorder(DownloadList& list, const Selection& selection, ReorderMode mode) {
    Selection result = selection;
    result.resize(list.count());
    const std::int32_t last = list.count() - 1;
    switch (mode) {
        case ReorderMode::ToTop: {
            std::int32_t target = 0;
            for (std::int32_t i = 1; i <= last; ++i) {
                if (result.is_selected(i))
                    move_row(list, result, i, target++);
            }
            break;
        }
        case ReorderMode::Up:
            for (std::int32_t i = 1; i <= last; ++i) {
                if (result.is_selected(i))
                    move_row(list, result, i, i - 1);
            }
            break;
        case ReorderMode::Down:
            for (std::int32_t i = last - 1; i >= 0; --i) {
                if (result.is_selected(i))
                    move_row(list, result, i, i + 1);
            }
            break;
        case ReorderMode::ToBottom: {
            std::int32_t target = last;
            for (std::int32_t i = last - 1; i >= 0; --i) {
                if (result.is_selected(i))
                    move_row(list, result, i, target--);
            }
            break;
        }
    }
    return result;
}

}  // namespace rg
