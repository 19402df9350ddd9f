#include "cli/get_command.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <set>

#include "cli/terminal_host.h"
#include "engine/controller.h"
#include "engine/credentials.h"
#include "engine/list_file.h"
#include "intake/file_naming.h"
#include "platform/ascii_text.h"
#include "platform/data_dir.h"
#include "platform/local_file.h"
#include "protocols/http_session.h"
#include "protocols/transfer_ops.h"
#include "protocols/url_split.h"
#include "settings/settings.h"

namespace rg {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitInterrupted = 130;
constexpr auto kLoopWait = std::chrono::milliseconds(100);
constexpr Tick kProgressPeriodMs = 1000;
constexpr std::string_view kCookieFileName = "cookies.txt";
// Bytes per millisecond to kilobytes per second.
constexpr float kMsToKbPerS = 1000.0f / 1024.0f;

std::atomic<bool> g_interrupted{false};

void on_signal(int) {
    g_interrupted = true;
}

// The application parts one command works with, set up as the program does at start.
struct Session {
    explicit Session(const std::string& data_dir)
        : list_file(data_dir, host), ini(settings_path(data_dir)), passwords(ini) {}

    TerminalHost host;
    ListFile list_file;
    IniStore ini;
    SettingsStore settings;
    SitePasswordList passwords;
    HttpSession http{HttpSessionOptions{}};
    DownloadList list;
};

bool open_session(const std::string& data_dir, Session& s) {
    if (!open_list_file(data_dir, s.list_file))
        return false;
    s.settings.replace(load_settings(s.ini));
    s.passwords.load();
    s.http.set_options(
        http_session_options(s.settings.snapshot(), data_dir + "/" + std::string(kCookieFileName)));
    s.list_file.load(s.list);
    return true;
}

// Checks a URL as the intake does: HTTP, HTTPS or FTP with a host; an empty path becomes "/".
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

DownloadItem* find_by_url(const DownloadList& list, std::string_view url) {
    for (const auto& item : list) {
        if (equal_ignoring_case(item->url(), url))
            return item.get();
    }
    return nullptr;
}

DownloadItem* add_item(Session& s, const std::string& url, const std::string& out_dir) {
    const auto path = free_local_path(out_dir, proposed_file_name(url));
    if (!path || path->size() >= SavedBlock::kPathSize) {
        std::fprintf(stderr, "rlg: %s: no free file name in %s\n", url.c_str(), out_dir.c_str());
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
    return &item;
}

std::string speed_text(float kb_per_s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f KB/s", static_cast<double>(kb_per_s));
    return text;
}

// What one run of the tool has seen of a download, for the average speed of its last line.
struct RunMark {
    Tick start = 0;
    std::int32_t bytes_at_start = 0;
};

// On a terminal the lines are redrawn every second; elsewhere (a log, a pipe) a line is written
// only when its progress or status changed. The last line of a download gives its average speed.
void print_progress(Session& s, const std::vector<DownloadItem*>& active, bool final_line,
                    const std::map<const DownloadItem*, RunMark>& marks) {
    static std::map<const DownloadItem*, std::string> last_lines;
    std::lock_guard guard(s.host.output_mutex());
    const bool tty = ::isatty(STDOUT_FILENO) != 0;
    for (DownloadItem* item : active) {
        const Tick now = tick_count();
        item->update_speed(now);
        float speed = item->speed.load();
        if (final_line) {
            const auto mark = marks.find(item);
            if (mark != marks.end() && now != mark->second.start) {
                const auto bytes =
                    static_cast<float>(item->downloaded() - mark->second.bytes_at_start);
                speed = bytes / static_cast<float>(now - mark->second.start) * kMsToKbPerS;
            }
        } else if (!tty) {
            std::string line = format_progress(*item) + item->status_text();
            if (last_lines[item] == line)
                continue;
            last_lines[item] = std::move(line);
        }
        const std::string status = final_line ? "Done" : item->status_text();
        std::printf("%s%-28.28s %-28s %12s  %s%s", tty && !final_line ? "\r" : "",
                    item->file_name().c_str(), format_progress(*item).c_str(),
                    speed_text(speed).c_str(), status.c_str(),
                    tty && !final_line && active.size() == 1 ? "\x1b[K" : "\n");
    }
    std::fflush(stdout);
}

}  // namespace

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

int run_get(const std::string& data_dir, const std::vector<std::string>& urls,
            const std::string& out_dir) {
    if (urls.empty()) {
        std::fprintf(stderr, "rlg: get needs at least one URL\n");
        return 2;
    }
    int error = 0;
    if (!make_folders(out_dir, 0755, &error)) {
        std::fprintf(stderr, "rlg: %s: %s\n", out_dir.c_str(), std::strerror(error));
        return kExitFailure;
    }
    char* absolute = ::realpath(out_dir.c_str(), nullptr);
    if (absolute == nullptr) {
        std::fprintf(stderr, "rlg: %s: %s\n", out_dir.c_str(), std::strerror(errno));
        return kExitFailure;
    }
    const std::string folder(absolute);
    std::free(absolute);
    Session s(data_dir);
    if (!open_session(data_dir, s))
        return kExitFailure;

    std::deque<DownloadItem*> waiting;
    bool all_added = true;
    for (const std::string& raw : urls) {
        const auto url = checked_url(raw);
        if (!url) {
            all_added = false;
            continue;
        }
        DownloadItem* item = find_by_url(s.list, *url);
        if (item == nullptr)
            item = add_item(s, *url, folder);
        if (item == nullptr) {
            all_added = false;
            continue;
        }
        if (std::find(waiting.begin(), waiting.end(), item) == waiting.end()) {
            waiting.push_back(item);
        }
    }

    Controller controller({&s.list, &s.list_file, &s.settings, &s.passwords, &s.http, &s.host});
    std::set<const DownloadItem*> succeeded;
    std::set<const DownloadItem*> finished;
    std::vector<DownloadItem*> active;
    std::map<const DownloadItem*, RunMark> marks;
    controller.on_completed = [&](const DownloadItem& item) {
        succeeded.insert(&item);
        if (::isatty(STDOUT_FILENO))
            std::printf("\r\x1b[K");
        print_progress(s, {const_cast<DownloadItem*>(&item)}, true, marks);
    };
    controller.on_worker_exited = [&](const DownloadItem& item) {
        finished.insert(&item);
        active.erase(std::remove(active.begin(), active.end(), &item), active.end());
        if (!succeeded.count(&item)) {
            std::lock_guard guard(s.host.output_mutex());
            std::printf("%s%-28.28s failed: %s\n", ::isatty(STDOUT_FILENO) ? "\r\x1b[K" : "",
                        item.file_name().c_str(), item.status_text().c_str());
        }
    };

    struct sigaction action {};
    action.sa_handler = on_signal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    const std::size_t limit =
        static_cast<std::size_t>(std::max(1, s.settings.snapshot().ConcurrentDownloads));
    Tick next_progress = tick_count();
    controller.run_due_timers(tick_count());
    while (!g_interrupted.load() && (!waiting.empty() || controller.running_workers() > 0)) {
        while (!waiting.empty() && active.size() < limit) {
            DownloadItem* item = waiting.front();
            waiting.pop_front();
            active.push_back(item);
            marks[item] = {tick_count(), item->downloaded()};
            controller.start_download(*item, false);
        }
        controller.process_messages(kLoopWait);
        const Tick now = tick_count();
        controller.run_due_timers(now);
        if (static_cast<std::int32_t>(now - next_progress) >= 0 && !active.empty()) {
            print_progress(s, active, false, marks);
            next_progress = now + kProgressPeriodMs;
        }
    }
    const bool interrupted = g_interrupted.load();
    controller.stop_all();
    controller.save_list();
    if (::isatty(STDOUT_FILENO))
        std::printf("\n");
    if (interrupted)
        return kExitInterrupted;
    return all_added && succeeded.size() == finished.size() && !finished.empty() ? kExitOk
                                                                                 : kExitFailure;
}

int run_info(const std::string& data_dir, const std::string& raw_url) {
    const auto url = checked_url(raw_url);
    if (!url)
        return kExitFailure;
    if (protocol_for_url(*url) != Protocol::Http) {
        std::fprintf(stderr, "rlg: info probes HTTP and HTTPS URLs only\n");
        return kExitFailure;
    }
    IniStore ini(settings_path(data_dir));
    SitePasswordList passwords(ini);
    passwords.load();
    HttpSession http(
        http_session_options(load_settings(ini), data_dir + "/" + std::string(kCookieFileName)));

    DownloadItem probe_item;
    probe_item.lock()->set_url(*url);
    apply_site_password(probe_item, passwords);
    Connection& conn = probe_item.connection;
    conn.session = &http;
    conn.resumable = 1;
    Credentials credentials;
    {
        auto data = probe_item.lock();
        credentials = {std::string(field_text(data->saved.user_name)),
                       std::string(field_text(data->saved.password))};
    }
    const bool with_credentials = !credentials.user_name.empty() || !credentials.password.empty();
    bool named = false;
    const int ok = probe_http(conn, *url, with_credentials ? &credentials : nullptr, &named);
    if (ok != 1 && conn.status_code == 0) {
        std::fprintf(stderr, "rlg: %s\n", conn.response_text().c_str());
        return kExitFailure;
    }
    std::printf("URL:          %s\n", url->c_str());
    std::printf("Status:       %d %s\n", conn.status_code, conn.reason_text().c_str());
    if (conn.content_length > 0) {
        std::printf("Size:         %d bytes (%s)\n", conn.content_length,
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
