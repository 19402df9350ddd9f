#pragma once

#include <cstdint>
#include <map>

#include "engine/command_ids.h"
#include "engine/selection.h"

namespace rg {

class DownloadList;

enum class View { Downloads, Montage };

// What the command states depend on besides the list and its selection.
struct CommandInputs {
    View view = View::Downloads;
    bool auto_download = false;
};

// The three values that the list commands' states are decided from.
struct SelectionSummary {
    bool any = false;           // at least one row is selected
    bool single = false;        // exactly one row is selected
    bool startable = false;     // single, and its item is neither Running nor Montage-held
    std::int32_t row = kNoRow;  // the single row, else kNoRow
};

SelectionSummary summarize(const DownloadList& list, const Selection& selection);

struct CommandFlags {
    bool enabled = true;
    bool checked = false;
    bool operator==(const CommandFlags&) const = default;
};

// The enabled and checked state of every command, of the two view-bound menu popups, of the
// Downloads pane's buttons and the checked state of the toolbar buttons.
class CommandState {
  public:
    // Enabled and unchecked for every command not set otherwise.
    CommandFlags flags(CommandId id) const;
    bool enabled(CommandId id) const { return flags(id).enabled; }
    bool checked(CommandId id) const { return flags(id).checked; }
    bool popup_enabled(MenuPopup popup) const;
    // Start, Pause and Cancel; the other controls are always enabled.
    bool button_enabled(PaneControlId button) const;
    bool toolbar_checked(ToolbarButtonId button) const;

    void set(CommandId id, CommandFlags flags) { commands_[id] = flags; }
    void set_popup_enabled(MenuPopup popup, bool on);
    void set_button_enabled(PaneControlId button, bool on) { buttons_[button] = on; }
    void set_toolbar_checked(ToolbarButtonId button, bool on) { toolbar_[button] = on; }

  private:
    std::map<CommandId, CommandFlags> commands_;
    std::map<PaneControlId, bool> buttons_;
    std::map<ToolbarButtonId, bool> toolbar_;
    bool download_popup_ = true;
    bool montage_popup_ = true;
};

// The command state refresh: decides every state from the list, its selection and the inputs.
// Controller thread only.
CommandState command_state(const DownloadList& list, const Selection& selection,
                           const CommandInputs& inputs);

}  // namespace rg
