#pragma once

#include <cstdint>
#include <vector>

#include "engine/command_ids.h"

namespace rg {

class DownloadList;
class Selection;

// Which items a command acts on.
enum class TargetRule {
    None,              // no item: selection, view and application commands
    Selected,          // every selected row, from the first
    SelectedFromLast,  // every selected row, from the last (rows disappear as they are visited)
    One,               // the one selected row
    Caret,             // the row of Selection::caret_target()
    MoveWalk,          // the selected rows a Move command moves, in the order it moves them
};

TargetRule target_rule(CommandId id);

// The rows a command acts on, in the order it visits them. Empty for TargetRule::None and while
// the command is disabled by the command state refresh, so a command never reaches an item that
// its menu item would refuse (Start on a single running row, Change Local Filename on a running
// item). Controller thread only.
std::vector<std::int32_t> command_targets(CommandId id, const DownloadList& list,
                                          const Selection& selection);

}  // namespace rg
