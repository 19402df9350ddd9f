#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/download_list.h"
#include "settings/settings.h"

namespace rg {

// Clipboard texts of this many characters or more are not looked at.
inline constexpr std::size_t kClipboardTextLimit = 4095;
inline constexpr std::size_t kShortestCaughtUrl = 15;

// Whether a copied text is the URL of a file worth downloading: not already a download's URL
// (ignoring case), at least 15 characters, starting with "http://", "https://" or "ftp://"
// (exact bytes), and "*." followed by the text after its last '.' (at least 2 characters)
// occurring anywhere in `monitor_ext`, ignoring case. The pattern list is searched as one
// string, not split at ';': with "*.exe" in it, an extension "ex" is caught.
bool catch_test(std::string_view text, std::string_view monitor_ext, const DownloadList& list);

// The clipboard monitor's decisions, apart from the clipboard and the windows. Lives on the
// controller thread.
class ClipboardMonitor {
  public:
    // Opens the New Download dialog with the caught text; may run a nested event loop, during
    // which further clipboard changes are ignored.
    using OpenDialog = std::function<void(const std::string& url)>;

    // Start-up has finished: changes from now on are examined.
    void set_initialised() { initialised_ = true; }
    bool initialised() const { return initialised_; }
    bool busy() const { return busy_; }
    const std::string& last_caught_url() const { return last_caught_url_; }

    // A clipboard change: `text` is the clipboard's text, nullopt when it holds none or cannot
    // be read. Examined only while MonitorClipboard is on, start-up has finished and no earlier
    // change is being handled. The first four characters are lowered ("HTTP://" matches); a
    // text other than the last caught one (ignoring case) that passes the catch test becomes
    // the last caught URL and goes to `open_dialog`. True when it was caught.
    bool on_clipboard_changed(std::optional<std::string_view> text, const Settings& settings,
                              const DownloadList& list, const OpenDialog& open_dialog);

  private:
    bool initialised_ = false;
    bool busy_ = false;
    std::string last_caught_url_;
};

}  // namespace rg
