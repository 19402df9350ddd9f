#include "shell/app_session.h"

#include "settings/http_options.h"

namespace rg {

namespace {

constexpr std::string_view kCookieFileName = "cookies.txt";

}  // namespace

AppSession::AppSession(std::string folder, Host& host)
    : data_dir(std::move(folder)),
      list_file(data_dir, host),
      ini(settings_path(data_dir)),
      passwords(ini),
      http(HttpSessionOptions{}) {}

ListFile::OpenResult AppSession::open() {
    const ListFile::OpenResult opened = list_file.open();
    if (opened != ListFile::OpenResult::Opened)
        return opened;
    first_start = ini.read().status == IniReadStatus::kMissing;
    settings.replace(load_settings(ini));
    passwords.load();
    http.set_options(
        http_session_options(settings.snapshot(), data_dir + "/" + std::string(kCookieFileName)));
    list_file.load(list);
    return opened;
}

Controller::Parts AppSession::controller_parts(Host& host) {
    Controller::Parts parts;
    parts.list = &list;
    parts.list_file = &list_file;
    parts.settings = &settings;
    parts.passwords = &passwords;
    parts.session = &http;
    parts.host = &host;
    return parts;
}

}  // namespace rg
