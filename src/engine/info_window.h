#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/download_list.h"
#include "engine/transfer_worker.h"
#include "platform/host.h"
#include "settings/settings.h"

namespace rg {

// The rules of the "Edit Download Data (Advanced)" window without its widgets. At most
// one exists; the controller owns it. While it holds an item the item is Info-held, so no transfer
// runs for it and the window may change its ranges and counters; closing it makes the item
// Stopped again and stores the URL the window shows.
//
// The view (the GUI dialog) keeps `url_text` in step with its URL edit, fills its list and
// statistics from range_rows() and statistics(), and closes itself when `on_closed` is called: a
// Start or Cancel of the held item closes the model from the controller.
class InfoWindow {
  public:
    // `state_changed` runs after the held item's state changed (the command state refresh).
    InfoWindow(Host* host, std::function<void()> state_changed);

    enum class OpenResult {
        Opened,
        EmptyList,    // nothing happens
        AlreadyOpen,  // "Info Window is already Open,Please Close it First."
        NotStopped,   // "Download is Already Running, You Must Pause before Viewing ..."
        NoItem,       // the caret row is not a row of the list
    };
    // Command 40034 for the caret row. Only a Stopped item whose worker has ended can be opened: a
    // worker still winding down would take an Info-held item for a finished one.
    OpenResult open(const DownloadList& list, std::int32_t caret_row);

    bool is_open() const { return item_ != nullptr; }
    // The held item, or null.
    DownloadItem* item() const { return item_.get(); }

    // The URL edit's text; open() sets it to the item's URL.
    const std::string& url_text() const { return url_text_; }
    void set_url_text(std::string text) { url_text_ = std::move(text); }
    // The read-only path edit's text.
    std::string local_path() const;

    // One row per byte range: "%u : %u (%u bytes)".
    std::vector<std::string> range_rows() const;

    struct Statistics {
        std::string size;         // "Size: %u bytes"
        std::string resumed;      // "Resumed: %u Times"
        std::string finished;     // "Finished: %s" with the list row's size text
        std::string range_count;  // "Range Count: %u"
    };
    Statistics statistics() const;

    // "Delete Selected": the selected range rows (any order; rows out of range are ignored). With
    // a selection, asks "Are you sure you want to delete specified range(s)" ("Delete Range",
    // OK/Cancel) and on OK removes them from the last to the first. True when ranges were removed.
    bool delete_ranges(const std::vector<std::int32_t>& selected_rows);

    // "Clear All...": with at least one range, asks the warning ("Clear Download", OK/Cancel);
    // unless cancelled, empties the ranges (range_count and downloaded become 0). The bytes stay in
    // the file. True when cleared.
    bool clear_all();

    // "...": moves the local file (the save-file chooser and change_local_filename).
    RenameResult change_local_filename();

    // "Close", WM_CLOSE, or a Start/Cancel of the held item: stores url_text (at most 4095
    // characters) as the item's URL, makes it Stopped, releases it, and calls on_closed. Nothing
    // when closed. Another URL is a change of address (change_item_address): the kept bytes are
    // only continued from an answer of the same size.
    void close();

    // Called by close(); the view closes its dialog.
    std::function<void()> on_closed;

  private:
    Host* host_;
    std::function<void()> state_changed_;
    DownloadList::ItemPtr item_;
    std::string url_text_;
};

// The exit prompt of commands 40022 and 40063 and of the when-done action "Close Reelgrab": with
// "ConfirmExit" off the answer is yes at once; with it on, "Are you sure you want to exit
// Reelgrab" ("Exit", Yes/No) and any answer but No means exit. Without a host: yes.
bool exit_confirmed(Host* host, const Settings& settings);

}  // namespace rg
