#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cli/terminal_host.h"
#include "engine/download_list.h"
#include "engine/list_file.h"
#include "protocols/http_session.h"
#include "protocols/transfer_ops.h"
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

// A URL as the tool takes it from its command line.
struct ToolUrl {
    std::string url;                         // as the intake stores it
    std::optional<Credentials> credentials;  // Base64; those the URL carried in front of its host
};

// Checks a URL as the intake does: canonical form, HTTP, HTTPS or FTP, a host read as written,
// credentials in front of the host taken out. Prints why when it is refused.
std::optional<ToolUrl> checked_url(std::string_view text);

// The item of the list whose URL is `url` (same_url: scheme and host in any case, the rest
// exactly), or none.
DownloadList::ItemPtr find_by_url(const DownloadList& list, std::string_view url);

// Adds a download of `url` into `folder` (a free name there, the file created) with the URL's
// credentials, or else the remembered ones, and saves the list; nothing (printed why) when no
// file can be made.
DownloadList::ItemPtr add_item(ToolSession& s, const ToolUrl& url, const std::string& folder);

// A download found again takes the credentials the URL carried, if any (the list is saved).
void give_url_credentials(ToolSession& s, DownloadItem& item, const ToolUrl& url);

}  // namespace rg
