#pragma once

namespace rg {

class DownloadItem;

// What the download commands need of the Montage's media session. The controller holds one (or
// none, when no Montage exists); the media session implements it. All calls on the controller
// thread.
class MontageLink {
  public:
    virtual ~MontageLink() = default;
    // The item the open media session holds, or null when no media is open.
    virtual DownloadItem* current_item() const = 0;
    // A Montage worker thread (open, frame fetch, AutoMontage) is running.
    virtual bool worker_running() const = 0;
    // Closes the media and releases the item (its state becomes Stopped). Only called while no
    // Montage worker runs.
    virtual void close_media() = 0;
};

}  // namespace rg
