#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cli/terminal_host.h"
#include "engine/download_list.h"
#include "engine/list_file.h"
#include "protocols/http_session.h"
#include "settings/ini_store.h"
#include "settings/settings.h"
#include "settings/site_passwords.h"

namespace rg {

// The application parts one command of the tool works with, set up as the program does at start.
struct ToolSession {
    explicit ToolSession(const std::string& data_dir);

    TerminalHost host;
    ListFile list_file;
    IniStore ini;
    SettingsStore settings;
    SitePasswordList passwords;
    HttpSession http;
    DownloadList list;
};

// The cookie file the HTTP client reads, in the data folder.
std::string cookie_file_path(const std::string& data_dir);

// Opens the data folder's list, holding its lock; prints why when it cannot (another Reelgrab
// holds it, or it cannot be opened).
bool open_list_file(const std::string& data_dir, ListFile& file);

// Takes the list's lock, loads the settings, the site passwords and the list. Prints why not.
bool open_tool_session(const std::string& data_dir, ToolSession& s);

// Makes the folder when missing; its absolute path, or nothing (printed why).
std::optional<std::string> absolute_folder(const std::string& folder);

// Checks a URL as the intake does: HTTP, HTTPS or FTP with a host; an empty path becomes "/".
// Prints why when it is refused.
std::optional<std::string> checked_url(std::string url);

// The item of the list whose URL is `url` (compared ignoring case), or none.
DownloadList::ItemPtr find_by_url(const DownloadList& list, std::string_view url);

// Adds a download of `url` into `folder` (a free name there, the file created) and saves the
// list; nothing (printed why) when no file can be made.
DownloadList::ItemPtr add_item(ToolSession& s, const std::string& url, const std::string& folder);

}  // namespace rg
