#include "cli/tool_session.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/credentials.h"
#include "intake/file_naming.h"
#include "intake/url_canonical.h"
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

std::optional<ToolUrl> checked_url(std::string_view text) {
    const std::string shown(text);
    const CheckedUrl checked = check_new_url(text);
    if (checked.status != AddStatus::kAdded) {
        std::fprintf(stderr, "rlg: %s: %s\n", shown.c_str(),
                     std::string(describe(checked.status)).c_str());
        return std::nullopt;
    }
    ToolUrl url{checked.url, std::nullopt};
    if (checked.user_info) {
        const UrlUserInfo& info = *checked.user_info;
        const EncodedCredentials credentials = encode_credentials(info.user_name, info.password);
        if (credentials.problem != CredentialProblem::kNone) {
            const AddStatus status = credentials.problem == CredentialProblem::kTooLong
                                         ? AddStatus::kCredentialsTooLong
                                         : AddStatus::kCredentialsUnusable;
            std::fprintf(stderr, "rlg: %s: %s\n", checked.url.c_str(),
                         std::string(describe(status)).c_str());
            return std::nullopt;
        }
        if (!info.user_name.empty() || !info.password.empty())
            url.credentials = credentials.encoded;
    }
    return url;
}

DownloadList::ItemPtr find_by_url(const DownloadList& list, std::string_view url) {
    for (const auto& item : list) {
        if (same_url(item->url(), url))
            return item;
    }
    return nullptr;
}

void give_url_credentials(ToolSession& s, DownloadItem& item, const ToolUrl& url) {
    if (!url.credentials)
        return;
    set_item_credentials(item, *url.credentials);
    s.list_file.save(s.list);
}

DownloadList::ItemPtr add_item(ToolSession& s, const ToolUrl& tool_url, const std::string& folder) {
    const std::string& url = tool_url.url;
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
    if (tool_url.credentials)
        set_item_credentials(item, *tool_url.credentials);
    else
        apply_site_password(item, s.passwords);
    s.list_file.save(s.list);
    return s.list.shared_at(s.list.index_of(&item));
}

}  // namespace rg
