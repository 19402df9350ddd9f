#include "engine/transfer_worker.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

#include "engine/credentials.h"
#include "engine/safe_name.h"
#include "engine/status_texts.h"
#include "platform/ascii_text.h"
#include "platform/data_dir.h"
#include "platform/file_moves.h"
#include "protocols/stage_codes.h"
#include "protocols/transfer_ops.h"

namespace rg {

namespace {

constexpr std::int32_t kHttpPartialContent = 206;
constexpr std::int32_t kHttpUnauthorized = 401;
constexpr std::uint32_t kMsPerSecond = 1000;

bool montage_held(const DownloadItem& item) {
    return item.state.load() == ItemState::MontageHeld;
}

bool stopped(const DownloadItem& item) {
    return item.state.load() == ItemState::Stopped;
}

std::string format_text(std::string_view format, unsigned a, unsigned b) {
    char text[128];
    std::snprintf(text, sizeof text, std::string(format).c_str(), a, b);
    return text;
}

// Ends a span that cannot go on: the text is shown, the run stops (a Montage read just fails).
std::int32_t abandon_span(DownloadItem& item, std::string_view text, std::int32_t received,
                          TransferEnv& env) {
    item.set_status(text);
    if (!montage_held(item))
        stop_item(item, env);
    item.receiving = false;
    return received;
}

}  // namespace

std::optional<SpanPlan> plan_first_missing_span(const RangeList& ranges, std::int32_t total_size) {
    if (ranges.empty())
        return SpanPlan{0, total_size};
    if (ranges.covers_whole(total_size))
        return std::nullopt;
    const ByteRange& first = ranges[0];
    if (first.start > 0)
        return SpanPlan{0, first.start};
    const auto start = static_cast<std::int32_t>(first.end());
    if (ranges.count() > 1)
        return SpanPlan{start, ranges[1].start - start};
    if (total_size > 0 && start >= total_size)
        return std::nullopt;
    return SpanPlan{start, 0};
}

void stop_item(DownloadItem& item, TransferEnv& env) {
    item.retry_count = 0;
    item.receiving = false;
    if (item.auto_started.load())
        item.auto_stopped = true;
    item.state = ItemState::Stopped;
    item.lock()->file.reset();
    interrupt_connection(item.connection);
    item.notify_stop();
    if (env.link != nullptr)
        env.link->post(MessageId::Refresh, nullptr);
    item.update_speed(env.now());
}

void status_callback(const void* /*handle*/, DownloadItem* item, std::uint32_t code,
                     const void* information, std::size_t information_length) {
    if (item == nullptr)
        return;
    // A stopped run is only winding down: its closing stages must not hide why it stopped.
    if (stopped(*item))
        return;
    const std::string_view text = stage_text(code);
    if (!text.empty())
        item->set_status(text);
    if (code == kStageRedirect && information != nullptr && item->env != nullptr) {
        follow_redirect(*item,
                        std::string_view(static_cast<const char*>(information), information_length),
                        *item->env);
    }
}

void follow_redirect(DownloadItem& item, std::string_view new_url, TransferEnv& env) {
    // The name is the last segment of the path: query and fragment go first, so a '/' inside them
    // does not count.
    std::string_view path = new_url.substr(0, new_url.find_first_of("?#"));
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return;
    const std::string_view name = path.substr(slash + 1);
    if (name.empty())
        return;
    if (new_url.size() < SavedBlock::kUrlSize)
        item.lock()->set_url(new_url);
    apply_server_name(item, name, env);
}

void apply_server_name(DownloadItem& item, std::string_view name, TransferEnv& env) {
    if (montage_held(item)) {
        auto data = item.lock();
        data->pending_name = std::string(name.substr(0, kFileNameLimit));
        data->pending_rename = true;
        return;
    }
    const auto safe = safe_file_name(name);
    std::string old_path;
    std::string new_path;
    {
        auto data = item.lock();
        if (!safe || equal_ignoring_case(*safe, data->file_name))
            return;
        old_path = std::string(data->local_path());
        new_path = folder_of(old_path);
        if (!new_path.empty() && new_path.back() != '/')
            new_path += '/';
        new_path += *safe;
        if (new_path.size() >= SavedBlock::kPathSize)
            return;
        data->file.reset();
    }

    if (rename_no_replace(old_path, new_path) == 0) {
        item.lock()->set_local_path(new_path);
    } else if (env.host != nullptr &&
               env.host->message_box(kRedirectRenameQuestion, kRedirectErrorCaption,
                                     MessageButtons::YesNo,
                                     MessageIcon::Question) == MessageAnswer::Yes) {
        const auto chosen = env.host->choose_save_file(
            new_path, {std::string(kAllFilesFilterText), std::string(kAllFilesPattern)});
        if (chosen && chosen->size() < SavedBlock::kPathSize) {
            if (move_file_replace(old_path, *chosen) == 0) {
                item.lock()->set_local_path(*chosen);
            } else {
                env.host->message_box(kRenameLaterText, kErrorCaption, MessageButtons::Ok,
                                      MessageIcon::Information);
            }
        }
    }

    const std::string path = item.local_path();
    auto file = LocalFile::open(path, LocalFile::Mode::ReadWrite);
    if (!file) {
        if (env.host != nullptr) {
            env.host->message_box(kReopenFailedText, kErrorCaption, MessageButtons::Ok,
                                  MessageIcon::Error);
        }
        stop_item(item, env);
        return;
    }
    item.lock()->file = std::move(file);
}

RenameResult change_local_filename(DownloadItem& item, Host& host) {
    const ItemState state = item.state.load();
    if (state != ItemState::Stopped && state != ItemState::InfoHeld) {
        host.message_box(kMustPauseToRenameText, kErrorCaption, MessageButtons::Ok,
                         MessageIcon::Error);
        return RenameResult::NotPaused;
    }
    const auto chosen = host.choose_save_file(
        item.file_name(), {std::string(kAllFilesFilterText), std::string(kAllFilesPattern)});
    if (!chosen)
        return RenameResult::Cancelled;
    if (chosen->size() >= SavedBlock::kPathSize ||
        move_file_replace(item.local_path(), *chosen) != 0) {
        host.message_box(kCannotRenameText, kErrorCaption, MessageButtons::Ok, MessageIcon::Error);
        return RenameResult::Failed;
    }
    item.lock()->set_local_path(*chosen);
    return RenameResult::Renamed;
}

std::int32_t span_fetch(DownloadItem& item, std::int32_t start, std::int32_t length,
                        TransferEnv& env) {
    if (montage_held(item) && item.range_hook)
        item.range_hook(start, length);

    Connection& conn = item.connection;
    const Settings settings = env.settings->snapshot();
    bool named = false;
    for (;;) {
        const std::optional<Credentials> credentials = item_credentials(item);
        conn.if_range = start > 0 ? item.lock()->validator : std::string();
        if (open_span(conn, item.url(), start, length, credentials ? &*credentials : nullptr,
                      &named) == 1) {
            break;
        }
        item.set_status(conn.response_text());
        if (is_passing_connection_failure(conn.error_code) && !montage_held(item)) {
            const std::uint32_t delay =
                static_cast<std::uint32_t>(std::max(0, settings.RetryDelay));
            item.set_status(format_text(kRetryWaitFormat, delay / kMsPerSecond,
                                        static_cast<unsigned>(item.retry_count.load() + 1)));
            item.wait_while_running(delay);
            item.retry_count.fetch_add(1);
            return 0;
        }
        if (!credentials && conn.status_code == kHttpUnauthorized) {
            if (env.passwords != nullptr && apply_site_password(item, *env.passwords))
                continue;
            if (env.link != nullptr && env.link->ask_credentials(item))
                continue;
        }
        if (!montage_held(item))
            item.state = ItemState::Stopped;
        return 0;
    }

    // A stop that came while the request was being opened.
    if (stopped(item))
        return 0;

    // Where the body belongs. A 206 must name the range that was asked for; anything else would
    // put other bytes at this offset. An HTTP 200 is the whole file from byte 0, and an FTP
    // transfer starts where the server agreed to (0 when it refused to resume): the bytes before
    // the requested start are skipped rather than written at the wrong place.
    const bool partial = conn.status_code == kHttpPartialContent;
    const bool ftp = conn.protocol == Protocol::Ftp;
    std::int32_t position = start;
    std::int64_t skip = 0;
    const std::int32_t known_total = item.total_size();
    if (partial && !ftp) {
        const std::int64_t asked_end =
            length > 0 ? static_cast<std::int64_t>(start) + length - 1 : -1;
        const bool wrong =
            conn.range_start != start || (asked_end >= 0 && conn.range_end > asked_end) ||
            conn.range_end < conn.range_start ||
            (known_total > 0 && conn.range_total > 0 && conn.range_total != known_total);
        if (wrong)
            return abandon_span(item, kWrongRangeText, 0, env);
    } else {
        const std::int64_t data_offset = ftp && conn.range_start > 0 ? conn.range_start : 0;
        if (data_offset > start)
            return abandon_span(item, kWrongRangeText, 0, env);
        if (data_offset < start && !ftp && !conn.if_range.empty())
            return abandon_span(item, kFileChangedText, 0, env);
        skip = start - data_offset;
    }
    if (const auto reported = conn.take_resumable())
        item.lock()->saved.resumable = *reported;
    {
        auto data = item.lock();
        if (data->validator.empty())
            data->validator = conn.validator;
        if (data->saved.total_size == 0) {
            // A partial answer's length is the span's, not the file's.
            if (partial && !ftp)
                data->saved.total_size = conn.range_total > 0 ? conn.range_total : 0;
            else
                data->saved.total_size = conn.content_length;
        }
    }
    if (named)
        apply_server_name(item, conn.server_file_name(), env);

    {
        auto data = item.lock();
        data->speed_mark_bytes = data->saved.downloaded;
        data->speed_mark_tick = env.now();
    }
    item.receiving = true;
    std::int32_t received = 0;
    std::vector<char> block(kTransferBlockSize);
    for (;;) {
        std::int32_t n = read_data(conn, block.data(), kTransferBlockSize);
        if (n <= 0)
            break;
        item.last_receive_tick = env.now();
        if (stopped(item))
            return received;
        const char* bytes = block.data();
        if (skip > 0) {
            const auto dropped = static_cast<std::int32_t>(std::min<std::int64_t>(skip, n));
            skip -= dropped;
            bytes += dropped;
            n -= dropped;
            if (n == 0)
                continue;
        }
        const std::int32_t total = item.total_size();
        if (total > 0 && static_cast<std::int64_t>(position) + n > total) {
            return abandon_span(item, kTooMuchDataText, received, env);
        }
        if (!item.store_chunk(position, n, bytes)) {
            if (stopped(item))
                return received;  // the file was closed under us by a stop
            return abandon_span(item, kWriteFailedText, received, env);
        }
        item.add_downloaded(n);
        received += n;
        position += n;
        if (montage_held(item) && item.progress_hook)
            item.progress_hook(received, length, n);
        if (stopped(item))
            return received;
    }

    if (received > 0 && !stopped(item) && !conn.read_failed) {
        const auto counts = item.counts();
        if (counts.total_size <= 0 || item.is_complete())
            item.completed = true;
    }
    item.receiving = false;
    return received;
}

void download_step(DownloadItem& item, TransferEnv& env) {
    if (item.completed.load() || stopped(item))
        return;
    std::optional<SpanPlan> plan;
    {
        auto data = item.lock();
        plan = plan_first_missing_span(data->ranges, data->saved.total_size);
    }
    if (!plan) {
        item.completed = true;
        return;
    }
    const std::int32_t received = span_fetch(item, plan->start, plan->length, env);
    item.receiving = false;
    if (item.lock()->saved.resumable == 0) {
        if (item.is_complete())
            item.completed = true;
        stop_item(item, env);
    } else if (received > 0) {
        item.retry_count = 0;
    }
    item.lock()->speed_mark_tick = 0;
}

int worker_main(DownloadItem& item, TransferEnv& env) {
    item.env = &env;
    item.state = ItemState::Running;
    reset_interrupt(item.connection);
    const std::string path = item.local_path();
    if (item.lock()->saved.resumable == 0) {
        item.lock()->clear_ranges();
        if (auto f = LocalFile::open(path, LocalFile::Mode::ReadWrite))
            f->truncate(0);
    }
    auto file = LocalFile::open(path, LocalFile::Mode::ReadWrite);
    if (!file) {
        item.set_status(kFileLockedText);
        item.state = ItemState::Stopped;
        return 1;
    }
    {
        auto data = item.lock();
        match_ranges_to_file(*data, file->size());
        data->file = std::move(file);
        data->saved.resume_count += 1;
    }
    Connection& conn = item.connection;
    conn.session = env.session;
    conn.use_cookies = env.settings->snapshot().UseCookies;
    conn.status_callback = &status_callback;
    item.retry_count = 0;

    if (env.link != nullptr)
        env.link->post(MessageId::Refresh, nullptr);
    if (item.state.load() != ItemState::Stopped)
        item.state = ItemState::Running;

    for (;;) {
        const std::int32_t retries = env.settings->snapshot().RetryCount;
        if (item.retry_count.load() >= retries) {
            item.retry_count = 0;
            item.set_status(kPassedRetryCountText);
            stop_item(item, env);
            break;
        }
        if (item.completed.load() || item.state.load() != ItemState::Running)
            break;
        download_step(item, env);
    }

    // The end of a run also lets go of the kept server connection: an idle download holds no
    // socket.
    if (stopped(item)) {
        stop_item(item, env);
        release_connection(conn);
        if (item.completed.load() && env.link != nullptr) {
            env.link->post(MessageId::RunEnded, &item);
        }
    } else {
        item.completed = true;
        item.lock()->file.reset();
        release_connection(conn);
        if (env.link != nullptr)
            env.link->post(MessageId::RunEnded, &item);
    }
    return 1;
}

void match_ranges_to_file(ItemData& data, std::int64_t file_size) {
    if (file_size < 0)
        return;
    if (file_size == 0) {
        data.clear_ranges();
        return;
    }
    std::vector<ByteRange> kept;
    bool changed = false;
    for (const ByteRange& r : data.ranges.items()) {
        if (r.start >= file_size) {
            changed = true;
            continue;
        }
        ByteRange c = r;
        if (c.end() > file_size) {
            c.length = static_cast<std::int32_t>(file_size - c.start);
            changed = true;
        }
        kept.push_back(c);
    }
    if (!changed)
        return;
    data.ranges.assign(std::move(kept));
    data.saved.range_count = static_cast<std::int32_t>(data.ranges.count());
    data.saved.downloaded = static_cast<std::int32_t>(data.ranges.covered_bytes());
}

}  // namespace rg
