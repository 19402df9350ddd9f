#pragma once

#include <optional>
#include <string>

#include "engine/command_ids.h"

namespace rg {

class DownloadList;
class Selection;

// The text that Copy Url (the item's url) or Copy Filename (its local path) puts on the
// clipboard, taken from the row of Selection::caret_target(). nullopt when there is nothing to
// copy: another command, an empty list or no selection. Placing it on the clipboard is the view's.
std::optional<std::string> clipboard_text(CommandId id, const DownloadList& list,
                                          const Selection& selection);

}  // namespace rg
