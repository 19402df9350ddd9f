#include "engine/command_state.h"

#include "engine/download_list.h"

namespace rg {

namespace {

// Enabled while any row is selected, whatever the rows hold.
constexpr CommandId kNeedSelection[] = {
    CommandId::ChangeCredentials, CommandId::OpenWhenDone, CommandId::Scheduled,
    CommandId::CopyUrl,           CommandId::CopyFilename, CommandId::ShowLastResponse,
    CommandId::Montage,           CommandId::AutoMontage,  CommandId::Cancel,
    CommandId::MoveToTop,         CommandId::MoveUp,       CommandId::MoveDown,
    CommandId::MoveToBottom,
};

}  // namespace

SelectionSummary summarize(const DownloadList& list, const Selection& selection) {
    SelectionSummary summary;
    std::int32_t count = 0;
    for (std::int32_t row : selection.selected_rows()) {
        if (row >= list.count())
            break;
        if (++count == 1)
            summary.row = row;
    }
    if (count == 0)
        return SelectionSummary{};
    summary.any = true;
    if (count > 1) {
        summary.row = kNoRow;
        return summary;
    }
    summary.single = true;
    const ItemState state = list.item_at(summary.row)->state.load();
    summary.startable = state != ItemState::Running && state != ItemState::MontageHeld;
    return summary;
}

CommandFlags CommandState::flags(CommandId id) const {
    const auto it = commands_.find(id);
    return it == commands_.end() ? CommandFlags{} : it->second;
}

bool CommandState::popup_enabled(MenuPopup popup) const {
    return popup == MenuPopup::Download ? download_popup_ : montage_popup_;
}

void CommandState::set_popup_enabled(MenuPopup popup, bool on) {
    (popup == MenuPopup::Download ? download_popup_ : montage_popup_) = on;
}

bool CommandState::button_enabled(PaneControlId button) const {
    const auto it = buttons_.find(button);
    return it == buttons_.end() || it->second;
}

bool CommandState::toolbar_checked(ToolbarButtonId button) const {
    const auto it = toolbar_.find(button);
    return it != toolbar_.end() && it->second;
}

CommandState command_state(const DownloadList& list, const Selection& selection,
                           const CommandInputs& inputs) {
    const SelectionSummary s = summarize(list, selection);
    CommandState state;

    for (CommandId id : kNeedSelection)
        state.set(id, {.enabled = s.any, .checked = false});

    if (s.single) {
        bool open_when_done = false;
        bool scheduled = false;
        {
            auto data = list.item_at(s.row)->lock();
            open_when_done = data->saved.open_when_done != 0;
            scheduled = data->saved.scheduled != 0;
        }
        state.set(CommandId::Start, {.enabled = s.startable});
        state.set(CommandId::Pause, {.enabled = !s.startable});
        state.set(CommandId::ChangeLocalFilename, {.enabled = s.startable});
        state.set(CommandId::AdvancedInformation, {.enabled = s.startable});
        state.set(CommandId::OpenWhenDone, {.enabled = true, .checked = open_when_done});
        state.set(CommandId::Scheduled, {.enabled = true, .checked = scheduled});
        state.set_button_enabled(PaneControlId::Start, s.startable);
        state.set_button_enabled(PaneControlId::Pause, !s.startable);
    } else {
        state.set(CommandId::Start, {.enabled = s.any});
        state.set(CommandId::Pause, {.enabled = s.any});
        state.set(CommandId::ChangeLocalFilename, {.enabled = false});
        state.set(CommandId::AdvancedInformation, {.enabled = false});
        state.set_button_enabled(PaneControlId::Start, s.any);
        state.set_button_enabled(PaneControlId::Pause, s.any);
    }
    state.set_button_enabled(PaneControlId::Cancel, s.any);

    const bool downloads = inputs.view == View::Downloads;
    state.set_popup_enabled(MenuPopup::Download, downloads);
    state.set_popup_enabled(MenuPopup::Montage, !downloads);
    state.set(CommandId::ViewDownloads, {.enabled = true, .checked = downloads});
    state.set(CommandId::ViewMontage, {.enabled = true, .checked = !downloads});
    state.set_toolbar_checked(ToolbarButtonId::Downloads, downloads);
    state.set_toolbar_checked(ToolbarButtonId::Montage, !downloads);

    state.set(CommandId::AutomaticDownloading, {.enabled = true, .checked = inputs.auto_download});
    state.set_toolbar_checked(ToolbarButtonId::Auto, inputs.auto_download);
    return state;
}

}  // namespace rg
