#pragma once

#include <cstdint>
#include <optional>

#include "engine/command_ids.h"

namespace rg {

class DownloadList;
class Selection;

// The per-item flags that the menu toggles.
enum class ItemFlag { OpenWhenDone, Scheduled };

// The flag a toggle command flips; nullopt for the other commands.
std::optional<ItemFlag> toggled_flag_of(CommandId id);

// Flips the flag of every selected item: 0 becomes 1, any other value 0. Returns the number of
// items changed (0 on an empty list or without a selection). The list is not saved here.
// Controller thread only.
std::int32_t toggle_flag(DownloadList& list, const Selection& selection, ItemFlag flag);

}  // namespace rg
