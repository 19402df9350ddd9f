#include "cli/get_command.h"

#include <sys/stat.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <deque>

#include "cli/answering_host.h"
#include "cli/controller_loop.h"
#include "cli/exit_codes.h"
#include "cli/tool_session.h"
#include "engine/credentials.h"
#include "intake/file_naming.h"
#include "protocols/http_session.h"
#include "protocols/transfer_ops.h"
#include "settings/http_options.h"
#include "settings/settings.h"

namespace rg {

namespace {

// The file a finished download of `url` left in `folder`: a regular file of its name that is not
// empty and that no row of the list is still downloading into. Nothing when there is none.
std::optional<std::string> finished_file(const DownloadList& list, const std::string& folder,
                                         const std::string& url) {
    const std::string path = folder + "/" + proposed_file_name(url);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
        return std::nullopt;
    for (const auto& item : list) {
        if (item->local_path() == path)
            return std::nullopt;
    }
    return path;
}

}  // namespace

int run_get(const std::string& data_dir, const std::vector<std::string>& urls,
            const std::string& out_dir, bool copy) {
    if (urls.empty())
        return usage_error("get needs at least one URL");
    const auto folder = absolute_folder(out_dir);
    if (!folder)
        return kExitFailure;
    ToolSession s(data_dir);
    if (!open_tool_session(data_dir, s))
        return kExitFailure;

    std::deque<DownloadList::ItemPtr> waiting;
    bool all_added = true;
    std::size_t already_complete = 0;
    for (const std::string& raw : urls) {
        const auto url = checked_url(raw);
        if (!url) {
            all_added = false;
            continue;
        }
        DownloadList::ItemPtr item = find_by_url(s.list, url->url);
        if (item != nullptr) {
            give_url_credentials(s, *item, *url);
        } else if (!copy) {
            if (const auto done = finished_file(s.list, *folder, url->url)) {
                std::printf("%s is already complete: %s (--copy downloads it again)\n",
                            url->url.c_str(), done->c_str());
                ++already_complete;
                continue;
            }
        }
        if (item == nullptr)
            item = add_item(s, *url, *folder);
        if (item == nullptr) {
            all_added = false;
            continue;
        }
        if (std::find(waiting.begin(), waiting.end(), item) == waiting.end())
            waiting.push_back(std::move(item));
    }
    const std::size_t wanted = waiting.size();

    AnsweringHost host(s.host);
    ControllerLoop loop(s, host);
    Controller& controller = loop.controller();
    const std::size_t limit =
        static_cast<std::size_t>(std::max(1, s.settings.snapshot().ConcurrentDownloads));
    const auto start_more = [&] {
        while (!waiting.empty() && controller.running_workers() < limit) {
            controller.start_download(*waiting.front(), false);
            waiting.pop_front();
        }
    };
    const auto work_left = [&] { return !waiting.empty() || controller.running_workers() > 0; };
    if (loop.run(work_left, start_more) == LoopEnd::kInterrupted)
        return kExitInterrupted;
    const RunTally& tally = loop.tally();
    return all_added && wanted + already_complete > 0 && tally.failed.empty() &&
                   static_cast<std::size_t>(tally.completed) == wanted
               ? kExitOk
               : kExitFailure;
}

int run_info(const std::string& data_dir, const std::string& raw_url) {
    const auto url = checked_url(raw_url);
    if (!url)
        return kExitFailure;
    if (protocol_for_url(url->url) != Protocol::Http) {
        std::fprintf(stderr, "rlg: info probes HTTP and HTTPS URLs only\n");
        return kExitFailure;
    }
    IniStore ini(settings_path(data_dir));
    SitePasswordList passwords(ini);
    passwords.load();
    HttpSession http(http_session_options(load_settings(ini), cookie_file_path(data_dir)));

    DownloadItem probe_item;
    probe_item.lock()->set_url(url->url);
    if (url->credentials)
        set_item_credentials(probe_item, *url->credentials);
    else
        apply_site_password(probe_item, passwords);
    Connection& conn = probe_item.connection;
    conn.session = &http;
    conn.resumable = 1;
    const auto credentials = item_credentials(probe_item);
    bool named = false;
    const int ok = probe_http(conn, url->url, credentials ? &*credentials : nullptr, &named);
    if (ok != 1 && conn.status_code == 0) {
        std::fprintf(stderr, "rlg: %s\n", conn.response_text().c_str());
        return kExitFailure;
    }
    std::printf("URL:          %s\n", url->url.c_str());
    std::printf("Status:       %d %s\n", conn.status_code, conn.reason_text().c_str());
    if (conn.content_length > 0) {
        std::printf("Size:         %lld bytes (%s)\n", static_cast<long long>(conn.content_length),
                    format_size(conn.content_length).c_str());
    } else {
        std::printf("Size:         unknown\n");
    }
    std::printf("Ranges:       %s\n",
                conn.resumable == 1 ? "supported (resumable)" : "not supported");
    std::printf("Server name:  %s\n", named ? conn.server_file_name().c_str() : "(none)");
    return ok == 1 ? kExitOk : kExitFailure;
}

}  // namespace rg
