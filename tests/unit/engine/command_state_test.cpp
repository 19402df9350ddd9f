#include "engine/command_state.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/download_list.h"

namespace rg {
namespace {

constexpr CommandId kNeedSelection[] = {
    CommandId::ChangeCredentials, CommandId::OpenWhenDone, CommandId::Scheduled,
    CommandId::CopyUrl,           CommandId::CopyFilename, CommandId::ShowLastResponse,
    CommandId::Montage,           CommandId::AutoMontage,  CommandId::Cancel,
    CommandId::MoveToTop,         CommandId::MoveUp,       CommandId::MoveDown,
    CommandId::MoveToBottom,
};

constexpr CommandId kAlwaysEnabled[] = {
    CommandId::NewDownload,   CommandId::Exit,          CommandId::SelectAll,
    CommandId::SelectNone,    CommandId::SelectRunning, CommandId::SelectNotFound,
    CommandId::GetFrame,      CommandId::CloseMedia,    CommandId::Options,
    CommandId::ViewDownloads, CommandId::ViewMontage,   CommandId::TrayExit,
};

DownloadList make_list(const std::vector<ItemState>& states) {
    DownloadList list;
    for (ItemState state : states)
        list.append_item().state = state;
    return list;
}

// Start, Pause, Change Local Filename / Advanced Information, and the pane's Start and Pause.
struct Expected {
    bool start;
    bool pause;
    bool one_item;
};

void expect_states(const CommandState& state, bool any, Expected e) {
    for (CommandId id : kNeedSelection)
        EXPECT_EQ(state.enabled(id), any) << static_cast<int>(id);
    for (CommandId id : kAlwaysEnabled)
        EXPECT_TRUE(state.enabled(id)) << static_cast<int>(id);
    EXPECT_EQ(state.enabled(CommandId::Start), e.start);
    EXPECT_EQ(state.enabled(CommandId::Pause), e.pause);
    EXPECT_EQ(state.enabled(CommandId::ChangeLocalFilename), e.one_item);
    EXPECT_EQ(state.enabled(CommandId::AdvancedInformation), e.one_item);
    EXPECT_EQ(state.button_enabled(PaneControlId::Start), e.start);
    EXPECT_EQ(state.button_enabled(PaneControlId::Pause), e.pause);
    EXPECT_EQ(state.button_enabled(PaneControlId::Cancel), any);
    EXPECT_TRUE(state.button_enabled(PaneControlId::Add));
}

TEST(CommandState, NothingSelectedOrEmptyListDisablesTheListCommands) {
    const DownloadList empty;
    expect_states(command_state(empty, Selection(), {}), false, {false, false, false});
    // A selection left over from rows that are gone.
    expect_states(command_state(empty, Selection::of(2, {0}, 0), {}), false, {false, false, false});

    const DownloadList list = make_list({ItemState::Running, ItemState::Stopped});
    expect_states(command_state(list, Selection::of(2, {}, 0), {}), false, {false, false, false});
}

TEST(CommandState, OneRowDecidesStartAndPauseByItsState) {
    struct Case {
        ItemState state;
        Expected expected;
    };
    const Case cases[] = {
        {ItemState::Stopped, {true, false, true}},
        {ItemState::InfoHeld, {true, false, true}},
        {ItemState::Running, {false, true, false}},
        {ItemState::MontageHeld, {false, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.state));
        const DownloadList list = make_list({ItemState::Stopped, c.state});
        expect_states(command_state(list, Selection::of(2, {1}, 1), {}), true, c.expected);
    }
}

TEST(CommandState, SeveralRowsEnableStartAndPauseButNotTheOneItemCommands) {
    const DownloadList list = make_list({ItemState::Running, ItemState::Running});
    expect_states(command_state(list, Selection::of(2, {0, 1}, 0), {}), true, {true, true, false});
    const DownloadList stopped = make_list({ItemState::Stopped, ItemState::Stopped});
    expect_states(command_state(stopped, Selection::of(2, {0, 1}, 1), {}), true,
                  {true, true, false});
}

TEST(CommandState, SingleRowIsJudgedByTheSelectedRowNotAStrayCaret) {
    // The caret was left on a stopped row that is no longer selected.
    const DownloadList list = make_list({ItemState::Running, ItemState::Stopped});
    list.item_at(1)->lock()->saved.open_when_done = 1;
    const CommandState state = command_state(list, Selection::of(2, {0}, 1), {});
    expect_states(state, true, {false, true, false});
    EXPECT_FALSE(state.checked(CommandId::OpenWhenDone));
}

TEST(CommandState, ChecksShowTheSingleItemsFlags) {
    DownloadList list = make_list({ItemState::Stopped, ItemState::Stopped});
    {
        auto data = list.item_at(0)->lock();
        data->saved.open_when_done = 1;
        data->saved.scheduled = 5;  // any value but 0 is set
    }
    list.item_at(1)->lock()->saved.scheduled = 1;

    CommandState state = command_state(list, Selection::of(2, {0}, 0), {});
    EXPECT_TRUE(state.checked(CommandId::OpenWhenDone));
    EXPECT_TRUE(state.checked(CommandId::Scheduled));
    state = command_state(list, Selection::of(2, {1}, 1), {});
    EXPECT_FALSE(state.checked(CommandId::OpenWhenDone));
    EXPECT_TRUE(state.checked(CommandId::Scheduled));
    // Not single: unchecked whatever the items hold.
    state = command_state(list, Selection::of(2, {0, 1}, 0), {});
    EXPECT_FALSE(state.checked(CommandId::OpenWhenDone));
    EXPECT_FALSE(state.checked(CommandId::Scheduled));
}

TEST(CommandState, ViewAndAutomaticDownloading) {
    const DownloadList list;
    CommandState state = command_state(list, Selection(), {});
    EXPECT_TRUE(state.popup_enabled(MenuPopup::Download));
    EXPECT_FALSE(state.popup_enabled(MenuPopup::Montage));
    EXPECT_TRUE(state.checked(CommandId::ViewDownloads));
    EXPECT_FALSE(state.checked(CommandId::ViewMontage));
    EXPECT_TRUE(state.toolbar_checked(ToolbarButtonId::Downloads));
    EXPECT_FALSE(state.toolbar_checked(ToolbarButtonId::Montage));
    EXPECT_FALSE(state.checked(CommandId::AutomaticDownloading));
    EXPECT_FALSE(state.toolbar_checked(ToolbarButtonId::Auto));

    state = command_state(list, Selection(), {.view = View::Montage, .auto_download = true});
    EXPECT_FALSE(state.popup_enabled(MenuPopup::Download));
    EXPECT_TRUE(state.popup_enabled(MenuPopup::Montage));
    EXPECT_FALSE(state.checked(CommandId::ViewDownloads));
    EXPECT_TRUE(state.checked(CommandId::ViewMontage));
    EXPECT_FALSE(state.toolbar_checked(ToolbarButtonId::Downloads));
    EXPECT_TRUE(state.toolbar_checked(ToolbarButtonId::Montage));
    EXPECT_TRUE(state.checked(CommandId::AutomaticDownloading));
    EXPECT_TRUE(state.toolbar_checked(ToolbarButtonId::Auto));
    EXPECT_FALSE(state.toolbar_checked(ToolbarButtonId::Schedule));
}

TEST(CommandState, SummaryCountsOnlyRowsOfTheList) {
    const DownloadList list = make_list({ItemState::Stopped, ItemState::Running});
    const SelectionSummary s = summarize(list, Selection::of(4, {1, 3}, 3));
    EXPECT_TRUE(s.single);
    EXPECT_EQ(s.row, 1);
    EXPECT_FALSE(s.startable);
}

}  // namespace
}  // namespace rg
