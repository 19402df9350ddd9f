#include "engine/transfer_worker.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

#include "engine/answer_check.h"
#include "engine/credentials.h"
#include "engine/file_size_check.h"
#include "engine/redirect_rules.h"
#include "engine/safe_name.h"
#include "engine/status_texts.h"
#include "engine/transfer_run.h"
#include "platform/ascii_text.h"
#include "platform/data_dir.h"
#include "platform/file_moves.h"
#include "protocols/http_status.h"
#include "protocols/stage_codes.h"
#include "protocols/transfer_ops.h"

namespace rg {

namespace {

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

}  // namespace

std::optional<SpanPlan> plan_first_missing_span(const RangeList& ranges, std::int64_t total_size) {
    if (ranges.empty())
        return SpanPlan{0, total_size};
    if (ranges.covers_whole(total_size))
        return std::nullopt;
    const ByteRange& first = ranges[0];
    if (first.start > 0)
        return SpanPlan{0, first.start};
    const std::int64_t start = first.end();
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
    item.release_file();
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
        move_item_url(item, new_url);
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
    }
    item.release_file();

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

namespace {

// A span that ended for good: its text is the status (a Montage read shows it too).
SpanOutcome span_ended(DownloadItem& item, SpanKind kind, std::string_view text,
                       std::int64_t received = 0) {
    if (!stopped(item))
        item.set_status(text);
    return span_outcome(kind, received, text);
}

SpanOutcome open_failed(DownloadItem& item, const Connection& conn) {
    if (stopped(item))
        return span_outcome(SpanKind::Stopped);
    const std::string text = conn.response_text();
    item.set_status(text);
    if (is_passing_connection_failure(conn.error_code))
        return span_outcome(SpanKind::Unreachable, 0, text);
    if (is_passing_server_error(conn.status_code))
        return span_outcome(SpanKind::ServerError, 0, text, conn.retry_after_ms);
    if (conn.status_code == kHttpUnauthorized)
        return span_outcome(SpanKind::Unauthorized, 0, text);
    return span_outcome(SpanKind::Refused, 0, text);
}

// The user's answer to a server that no longer serves ranges: start over on this answer. The
// Montage never asks: it takes the bytes it needs without changing the item.
bool agree_to_start_over(DownloadItem& item, TransferEnv& env) {
    if (montage_held(item))
        return false;
    return env.host != nullptr &&
           env.host->message_box(kStartOverQuestion, kStartOverCaption, MessageButtons::YesNo,
                                 MessageIcon::Warning) == MessageAnswer::Yes;
}

}  // namespace

SpanOutcome fetch_span(DownloadItem& item, std::int64_t start, std::int64_t length,
                       TransferEnv& env) {
    if (montage_held(item) && item.range_hook)
        item.range_hook(start, length);

    Connection& conn = item.connection;
    bool named = false;
    for (;;) {
        const std::optional<Credentials> credentials = item_credentials(item);
        // Only a validator an HTTP server can check goes out: a kept FTP time would never match.
        {
            auto data = item.lock();
            conn.if_range = start > 0 && is_if_range_validator(data->validator) ? data->validator
                                                                                : std::string();
        }
        if (open_span(conn, item.url(), start, length, credentials ? &*credentials : nullptr,
                      &named) == 1) {
            break;
        }
        if (!credentials && conn.status_code == kHttpUnauthorized && !stopped(item)) {
            if (env.passwords != nullptr && apply_site_password(item, *env.passwords))
                continue;
            if (env.link != nullptr && env.link->ask_credentials(item))
                continue;
        }
        return open_failed(item, conn);
    }

    // A stop that came while the request was being opened.
    if (stopped(item))
        return span_outcome(SpanKind::Stopped);

    SpanRequest request;
    request.start = start;
    request.length = length;
    request.sent_if_range = !conn.if_range.empty();
    std::string kept_validator;
    {
        auto data = item.lock();
        request.known_total = data->saved.total_size;
        request.holds_bytes = !data->ranges.empty();
        request.resumable = data->saved.resumable != 0;
        request.address_changed = data->address_changed;
        if (request.holds_bytes)
            kept_validator = data->validator;
    }
    request.validator = kept_validator;
    BodyPlan plan = plan_body(request, answer_facts(conn));
    bool start_over = false;
    switch (plan.verdict) {
        case BodyPlan::Verdict::Write:
            break;
        case BodyPlan::Verdict::WrongRange:
            return span_ended(item, SpanKind::WrongRange, kWrongRangeText);
        case BodyPlan::Verdict::FileChanged:
            return span_ended(item, SpanKind::FileChanged, kFileChangedText);
        case BodyPlan::Verdict::StartOver: {
            if (!agree_to_start_over(item, env)) {
                if (!montage_held(item))
                    return span_ended(item, SpanKind::NotResumable, kNoResumeText);
                plan = plan_body({start, length, request.known_total, false, true, {}, false},
                                 answer_facts(conn));
                break;
            }
            start_over = true;
            plan = plan_body({0, 0, 0, false, false, {}, false}, answer_facts(conn));
            break;
        }
    }
    if (plan.verdict != BodyPlan::Verdict::Write)
        return span_ended(item, SpanKind::WrongRange, kWrongRangeText);

    {
        auto data = item.lock();
        if (start_over) {
            data->clear_ranges();
            data->saved.total_size = 0;
            if (data->file)
                data->file->truncate(0);
        }
        // A report that ranges are not served never drops ranges the item keeps; only the user
        // does that, by starting over.
        if (const auto reported = conn.take_resumable()) {
            if (*reported != 0 || data->ranges.empty())
                data->saved.resumable = *reported;
        }
        // The first answer that agrees with what is kept names the version from now on; after a
        // change of address that is the new address's answer.
        if (data->ranges.empty() || data->validator.empty() || data->address_changed)
            data->validator = is_strong_validator(conn.validator) ? conn.validator : std::string();
        data->address_changed = false;
        // The size an answer names is the file's while nothing kept says otherwise.
        if (plan.total > 0 && (data->saved.total_size == 0 || data->ranges.empty()))
            data->saved.total_size = plan.total;
    }
    if (named)
        apply_server_name(item, conn.server_file_name(), env);
    if (const auto refusal = oversize_refusal(item.local_path(), item.total_size()))
        return span_ended(item, SpanKind::WriteFailed, *refusal);

    {
        auto data = item.lock();
        data->speed_mark_bytes = data->saved.downloaded;
        data->speed_mark_tick = env.now();
    }
    // The wait for the first byte counts against the receive time-out too.
    item.last_receive_tick = env.now();
    item.receiving = true;
    std::int64_t received = 0;
    std::int64_t position = plan.position;
    std::int64_t skip = plan.skip;
    bool span_full = false;
    std::vector<char> block(kTransferBlockSize);
    while (!span_full) {
        std::int32_t n = read_data(conn, block.data(), kTransferBlockSize);
        if (n <= 0)
            break;
        item.last_receive_tick = env.now();
        if (stopped(item))
            return span_outcome(SpanKind::Stopped, received);
        const char* bytes = block.data();
        if (skip > 0) {
            const auto dropped = static_cast<std::int32_t>(std::min<std::int64_t>(skip, n));
            skip -= dropped;
            bytes += dropped;
            n -= dropped;
            if (n == 0)
                continue;
        }
        // Never past the span asked for: bytes beyond it may already be on disk.
        if (plan.end >= 0 && position + n > plan.end) {
            n = static_cast<std::int32_t>(plan.end - position);
            span_full = true;
        }
        const std::int64_t total = item.total_size();
        if (total > 0 && position + n > total) {
            item.receiving = false;
            return span_ended(item, SpanKind::TooMuchData, kTooMuchDataText, received);
        }
        std::int64_t fresh = 0;
        int write_error = 0;
        if (!item.store_chunk(position, n, bytes, &fresh, &write_error)) {
            item.receiving = false;
            if (stopped(item))
                return span_outcome(SpanKind::Stopped,
                                    received);  // the file was closed under us by a stop
            return span_ended(item, SpanKind::WriteFailed, write_failure_text(write_error),
                              received);
        }
        item.add_downloaded(fresh);
        received += n;
        position += n;
        if (montage_held(item) && item.progress_hook)
            item.progress_hook(received, length, n);
        if (stopped(item))
            return span_outcome(SpanKind::Stopped, received);
    }
    item.receiving = false;
    if (span_full)
        close_connection(conn);  // the rest of the body is not wanted

    if (stopped(item))
        return span_outcome(SpanKind::Stopped, received);
    if (conn.read_failed && !span_full) {
        if (conn.error_code == kErrorTimeout)
            return span_ended(item, SpanKind::ReceiveTimeout, kReceiveTimeOutText, received);
        if (received > 0)
            return span_outcome(SpanKind::Cut, received, kBodyCutText);
    }
    if (received == 0)
        return span_outcome(SpanKind::NoBytes);
    // A whole answer read to its clean end is the whole file, also when its size is unknown; a
    // piece never tells where the file ends.
    const bool whole_body = !plan.partial && plan.end < 0 && !conn.read_failed;
    if (item.is_complete() || (whole_body && item.total_size() <= 0))
        item.completed = true;
    return span_outcome(SpanKind::Received, received);
}

std::int64_t span_fetch(DownloadItem& item, std::int64_t start, std::int64_t length,
                        TransferEnv& env) {
    return fetch_span(item, start, length, env).received;
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
    const Settings settings = env.settings->snapshot();
    conn.session = env.session;
    conn.use_cookies = settings.UseCookies;
    conn.status_callback = &status_callback;
    item.retry_count = 0;

    if (env.link != nullptr)
        env.link->post(MessageId::Refresh, nullptr);
    if (item.state.load() != ItemState::Stopped)
        item.state = ItemState::Running;

    TransferRun run({settings.RetryCount, settings.RetryDelay});
    while (run.phase() != TransferRun::Phase::Done) {
        if (item.completed.load() || item.state.load() != ItemState::Running)
            break;
        std::optional<SpanPlan> plan;
        {
            auto data = item.lock();
            plan = plan_first_missing_span(data->ranges, data->saved.total_size);
        }
        if (!plan) {
            item.completed = true;
            break;
        }
        const SpanOutcome outcome = fetch_span(item, plan->start, plan->length, env);
        item.receiving = false;
        item.lock()->speed_mark_tick = 0;
        const bool complete = item.completed.load() || item.is_complete();
        const bool resumable = item.lock()->saved.resumable != 0;
        const TransferRun::Step step = run.after_span(outcome, complete, resumable);
        if (step != TransferRun::Step::WaitAndRetry)
            item.retry_count = run.failed_attempts();
        switch (step) {
            case TransferRun::Step::FetchNext:
                break;
            case TransferRun::Step::WaitAndRetry:
                item.set_status(format_text(kRetryWaitFormat, run.retry_wait() / kMsPerSecond,
                                            static_cast<unsigned>(run.failed_attempts())));
                item.wait_while_running(run.retry_wait());
                item.retry_count = run.failed_attempts();
                run.retry_waited();
                break;
            case TransferRun::Step::Complete:
                item.completed = true;
                break;
            case TransferRun::Step::GiveUp:
                item.set_status(kPassedRetryCountText);
                stop_item(item, env);
                break;
            case TransferRun::Step::Stop:
                // What a download without ranges lacks cannot be fetched on its own.
                item.set_status(outcome.text.empty() ? kBodyCutText : outcome.text);
                stop_item(item, env);
                break;
            case TransferRun::Step::Stopped:
                break;
        }
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
        item.release_file();
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
            c.length = file_size - c.start;
            changed = true;
        }
        kept.push_back(c);
    }
    if (!changed)
        return;
    data.ranges.assign(std::move(kept));
    data.saved.range_count = static_cast<std::int32_t>(data.ranges.count());
    data.saved.downloaded = data.ranges.covered_bytes();
}

}  // namespace rg
