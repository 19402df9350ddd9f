#include "montage/media_session.h"

#include <string>
#include <system_error>
#include <utility>

#include "engine/credentials.h"
#include "montage/auto_montage.h"
#include "montage/frame_entry.h"
#include "montage/frame_fetch.h"
#include "montage/media_info.h"
#include "montage/montage_format.h"
#include "montage/montage_texts.h"
#include "montage/progress_scale.h"
#include "platform/ascii_text.h"
#include "platform/local_file.h"
#include "protocols/http_status.h"
#include "protocols/transfer_ops.h"

namespace rg {

namespace {

constexpr std::string_view kAviSuffix = ".avi";
constexpr auto kWorkerWaitSlice = std::chrono::milliseconds(20);

bool has_avi_suffix(std::string_view name) {
    return name.size() >= kAviSuffix.size() &&
           equal_ignoring_case(name.substr(name.size() - kAviSuffix.size()), kAviSuffix);
}

struct OpenFailure {
    MontageFailure failure;
    std::string_view text;
};

OpenFailure open_failure(MediaOpenResult result) {
    switch (result) {
        case MediaOpenResult::NotAvi:
            return {MontageFailure::NotAvi, kNotAviText};
        case MediaOpenResult::UnknownFormat:
            return {MontageFailure::UnknownFormat, kUnknownFormatText};
        case MediaOpenResult::DamagedHeader:
            return {MontageFailure::DamagedHeader, kDamagedHeaderText};
        case MediaOpenResult::NoVideoStream:
            return {MontageFailure::NoVideoStream, kNoVideoStreamText};
        case MediaOpenResult::InfoUnreadable:
            return {MontageFailure::InfoUnreadable, kInfoUnreadableText};
        case MediaOpenResult::Ok:
        case MediaOpenResult::OpenFailed:
            break;
    }
    return {MontageFailure::ReadFailed, kOpenFailedText};
}

// Keeps the byte of a 1-byte partial answer at offset 0 in the item's file and ranges. Only an
// answer that names exactly that byte is read; a whole 200 is left unread.
std::int64_t keep_range_test_byte(DownloadItem& item) {
    Connection& conn = item.connection;
    if (conn.status_code != kHttpPartialContent || conn.range_start != 0 || conn.range_end != 0)
        return 0;
    char byte = 0;
    const std::int32_t got = read_data(conn, &byte, sizeof byte);
    if (got != static_cast<std::int32_t>(sizeof byte) || conn.read_failed)
        return 0;
    return item.store_chunk(0, got, &byte) ? got : 0;
}

// Moves range support reported by the last request into the item.
void take_range_support(DownloadItem& item) {
    if (const auto reported = item.connection.take_resumable())
        item.lock()->saved.resumable = *reported;
}

// A failed request leaves its reason in the connection; the row shows it.
void show_request_failure(DownloadItem& item) {
    item.set_status(item.connection.response_text());
}

}  // namespace

Settings MediaSession::current_settings() const {
    return env_.settings != nullptr ? env_.settings->snapshot() : Settings{};
}

SessionNetwork session_network(TransferEnv& env) {
    SessionNetwork network;
    network.probe = [](DownloadItem& item, bool& named) {
        const auto credentials = item_credentials(item);
        return probe_http(item.connection, item.url(), credentials ? &*credentials : nullptr,
                          &named);
    };
    network.test_random_access = [](DownloadItem& item) {
        const auto credentials = item_credentials(item);
        RangeTestAnswer answer;
        answer.accepted = open_span(item.connection, item.url(), 0, 1,
                                    credentials ? &*credentials : nullptr, nullptr) == 1;
        if (answer.accepted) {
            answer.stored = keep_range_test_byte(item);
            close_connection(item.connection);
        }
        return answer;
    };
    network.fetch_span = [&env](DownloadItem& item, std::int64_t start, std::int64_t length) {
        return span_fetch(item, start, length, env);
    };
    return network;
}

MediaSession::MediaSession(MontageView& view, TransferEnv& env, MediaBackend backend, Hooks hooks)
    : view_(view), env_(env), backend_(std::move(backend)), hooks_(std::move(hooks)), work_(view) {
    SessionNetwork defaults = session_network(env_);
    SessionNetwork& network = hooks_.network;
    if (!network.probe)
        network.probe = std::move(defaults.probe);
    if (!network.test_random_access)
        network.test_random_access = std::move(defaults.test_random_access);
    if (!network.fetch_span)
        network.fetch_span = std::move(defaults.fetch_span);
}

MediaSession::~MediaSession() {
    close();
    {
        std::unique_lock lock(mutex_);
        idle_signal_.wait(lock, [this] { return !busy_; });
    }
    if (worker_.joinable())
        worker_.join();
    close_now();
}

bool MediaSession::is_open() const {
    std::lock_guard guard(mutex_);
    return media_open_;
}

bool MediaSession::busy() const {
    std::lock_guard guard(mutex_);
    return busy_;
}

DownloadItem* MediaSession::current_item() const {
    std::lock_guard guard(mutex_);
    return media_open_ ? item_.get() : nullptr;
}

std::optional<MediaHeader> MediaSession::media_header() const {
    std::lock_guard guard(mutex_);
    if (!media_open_ || busy_ || media_ == nullptr)
        return std::nullopt;
    return media_->header();
}

bool MediaSession::wait_idle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idle_signal_.wait_for(lock, timeout, [this] { return !busy_; });
}

void MediaSession::open(const DownloadList::ItemPtr& caret_item, std::int32_t selected_count,
                        bool auto_montage) {
    set_open_outcome(MontageFailure::NotTaken, {});
    if (caret_item == nullptr || selected_count <= 0)
        return;
    DownloadItem& item = *caret_item;
    Host* host = env_.host;
    {
        std::unique_lock lock(mutex_);
        if (media_open_) {
            const bool same = item_.get() == &item;
            lock.unlock();
            if (same) {
                view_.show_montage_view();
                set_open_outcome(MontageFailure::None, {});
                return;
            }
            set_open_outcome(MontageFailure::NotTaken, kMontageOpenText);
            if (host != nullptr)
                host->message_box(kMontageOpenText, kMontageCaption, MessageButtons::Ok,
                                  MessageIcon::Warning);
            return;
        }
    }
    if (item.connection.protocol != Protocol::Http) {
        set_open_outcome(MontageFailure::NotTaken, kHttpOnlyText);
        if (host != nullptr)
            host->message_box(kHttpOnlyText, kInvalidProtocolCaption, MessageButtons::Ok,
                              MessageIcon::Error);
        return;
    }
    const bool avi = has_avi_suffix(item.file_name());
    if (!avi && !accept_other_format()) {
        set_open_outcome(MontageFailure::NotTaken, kInvalidMediaText);
        return;
    }

    const ItemState state = item.state.load();
    bool ran = false;
    if (state != ItemState::Stopped) {
        if (item.lock()->saved.resumable == 0) {
            set_open_outcome(MontageFailure::NotTaken, kNoResumeText);
            if (host != nullptr)
                host->message_box(kNoResumeText, kErrorCaption, MessageButtons::Ok,
                                  MessageIcon::Error);
            return;
        }
        if (state == ItemState::Running) {
            stop_item(item, env_);
            ran = true;
        } else if (state == ItemState::InfoHeld && hooks_.release_info_hold) {
            hooks_.release_info_hold(item);
        }
    }
    // Also a run that was stopped just before may still be winding down: its worker uses the
    // connection and the file that the Montage takes over.
    wait_for_worker_end(item);
    if (item.worker_active.load())
        return;
    // The run finished while it was being stopped: the download has left the list.
    if (ran && item.completed.load())
        return;
    item.restart_on_close = ran;

    const std::string path = item.local_path();
    item.release_file();
    auto file = LocalFile::open(path, LocalFile::Mode::ReadWrite);
    if (!file) {
        set_open_outcome(MontageFailure::NotTaken, kMediaFileLockedText);
        if (host != nullptr)
            host->message_box(kMediaFileLockedText, kErrorCaption, MessageButtons::Ok,
                              MessageIcon::Error);
        // The download that was stopped for the Montage goes on.
        if (item.restart_on_close.exchange(false))
            restart(item);
        return;
    }

    const Settings settings = current_settings();
    {
        std::lock_guard guard(mutex_);
        media_open_ = true;
        item_ = caret_item;
        open_outcome_ = {};
    }
    work_.clear_frame_failure();
    {
        auto data = item.lock();
        // Bytes the ranges claim but the file no longer has would be read as fetched.
        match_ranges_to_file(*data, file->size());
        data->file = std::move(file);
        data->saved.resume_count += 1;
    }
    item.connection.session = env_.session;
    item.connection.use_cookies = settings.UseCookies;
    item.connection.status_callback = &status_callback;
    item.env = &env_;
    item.state = ItemState::MontageHeld;
    item.montage_abort = false;
    auto_montage_ = auto_montage;
    any_format_ = !avi;
    work_.item = &item;

    view_.show_montage_view();
    if (host != nullptr)
        host->list_changed();

    install_hooks(item);
    work_.close_requested = false;
    work_.cancel_mode = false;
    work_.reset_amount();
    view_.set_close_enabled(true);
    if (!start_worker([this] { open_thread(); })) {
        if (host != nullptr)
            host->message_box(kThreadStartFailedText, kErrorCaption, MessageButtons::Ok,
                              MessageIcon::None);
        close();
    }
}

void MediaSession::wait_for_worker_end(DownloadItem& item) {
    if (!hooks_.serve_messages)
        return;
    while (item.worker_active.load())
        hooks_.serve_messages(kWorkerWaitSlice);
}

void MediaSession::install_hooks(DownloadItem& item) {
    item.range_hook = [this](std::int64_t start, std::int64_t length) {
        view_.set_range_line(format_byte_counts(kRangeLineFormat, {length, start, start + length}));
        view_.set_progress_range(0, ProgressScale(length).units(length));
    };
    item.progress_hook = [this](std::int64_t so_far, std::int64_t length, std::int32_t block) {
        view_.set_progress_position(ProgressScale(length).units(so_far));
        work_.add_amount(block);
    };
}

bool MediaSession::start_worker(std::function<void()> body) {
    {
        std::lock_guard guard(mutex_);
        busy_ = true;
    }
    // A previous worker has finished its work once busy_ was cleared; it only returns now.
    if (worker_.joinable())
        worker_.join();
    try {
        worker_ = std::thread(std::move(body));
        return true;
    } catch (const std::system_error&) {
        std::lock_guard guard(mutex_);
        busy_ = false;
        idle_signal_.notify_all();
        return false;
    }
}

void MediaSession::end_worker() {
    std::unique_lock lock(mutex_);
    if (work_.close_requested.load()) {
        lock.unlock();
        if (begin_close())
            close_now();
        lock.lock();
    }
    busy_ = false;
    idle_signal_.notify_all();
}

void MediaSession::open_thread() {
    try {
        view_.set_close_enabled(true);
        work_.show_cancel_button(false);
        work_.begin_operation();
        view_.set_status_line(kMediaInfoStatus);
        work_.reset_amount();

        if (open_media(*work_.item)) {
            if (auto_montage_)
                run_auto_montage(work_, current_settings().AutoFrameCount);
        } else {
            close();
        }

        work_.show_idle_button(true);
        if (!work_.close_requested.load())
            view_.set_close_enabled(true);
    } catch (...) {
        close();
    }
    end_worker();
}

bool MediaSession::learn_size(DownloadItem& item) {
    bool named = false;
    if (hooks_.network.probe(item, named) != 1) {
        show_request_failure(item);
        set_open_outcome(MontageFailure::RequestFailed, item.status_text());
        return false;
    }
    if (named)
        apply_server_name(item, item.connection.server_file_name(), env_);
    take_range_support(item);
    const Connection& conn = item.connection;
    const std::int64_t size = conn.range_total > 0 ? conn.range_total : conn.content_length;
    if (size <= 0 || size > kMaxFileSize)
        return fail_open(item, MontageFailure::NoSize, kNoSizeText);
    item.lock()->saved.total_size = size;

    if (!hooks_.network.test_random_access(item).accepted) {
        show_request_failure(item);
        set_open_outcome(MontageFailure::RequestFailed, item.status_text());
        return false;
    }
    take_range_support(item);
    if (item.lock()->saved.resumable == 0)
        return fail_open(item, MontageFailure::NoRandomAccess, kNoRandomAccessText);
    return true;
}

bool MediaSession::open_media(DownloadItem& item) {
    if (item.total_size() == 0 && !learn_size(item))
        return false;

    work_.set_prefix(kMediaInfoPrefix);
    const Settings settings = current_settings();
    ReaderSettings reader_settings;
    reader_settings.min_seg_size = settings.MinSegSize > 0 ? settings.MinSegSize : 0;
    reader_settings.min_gap_size = settings.MinGapSize > 0 ? settings.MinGapSize : 0;
    SpanFetcher fetch = [this, &item](std::int64_t start, std::int64_t length) {
        return hooks_.network.fetch_span(item, start, length);
    };
    item.reader_position = 0;
    reader_ = backend_.open_reader(item, std::move(fetch), reader_settings);
    MediaOpenResult result = MediaOpenResult::OpenFailed;
    std::unique_ptr<MediaFile> media;
    if (reader_ != nullptr) {
        MediaOpenOptions options;
        options.any_format = any_format_;
        media = backend_.open_media(*reader_, options, result);
    }
    if (media == nullptr || result != MediaOpenResult::Ok) {
        const OpenFailure failure = open_failure(result);
        return fail_open(item, failure.failure, failure.text);
    }
    const CodecStatus codec = media->codec_status();
    if (codec != CodecStatus::Found && codec != CodecStatus::NotFound)
        return fail_open(item, MontageFailure::StreamInfoUnreadable, kStreamInfoText);
    {
        std::lock_guard guard(mutex_);
        media_ = std::move(media);
    }
    work_.media = media_.get();

    for (const std::string& line :
         media_info_lines(media_->header(), codec, media_->codec_name())) {
        view_.add_info_line(line);
    }
    work_.show_result(kMediaInfoDoneText, kMediaInfoDonePrefix);
    return true;
}

bool MediaSession::accept_other_format() {
    if (hooks_.accept_other_format)
        return hooks_.accept_other_format();
    Host* host = env_.host;
    return host != nullptr &&
           host->message_box(kInvalidMediaText, kInvalidMediaCaption, MessageButtons::YesNo,
                             MessageIcon::Warning) == MessageAnswer::Yes;
}

bool MediaSession::fail_open(DownloadItem& item, MontageFailure failure, std::string_view text) {
    item.set_status(text);
    set_open_outcome(failure, text);
    return false;
}

void MediaSession::set_open_outcome(MontageFailure failure, std::string_view text) {
    std::lock_guard guard(mutex_);
    open_outcome_ = {failure, std::string(text)};
}

MontageOutcome MediaSession::open_outcome() const {
    std::lock_guard guard(mutex_);
    return open_outcome_;
}

void MediaSession::start_get_frame(std::string_view entry_text) {
    std::int64_t index = -1;
    {
        std::unique_lock lock(mutex_);
        if (busy_) {
            lock.unlock();
            view_.set_status_line(kBusyText);
            return;
        }
        const std::string_view entry = entry_text.substr(0, kFrameEntryTextLimit);
        if (frame_mode_) {
            index = frame_number_to_index(entry);
        } else if (media_ != nullptr) {
            index = time_to_frame(entry, frame_rate(media_->header()));
            if (index < 0) {
                lock.unlock();
                view_.reject_frame_entry();
                return;
            }
        }
    }
    if (!start_worker([this, index] { get_frame_thread(index); })) {
        if (env_.host != nullptr)
            env_.host->message_box(kThreadStartFailedText, kErrorCaption, MessageButtons::Ok,
                                   MessageIcon::None);
    }
}

void MediaSession::get_frame_thread(std::int64_t index) {
    if (work_.media == nullptr) {
        view_.set_get_frame_enabled(false);
        end_worker();
        return;
    }
    try {
        work_.show_cancel_button(false);
        work_.begin_operation();
        const std::int64_t n = clamp_frame_index(index, work_.media->header().frame_count);
        if (!work_.close_requested.load()) {
            FrameRequest request;
            request.index = n;
            fetch_frame(work_, request);
        }
        if (work_.close_requested.load()) {
            work_.show_idle_button(false);
        } else {
            work_.show_idle_button(true);
            view_.set_close_enabled(true);
        }
    } catch (...) {
        close();
    }
    end_worker();
}

void MediaSession::cancel() {
    DownloadList::ItemPtr item;
    {
        std::lock_guard guard(mutex_);
        if (!busy_ || !media_open_)
            return;
        item = item_;
    }
    view_.set_get_frame_enabled(false);
    view_.set_close_enabled(false);
    item->montage_abort = true;
    work_.stop_request = true;
    interrupt_connection(item->connection);
    work_.show_cancel_button(false);
}

void MediaSession::press_get_frame(std::string_view entry_text) {
    if (work_.cancel_mode.load())
        cancel();
    else
        start_get_frame(entry_text);
}

void MediaSession::toggle_entry_mode() {
    frame_mode_ = !frame_mode_;
    view_.set_mode_button_text(frame_mode_ ? kFrameModeText : kTimeModeText);
    view_.set_get_frame_text(frame_mode_ ? kGetFrameText : kGetTimeText);
    view_.set_frame_entry_text(frame_mode_ ? kFrameEntryStart : kTimeEntryStart);
}

void MediaSession::close() {
    if (!begin_close())
        return;
    {
        std::lock_guard guard(mutex_);
        if (busy_) {
            work_.close_requested = true;
            return;
        }
    }
    close_now();
}

bool MediaSession::begin_close() {
    DownloadList::ItemPtr item;
    {
        std::lock_guard guard(mutex_);
        if (!media_open_)
            return false;
        item = item_;
    }
    view_.set_status_line(kClosingMediaText);
    view_.set_get_frame_enabled(false);
    view_.set_close_enabled(false);
    // A running fetch ends at once; every later read of the worker returns nothing.
    item->montage_abort = true;
    interrupt_connection(item->connection);
    return true;
}

void MediaSession::close_now() {
    DownloadList::ItemPtr item;
    std::unique_ptr<MediaFile> media;
    {
        std::lock_guard guard(mutex_);
        if (!media_open_)
            return;
        item = item_;
        media = std::move(media_);
    }
    work_.media = nullptr;
    media.reset();
    reader_.reset();

    view_.clear_info_lines();
    view_.set_progress_position(0);
    view_.clear_frame_view();
    if (current_settings().ClearStoryOnClose != 0)
        view_.clear_storyboard();

    // Everything that touches the connection happens while the item is still held: once it is
    // Stopped, the controller may start a run of it.
    item->range_hook = nullptr;
    item->progress_hook = nullptr;
    // The text is taken first: closing the connection reports its own stages, which would hide
    // why the media closed.
    const std::string closed =
        format_texts(kMediaClosedFormat, kMediaClosedText, item->status_text());
    release_connection(item->connection);
    stop_item(*item, env_);
    item->set_status(closed);

    work_.item = nullptr;
    std::string pending_name;
    bool rename = false;
    {
        auto data = item->lock();
        rename = data->pending_rename;
        pending_name = std::move(data->pending_name);
        data->pending_rename = false;
        data->pending_name.clear();
    }
    if (rename)
        apply_server_name(*item, pending_name, env_);
    if (item->restart_on_close.exchange(false))
        restart(*item);

    view_.set_status_line(kMediaClosedText);
    std::lock_guard guard(mutex_);
    media_open_ = false;
    item_.reset();
}

void MediaSession::restart(DownloadItem& item) {
    if (env_.link != nullptr)
        env_.link->post(MessageId::MontageRestart, &item);
}

}  // namespace rg
