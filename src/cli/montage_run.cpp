#include "cli/montage_run.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "cli/counted_network.h"
#include "cli/interrupt.h"
#include "intake/file_naming.h"
#include "montage/media_library_log.h"
#include "montage/montage_texts.h"
#include "montage/remote_media_backend.h"
#include "platform/ascii_text.h"
#include "platform/clock.h"

namespace rg {

namespace {

constexpr auto kIdlePoll = std::chrono::milliseconds(10);
constexpr std::string_view kAviSuffix = ".avi";
constexpr std::string_view kNotTakenText = "the Montage did not take the download";

bool has_avi_suffix(std::string_view name) {
    return name.size() >= kAviSuffix.size() &&
           equal_ignoring_case(name.substr(name.size() - kAviSuffix.size()), kAviSuffix);
}

}  // namespace

MontageRun::MontageRun(const std::string& data_dir) : data_dir_(data_dir), tool_(data_dir) {}

MontageRun::~MontageRun() {
    // The session goes first: it closes the media while the controller and the view still exist.
    session_.reset();
    controller_.reset();
}

bool MontageRun::start(const MontageTarget& target, std::optional<std::int32_t> auto_frame_count) {
    host_ = std::make_unique<MontageHost>(tool_.host, target.any_format);
    const auto url = checked_url(target.url);
    if (!url)
        return false;
    if (protocol_for_url(url->url) != Protocol::Http) {
        host_->message_box(kHttpOnlyText, kInvalidProtocolCaption, MessageButtons::Ok,
                           MessageIcon::Error);
        return false;
    }
    const auto folder = absolute_folder(target.folder);
    if (!folder || !open_tool_session(data_dir_, tool_))
        return false;
    if (auto_frame_count) {
        tool_.settings.update(
            [count = *auto_frame_count](Settings& settings) { settings.AutoFrameCount = count; });
    }

    item_ = find_by_url(tool_.list, url->url);
    if (item_ != nullptr) {
        give_url_credentials(tool_, *item_, *url);
    } else {
        // The session's own question, asked before a download is made for nothing.
        if (!has_avi_suffix(proposed_file_name(url->url)) && !host_->accept_other_format())
            return false;
        item_ = add_item(tool_, *url, *folder);
        if (item_ == nullptr)
            return false;
    }

    TerminalMontageView::Options view_options;
    view_options.live = ::isatty(STDOUT_FILENO) != 0;
    view_options.show_spans = target.show_spans;
    show_media_library_messages(target.show_spans);
    view_ = std::make_unique<TerminalMontageView>(stdout, tool_.host.output_mutex(), stats_,
                                                  view_options);

    Controller::Parts parts;
    parts.list = &tool_.list;
    parts.list_file = &tool_.list_file;
    parts.settings = &tool_.settings;
    parts.passwords = &tool_.passwords;
    parts.session = &tool_.http;
    parts.host = host_.get();
    controller_ = std::make_unique<Controller>(parts);

    MediaSession::Hooks hooks;
    hooks.network = counted_network(controller_->env(), stats_);
    hooks.serve_messages = [this](std::chrono::milliseconds wait) {
        controller_->process_messages(wait);
    };
    hooks.accept_other_format = [this] { return host_->accept_other_format(); };
    session_ = std::make_unique<MediaSession>(*view_, controller_->env(), remote_media_backend(),
                                              std::move(hooks));
    install_interrupt_handlers();
    return true;
}

bool MontageRun::open(bool auto_montage) {
    error_.clear();
    session_->open(item_, 1, auto_montage);
    serve_until_idle();
    if (session_->is_open())
        return true;
    const MontageOutcome outcome = session_->open_outcome();
    if (outcome.failure == MontageFailure::NotTaken) {
        error_ = outcome.text.empty() ? std::string(kNotTakenText) : outcome.text;
    } else {
        // The download's row: "Media Closed (...)" with the failure.
        error_ = item_->status_text();
    }
    return false;
}

void MontageRun::get_frame(std::uint32_t number) {
    session_->start_get_frame(std::to_string(number));
    serve_until_idle();
}

std::optional<MediaHeader> MontageRun::header() const {
    return session_->media_header();
}

std::string MontageRun::frame_error() const {
    const MontageOutcome failure = session_->frame_failure();
    if (failure.failed())
        return failure.text;
    return view_->storyboard_failure();
}

bool MontageRun::was_interrupted() const {
    return interrupted_ || interrupted();
}

bool MontageRun::close_and_save() {
    if (session_->is_open())
        session_->close();
    view_->end_live_line();
    controller_->process_messages();
    return controller_->save_list();
}

void MontageRun::serve_until_idle() {
    controller_->run_due_timers(tick_count());
    while (!session_->wait_idle(kIdlePoll)) {
        controller_->process_messages();
        controller_->run_due_timers(tick_count());
        if (!interrupted_ && interrupted()) {
            interrupted_ = true;
            session_->cancel();
        }
    }
    controller_->process_messages();
}

}  // namespace rg
