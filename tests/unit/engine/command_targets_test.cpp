#include "engine/command_targets.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/download_list.h"
#include "engine/selection.h"

namespace rg {
namespace {

using Rows = std::vector<std::int32_t>;

DownloadList make_list(const std::vector<ItemState>& states) {
    DownloadList list;
    for (ItemState state : states)
        list.append_item().state = state;
    return list;
}

TEST(CommandTargets, PauseWalksUpCancelWalksDown) {
    const DownloadList list = make_list(std::vector<ItemState>(5, ItemState::Running));
    const Selection s = Selection::of(5, {1, 3, 4}, 3);
    EXPECT_EQ(command_targets(CommandId::Pause, list, s), (Rows{1, 3, 4}));
    EXPECT_EQ(command_targets(CommandId::Start, list, s), (Rows{1, 3, 4}));
    EXPECT_EQ(command_targets(CommandId::ChangeCredentials, list, s), (Rows{1, 3, 4}));
    EXPECT_EQ(command_targets(CommandId::Scheduled, list, s), (Rows{1, 3, 4}));
    EXPECT_EQ(command_targets(CommandId::Cancel, list, s), (Rows{4, 3, 1}));
    // The pane's buttons dispatch as their menu commands.
    EXPECT_EQ(command_of_pane_button(PaneControlId::Cancel), CommandId::Cancel);
    EXPECT_EQ(command_of_pane_button(PaneControlId::Pause), CommandId::Pause);
    EXPECT_EQ(command_of_pane_button(PaneControlId::Start), CommandId::Start);
    EXPECT_EQ(command_of_pane_button(PaneControlId::Add), std::nullopt);
}

TEST(CommandTargets, CaretCommandsActOnASelectedRowOnly) {
    const DownloadList list = make_list(std::vector<ItemState>(4, ItemState::Stopped));
    EXPECT_EQ(command_targets(CommandId::CopyUrl, list, Selection::of(4, {0, 2}, 2)), Rows{2});
    EXPECT_EQ(command_targets(CommandId::Montage, list, Selection::of(4, {0, 2}, 3)), Rows{0});
    EXPECT_EQ(command_targets(CommandId::ShowLastResponse, list, Selection::of(4, {}, 3)), Rows{});
    // Advanced Information needs exactly one row that is not running.
    EXPECT_EQ(command_targets(CommandId::AdvancedInformation, list, Selection::of(4, {1}, 3)),
              Rows{1});
    EXPECT_EQ(command_targets(CommandId::AdvancedInformation, list, Selection::of(4, {0, 1}, 1)),
              Rows{});
}

TEST(CommandTargets, DisabledCommandsReachNoItem) {
    DownloadList list = make_list({ItemState::Running, ItemState::Stopped});
    // One running row: Start, Change Local Filename and Advanced Information are disabled.
    const Selection running = Selection::of(2, {0}, 0);
    EXPECT_EQ(command_targets(CommandId::Start, list, running), Rows{});
    EXPECT_EQ(command_targets(CommandId::ChangeLocalFilename, list, running), Rows{});
    EXPECT_EQ(command_targets(CommandId::Pause, list, running), Rows{0});
    // One stopped row: Pause is disabled.
    const Selection stopped = Selection::of(2, {1}, 1);
    EXPECT_EQ(command_targets(CommandId::Pause, list, stopped), Rows{});
    EXPECT_EQ(command_targets(CommandId::ChangeLocalFilename, list, stopped), Rows{1});
    EXPECT_EQ(command_targets(CommandId::Start, list, stopped), Rows{1});
    // Several rows never give Change Local Filename an item.
    EXPECT_EQ(command_targets(CommandId::ChangeLocalFilename, list, Selection::of(2, {0, 1})),
              Rows{});
    // Rows of a stale selection beyond the list are ignored.
    EXPECT_EQ(command_targets(CommandId::Cancel, list, Selection::of(5, {1, 4}, 4)), Rows{1});
    EXPECT_EQ(command_targets(CommandId::CopyUrl, list, Selection::of(5, {1, 4}, 4)), Rows{1});
    const DownloadList empty;
    EXPECT_EQ(command_targets(CommandId::Cancel, empty, Selection::of(1, {0}, 0)), Rows{});
}

TEST(CommandTargets, MoveCommandsListTheRowsTheyMove) {
    const DownloadList list = make_list(std::vector<ItemState>(4, ItemState::Stopped));
    const Selection s = Selection::of(4, {0, 2, 3}, 0);
    EXPECT_EQ(command_targets(CommandId::MoveToTop, list, s), (Rows{2, 3}));
    EXPECT_EQ(command_targets(CommandId::MoveUp, list, s), (Rows{2, 3}));
    EXPECT_EQ(command_targets(CommandId::MoveDown, list, s), (Rows{2, 0}));
    EXPECT_EQ(command_targets(CommandId::MoveToBottom, list, s), (Rows{2, 0}));
}

TEST(CommandTargets, CommandsWithoutItems) {
    const DownloadList list = make_list({ItemState::Stopped});
    const Selection s = Selection::of(1, {0}, 0);
    for (CommandId id : {CommandId::SelectAll, CommandId::Options, CommandId::ViewMontage,
                         CommandId::GetFrame, CommandId::AutomaticDownloading}) {
        EXPECT_EQ(target_rule(id), TargetRule::None);
        EXPECT_EQ(command_targets(id, list, s), Rows{});
    }
}

TEST(CommandIds, NumbersAndTexts) {
    EXPECT_EQ(command_from_number(40098), CommandId::MoveToTop);
    EXPECT_EQ(command_from_number(40065), std::nullopt);  // the Montage pane's own menus
    EXPECT_EQ(command_from_number(-1), std::nullopt);
    EXPECT_EQ(command_text(CommandId::CopyUrl), "&Copy Url\tCtrl+C");
    EXPECT_EQ(command_text(CommandId::TrayExit), "E&xit Reelgrab");
    for (const CommandEntry& entry : kCommandTable) {
        EXPECT_EQ(command_from_number(static_cast<std::int32_t>(entry.id)), entry.id);
        EXPECT_FALSE(entry.text.empty());
    }
}

}  // namespace
}  // namespace rg
