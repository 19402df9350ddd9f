#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/download_list.h"
#include "engine/saved_block.h"
#include "intake/add_status.h"
#include "platform/host.h"
#include "settings/settings.h"
#include "settings/site_passwords.h"

namespace rg {

class Controller;

inline constexpr std::string_view kRetryFileName = "rename.me";
inline constexpr std::string_view kAllFilesText = "All Files";
inline constexpr std::string_view kAllFilesPattern = "*.*";
// What the URL box of the Downloads pane hands to a quick add.
inline constexpr std::size_t kUrlBoxMax = 1299;
// Longest local path an item keeps.
inline constexpr std::size_t kLocalPathMax = SavedBlock::kPathSize - 1;

// What adding works on. Everything runs on the controller thread, the only one that changes the
// list; the host's questions and the chooser are asked synchronously.
struct AddContext {
    DownloadList& list;
    SettingsStore& settings;
    SitePasswordList& passwords;
    Host& host;
    // Saves the download list; false when the save failed (the saver reports it).
    std::function<bool()> save_list;
    // Starts a download at once (quick add with AutoStartDownload on); may be empty.
    std::function<void(DownloadItem&)> start;
};

// The context of a program that runs a controller: its list, its save and its start.
AddContext add_context(Controller& controller, SettingsStore& settings, SitePasswordList& passwords,
                       Host& host);

// When the proposed file already exists in the given folder.
enum class ExistingFile {
    kAsk,     // the save-file chooser asks (it confirms overwriting)
    kNumber,  // take the first free "name (N).ext" instead, asking nothing
};

struct AddRequest {
    // Target folder; none: the save-file chooser always asks.
    std::optional<std::string> folder;
    std::string url;
    // A chooser that fails ends the add instead of trying once more with "rename.me".
    bool no_fallback = false;
    // Credentials in plain text. Without a user name those the URL carries in front of its host
    // are used, and without those the remembered site passwords.
    std::optional<std::string> user_name;
    std::optional<std::string> password;
    bool scheduled = false;
    ExistingFile existing = ExistingFile::kAsk;
};

struct AddResult {
    AddStatus status = AddStatus::kAdded;
    DownloadItem* item = nullptr;  // the new item when added
    bool saved = false;            // the list was saved after the add
};

// Adds one download: canonical URL and its checks, a file name from the URL, the local file
// chosen (from the folder, or through the save-file chooser), checked against the other
// downloads and created empty, the item appended with its credentials, and the list saved.
// Credentials the URL carries leave the stored URL for the item's fields, or are refused when
// they do not fit them.
// Every refusal that needs the user is shown through the host before returning; nothing is
// added on any refusal.
AddResult add_download(AddContext& context, const AddRequest& request);

// The URL box's add: at most 1299 characters, nothing for an empty box; no folder, scheduled,
// and started at once when AutoStartDownload is 1.
AddResult quick_add(AddContext& context, std::string_view box_text);

}  // namespace rg
