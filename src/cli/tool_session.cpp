#include "cli/tool_session.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/credentials.h"
#include "intake/file_naming.h"
#include "platform/ascii_text.h"
#include "platform/data_dir.h"
#include "platform/local_file.h"
#include "protocols/url_split.h"
#include "settings/http_options.h"

namespace rg {

namespace {

constexpr std::string_view kCookieFileName = "cookies.txt";
constexpr mode_t kFolderMode = 0755;

}  // namespace

std::string cookie_file_path(const std::string& data_dir) {
    return data_dir + "/" + std::string(kCookieFileName);
}

ToolSession::ToolSession(const std::string& data_dir)
    : list_file(data_dir, host),
      ini(settings_path(data_dir)),
      passwords(ini),
      http(HttpSessionOptions{}) {}

bool open_list_file(const std::string& data_dir, ListFile& file) {
    switch (file.open()) {
        case ListFile::OpenResult::Opened:
            return true;
        case ListFile::OpenResult::Locked:
            std::fprintf(stderr, "rlg: %s is in use by another Reelgrab\n", data_dir.c_str());
            return false;
        case ListFile::OpenResult::Failed:
            std::fprintf(stderr, "rlg: cannot open the download list in %s: %s\n", data_dir.c_str(),
                         std::strerror(errno));
            return false;
    }
    return false;
}

bool open_tool_session(const std::string& data_dir, ToolSession& s) {
    if (!open_list_file(data_dir, s.list_file))
        return false;
    s.settings.replace(load_settings(s.ini));
    s.passwords.load();
    s.http.set_options(http_session_options(s.settings.snapshot(), cookie_file_path(data_dir)));
    s.list_file.load(s.list);
    return true;
}

std::optional<std::string> absolute_folder(const std::string& folder) {
    int error = 0;
    if (!make_folders(folder, kFolderMode, &error)) {
        std::fprintf(stderr, "rlg: %s: %s\n", folder.c_str(), std::strerror(error));
        return std::nullopt;
    }
    char* absolute = ::realpath(folder.c_str(), nullptr);
    if (absolute == nullptr) {
        std::fprintf(stderr, "rlg: %s: %s\n", folder.c_str(), std::strerror(errno));
        return std::nullopt;
    }
    std::string path(absolute);
    std::free(absolute);
    return path;
}

std::optional<std::string> checked_url(std::string url) {
    if (url.find_first_of("\r\n\t") != std::string::npos || url.size() >= SavedBlock::kUrlSize) {
        std::fprintf(stderr, "rlg: %s: not a usable URL\n", url.c_str());
        return std::nullopt;
    }
    const SplitUrl parts = split_url(url, kIntakeSplitCapacities);
    if (parts.scheme != "HTTP" && parts.scheme != "HTTPS" && parts.scheme != "FTP") {
        std::fprintf(stderr, "rlg: %s: Invalid Protocol, only HTTP, HTTPS and FTP are allowed\n",
                     url.c_str());
        return std::nullopt;
    }
    if (parts.host.empty()) {
        std::fprintf(stderr, "rlg: %s: Invalid Host\n", url.c_str());
        return std::nullopt;
    }
    if (parts.path.empty())
        url += "/";
    return url;
}

DownloadList::ItemPtr find_by_url(const DownloadList& list, std::string_view url) {
    for (const auto& item : list) {
        if (equal_ignoring_case(item->url(), url))
            return item;
    }
    return nullptr;
}

DownloadList::ItemPtr add_item(ToolSession& s, const std::string& url, const std::string& folder) {
    const auto path = free_local_path(folder, proposed_file_name(url));
    if (!path || path->size() >= SavedBlock::kPathSize) {
        std::fprintf(stderr, "rlg: %s: no free file name in %s\n", url.c_str(), folder.c_str());
        return nullptr;
    }
    int error = 0;
    if (!LocalFile::open(*path, LocalFile::Mode::ReadWrite, &error)) {
        std::fprintf(stderr, "rlg: %s: %s\n", path->c_str(), std::strerror(error));
        return nullptr;
    }
    DownloadItem& item = s.list.append_item();
    const Protocol protocol = protocol_for_url(url);
    item.connection.protocol = protocol;
    {
        auto data = item.lock();
        data->set_url(url);
        data->set_local_path(*path);
        data->saved.resumable = protocol == Protocol::Http ? 1 : 0;
    }
    apply_site_password(item, s.passwords);
    s.list_file.save(s.list);
    return s.list.shared_at(s.list.index_of(&item));
}

}  // namespace rg
