#pragma once

#include <string>

#include "engine/controller.h"
#include "engine/download_list.h"
#include "engine/list_file.h"
#include "protocols/http_session.h"
#include "settings/ini_store.h"
#include "settings/settings.h"
#include "settings/site_passwords.h"

namespace rg {

// The state the window works on, for one data folder.
struct AppSession {
    AppSession(std::string data_dir, Host& host);

    // Takes the folder's lock with the list file, then loads the settings, the site passwords,
    // the session options and the list, in that order.
    ListFile::OpenResult open();

    Controller::Parts controller_parts(Host& host);

    std::string data_dir;
    ListFile list_file;
    IniStore ini;
    // No settings file was there yet: the program starts for the first time in this folder.
    bool first_start = false;
    SettingsStore settings;
    SitePasswordList passwords;
    HttpSession http;
    DownloadList list;
};

}  // namespace rg
