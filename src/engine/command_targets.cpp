#include "engine/command_targets.h"

#include <algorithm>

#include "engine/command_state.h"
#include "engine/download_list.h"
#include "engine/selection.h"

namespace rg {

TargetRule target_rule(CommandId id) {
    switch (id) {
        case CommandId::Start:
        case CommandId::Pause:
        case CommandId::ChangeCredentials:
        case CommandId::OpenWhenDone:
        case CommandId::Scheduled:
            return TargetRule::Selected;
        case CommandId::Cancel:
            return TargetRule::SelectedFromLast;
        case CommandId::ChangeLocalFilename:
            return TargetRule::One;
        case CommandId::ShowLastResponse:
        case CommandId::AdvancedInformation:
        case CommandId::CopyUrl:
        case CommandId::CopyFilename:
        case CommandId::Montage:
        case CommandId::AutoMontage:
            return TargetRule::Caret;
        case CommandId::MoveToTop:
        case CommandId::MoveUp:
        case CommandId::MoveDown:
        case CommandId::MoveToBottom:
            return TargetRule::MoveWalk;
        default:
            return TargetRule::None;
    }
}

std::vector<std::int32_t> command_targets(CommandId id, const DownloadList& list,
                                          const Selection& selection) {
    const TargetRule rule = target_rule(id);
    Selection rows_of_list = selection;
    rows_of_list.resize(list.count());
    if (rule == TargetRule::None || !command_state(list, rows_of_list, {}).enabled(id))
        return {};

    std::vector<std::int32_t> rows = rows_of_list.selected_rows();
    const std::int32_t last = list.count() - 1;
    switch (rule) {
        case TargetRule::Selected:
            break;
        case TargetRule::SelectedFromLast:
            std::reverse(rows.begin(), rows.end());
            break;
        case TargetRule::One:
            if (rows.size() != 1)
                rows.clear();
            break;
        case TargetRule::Caret: {
            const std::int32_t row = rows_of_list.caret_target();
            rows.clear();
            if (row != kNoRow)
                rows.push_back(row);
            break;
        }
        case TargetRule::MoveWalk:
            if (id == CommandId::MoveToTop || id == CommandId::MoveUp) {
                std::erase(rows, 0);
            } else {
                std::erase(rows, last);
                std::reverse(rows.begin(), rows.end());
            }
            break;
        case TargetRule::None:
            rows.clear();
            break;
    }
    return rows;
}

}  // namespace rg
