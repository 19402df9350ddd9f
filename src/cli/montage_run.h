#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/fetch_stats.h"
#include "cli/montage_args.h"
#include "cli/montage_host.h"
#include "cli/terminal_montage_view.h"
#include "cli/tool_session.h"
#include "engine/controller.h"
#include "montage/media_session.h"

namespace rg {

// One Montage of the tool: the data folder's list (held locked), the controller that owns it,
// the download of the URL and the media session over it, with the terminal as its pane. This
// thread is the controller thread; it serves the controller's queue while the session's worker
// runs. A Ctrl-C cancels the running fetch.
class MontageRun {
  public:
    explicit MontageRun(const std::string& data_dir);
    ~MontageRun();
    MontageRun(const MontageRun&) = delete;
    MontageRun& operator=(const MontageRun&) = delete;

    // Takes the list's lock and the download of the target's URL, adding it to the list (into the
    // target's folder) when it is not there yet. A download that the Montage cannot open (not
    // HTTP; not ".avi" without --any-format) is refused before it is added. `auto_frame_count`
    // replaces the setting for this run only. False when refused (printed why).
    bool start(const MontageTarget& target, std::optional<std::int32_t> auto_frame_count);

    // Opens the media, lists its information and, with `auto_montage`, runs the AutoMontage;
    // returns when the worker has ended. False when the media did not open: error() says why.
    bool open(bool auto_montage);
    // Fetches frame `number` (1-based) of the open media; returns when the worker has ended.
    void get_frame(std::uint32_t number);
    // The header of the open video.
    std::optional<MediaHeader> header() const;

    // Closes the media (the download is Stopped and keeps every byte fetched) and saves the list.
    // False when the list could not be saved.
    bool close_and_save();

    TerminalMontageView& view() { return *view_; }
    const FetchStats& stats() const { return stats_; }
    const DownloadItem& item() const { return *item_; }
    // Why the open failed: the refusal, or the download's "Media Closed (...)" text.
    const std::string& error() const { return error_; }
    // Why the last frame that failed since the media was opened failed, or a frame could not be
    // kept; empty when none did.
    std::string frame_error() const;
    bool was_interrupted() const;

  private:
    // Serves the controller until the session's worker has ended.
    void serve_until_idle();

    std::string data_dir_;
    ToolSession tool_;
    FetchStats stats_;
    std::unique_ptr<MontageHost> host_;
    std::unique_ptr<TerminalMontageView> view_;
    std::unique_ptr<Controller> controller_;
    std::unique_ptr<MediaSession> session_;
    DownloadList::ItemPtr item_;
    std::string error_;
    bool interrupted_ = false;
};

}  // namespace rg
