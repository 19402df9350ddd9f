#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rg {

enum class MessageIcon { None, Error, Warning, Question, Information };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

inline constexpr std::string_view kErrorCaption = "Error";

// What the user typed into the credentials prompt.
struct CredentialsAnswer {
    std::string user_name;
    std::string password;
    bool remember = false;  // "Always use these data for that server"
};

// A file type offered by the save-file chooser: its text and its pattern ("*.*").
struct FileFilter {
    std::string text;
    std::string pattern;
};

inline constexpr std::string_view kSaveFileTitle = "Select File to Save";

// How the core reaches the user. The GUI answers with dialogs, the command-line tool on the
// terminal, tests with scripted answers. Questions may be asked from worker threads (a rename
// after a redirect is decided on the worker's thread); implementations marshal as they need.
class Host {
  public:
    virtual ~Host() = default;

    // A modal message with a fixed text and caption; returns the button chosen.
    virtual MessageAnswer message_box(std::string_view text, std::string_view caption,
                                      MessageButtons buttons, MessageIcon icon) = 0;

    // The save-file chooser: the chosen full path, or nullopt when cancelled.
    virtual std::optional<std::string> choose_save_file(std::string_view proposed_path,
                                                        const FileFilter& filter) {
        (void)proposed_path;
        (void)filter;
        return std::nullopt;
    }

    // The credentials prompt for a download that the server refused with 401.
    virtual std::optional<CredentialsAnswer> ask_credentials(std::string_view url) {
        (void)url;
        return std::nullopt;
    }

    // Opens a finished download with the desktop's default program.
    virtual void open_file(const std::string& path) { (void)path; }

    // The list, an item's row or the command states changed; repaint.
    virtual void list_changed() {}
};

}  // namespace rg
