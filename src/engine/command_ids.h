#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace rg {

// The commands of the main menu, the tray menu and the accelerators, by their menu item ids.
enum class CommandId : std::int32_t {
    NewDownload = 40018,
    MinimizeToTray = 40057,
    Exit = 40022,

    SelectAll = 40080,
    SelectRunning = 40081,
    SelectNotFound = 40103,
    SelectNotScheduled = 40104,
    SelectInverse = 40085,
    SelectNone = 40082,

    Start = 40016,
    Pause = 40017,
    MoveToTop = 40098,
    MoveUp = 40099,
    MoveDown = 40100,
    MoveToBottom = 40101,
    ChangeLocalFilename = 40010,
    ChangeCredentials = 40011,
    ShowLastResponse = 40092,
    AdvancedInformation = 40034,
    OpenWhenDone = 40012,
    CopyUrl = 40013,
    CopyFilename = 40014,
    Montage = 40079,
    AutoMontage = 40070,
    Scheduled = 40089,
    Cancel = 40015,

    GetFrame = 40059,
    SaveFrame = 40058,
    CloseImage = 40073,
    ClearStoryboard = 40077,
    CloseMedia = 40060,

    ViewDownloads = 40049,
    ViewMontage = 40050,
    Options = 40084,
    Help = 40031,
    SubmitFeedback = 40105,
    About = 40032,

    ShowReelgrab = 40064,
    TrayOptions = 40056,
    AutomaticDownloading = 40091,
    TrayExit = 40063,
};

// Controls of the Downloads pane.
enum class PaneControlId : std::int32_t {
    UrlEdit = 1001,
    Add = 1002,
    List = 1003,
    Start = 1004,
    Cancel = 1005,
    Pause = 1007,
};

// Buttons of the toolbar pane.
enum class ToolbarButtonId : std::int32_t {
    Downloads = 1006,
    Montage = 1008,
    Options = 1009,
    Auto = 1010,
    Schedule = 1011,
};

// The popups of the main menu whose whole state follows the view.
enum class MenuPopup { Download, Montage };

// A command with its menu text; the text after a tab names the accelerator.
struct CommandEntry {
    CommandId id;
    std::string_view text;
};

inline constexpr std::array kCommandTable = {
    CommandEntry{CommandId::NewDownload, "New &Download...\tCtrl+N"},
    CommandEntry{CommandId::MinimizeToTray, "&Minimize to Tray\tF9"},
    CommandEntry{CommandId::Exit, "E&xit"},
    CommandEntry{CommandId::SelectAll, "Select &All\tCtrl+A"},
    CommandEntry{CommandId::SelectRunning, "Select &Running Downloads"},
    CommandEntry{CommandId::SelectNotFound, "Select Not &Found\tCtrl+Shift+F"},
    CommandEntry{CommandId::SelectNotScheduled, "Select Not Scheduled"},
    CommandEntry{CommandId::SelectInverse, "Select &Inverse\tCtrl+Shift+I"},
    CommandEntry{CommandId::SelectNone, "Select &None\tCtrl+Shift+N"},
    CommandEntry{CommandId::Start, "&Start\tF5"},
    CommandEntry{CommandId::Pause, "&Pause\tCtrl+F5"},
    CommandEntry{CommandId::MoveToTop, "Move To Top\tCtrl+T"},
    CommandEntry{CommandId::MoveUp, "Move Up\tCtrl+U"},
    CommandEntry{CommandId::MoveDown, "Move Down\tCtrl+D"},
    CommandEntry{CommandId::MoveToBottom, "Move To Bottom\tCtrl+B"},
    CommandEntry{CommandId::ChangeLocalFilename, "Change Local &Filename..."},
    CommandEntry{CommandId::ChangeCredentials, "Change &Username/Password..."},
    CommandEntry{CommandId::ShowLastResponse, "Show &Last Response..."},
    CommandEntry{CommandId::AdvancedInformation, "Advanced &Information..."},
    CommandEntry{CommandId::OpenWhenDone, "&Open When Done"},
    CommandEntry{CommandId::CopyUrl, "&Copy Url\tCtrl+C"},
    CommandEntry{CommandId::CopyFilename, "Copy Filename"},
    CommandEntry{CommandId::Montage, "&Montage\tCtrl+M"},
    CommandEntry{CommandId::AutoMontage, "A&uto Montage"},
    CommandEntry{CommandId::Scheduled, "&Scheduled"},
    CommandEntry{CommandId::Cancel, "&Cancel\tDel"},
    CommandEntry{CommandId::GetFrame, "&Get Frame"},
    CommandEntry{CommandId::SaveFrame, "&Save Frame...\tCtrl+S"},
    CommandEntry{CommandId::CloseImage, "C&lose Image"},
    CommandEntry{CommandId::ClearStoryboard, "Clear &Storyboard"},
    CommandEntry{CommandId::CloseMedia, "&Close Media"},
    CommandEntry{CommandId::ViewDownloads, "&Download Manager\tF2"},
    CommandEntry{CommandId::ViewMontage, "&Montage Window\tF3"},
    CommandEntry{CommandId::Options, "&Options...\tF4"},
    CommandEntry{CommandId::Help, "&Help\tF1"},
    CommandEntry{CommandId::SubmitFeedback, "Submit &Feedback\tCtrl+F1"},
    CommandEntry{CommandId::About, "&About..."},
    CommandEntry{CommandId::ShowReelgrab, "Show Reelgrab..."},
    CommandEntry{CommandId::TrayOptions, "&Options..."},
    CommandEntry{CommandId::AutomaticDownloading, "Automatic Downloading"},
    CommandEntry{CommandId::TrayExit, "E&xit Reelgrab"},
};

// The menu text of a command.
constexpr std::string_view command_text(CommandId id) {
    for (const CommandEntry& entry : kCommandTable) {
        if (entry.id == id)
            return entry.text;
    }
    return {};
}

// The command with this numeric id; nullopt for an id that is not a command.
constexpr std::optional<CommandId> command_from_number(std::int32_t number) {
    for (const CommandEntry& entry : kCommandTable) {
        if (static_cast<std::int32_t>(entry.id) == number)
            return entry.id;
    }
    return std::nullopt;
}

// The menu command that a Downloads pane button stands for; nullopt for the other controls.
constexpr std::optional<CommandId> command_of_pane_button(PaneControlId button) {
    switch (button) {
        case PaneControlId::Start:
            return CommandId::Start;
        case PaneControlId::Pause:
            return CommandId::Pause;
        case PaneControlId::Cancel:
            return CommandId::Cancel;
        default:
            return std::nullopt;
    }
}

}  // namespace rg
