#pragma once

#include <cstdint>
#include <optional>

#include "engine/command_ids.h"
#include "engine/selection.h"

namespace rg {

class DownloadList;

enum class ReorderMode : std::int32_t {
    ToTop = 1,
    Up = 2,
    Down = 3,
    ToBottom = 4,
};

// The mode of a Move command; nullopt for the other commands.
std::optional<ReorderMode> reorder_mode_of(CommandId id);

// Moves the selected items as the Move commands do and returns the selection after the moves:
// every moved row stays selected and the caret stays with its item. The rows are walked one by
// one, which gives these orders:
//  - ToTop moves the selected rows from row 1 on to the top in their order; row 0 is not moved
//    itself, so a selected row 0 ends below the other selected rows (rows 0 and 2 of three give
//    2, 0, 1).
//  - Up moves each selected row from row 1 on one place up: a block moves as a whole, but a
//    selected row 0 passes to the end of the selected block that follows it.
//  - Down and ToBottom are their mirror images at the end of the list.
// The selection is taken with the list's row count. Neither saves the list. Controller thread
// only.
Selection reorder(DownloadList& list, const Selection& selection, ReorderMode mode);

}  // namespace rg
