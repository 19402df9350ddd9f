#include "intake/clipboard_catch.h"

#include <array>

#include "platform/ascii_text.h"

namespace rg {

namespace {

constexpr std::array<std::string_view, 3> kCaughtPrefixes = {"http://", "https://", "ftp://"};
constexpr std::size_t kLoweredPrefix = 4;
constexpr std::size_t kShortestExtension = 2;
constexpr std::string_view kPatternStart = "*.";

bool is_listed(const DownloadList& list, std::string_view url) {
    for (const auto& item : list) {
        if (equal_ignoring_case(item->url(), url))
            return true;
    }
    return false;
}

// Clears the busy flag however the handling ends.
class BusyGuard {
  public:
    explicit BusyGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyGuard() { flag_ = false; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

  private:
    bool& flag_;
};

}  // namespace

bool catch_test(std::string_view text, std::string_view monitor_ext, const DownloadList& list) {
    if (is_listed(list, text))
        return false;
    if (text.size() < kShortestCaughtUrl)
        return false;
    bool known_scheme = false;
    for (std::string_view prefix : kCaughtPrefixes)
        known_scheme |= text.starts_with(prefix);
    if (!known_scheme)
        return false;
    const auto dot = text.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string_view extension = text.substr(dot + 1);
    if (extension.size() < kShortestExtension)
        return false;
    const std::string pattern = std::string(kPatternStart) + std::string(extension);
    return find_ignoring_case(monitor_ext, pattern) != std::string_view::npos;
}

bool ClipboardMonitor::on_clipboard_changed(std::optional<std::string_view> text,
                                            const Settings& settings, const DownloadList& list,
                                            const OpenDialog& open_dialog) {
    if (!text || settings.MonitorClipboard == 0 || !initialised_ || busy_)
        return false;
    const BusyGuard guard(busy_);

    // The clipboard holds a C string: it ends at its first NUL.
    std::string copied(text->substr(0, text->find('\0')));
    if (copied.size() >= kClipboardTextLimit)
        copied.clear();
    for (std::size_t i = 0; i < copied.size() && i < kLoweredPrefix; ++i)
        copied[i] = ascii_lower(copied[i]);

    if (equal_ignoring_case(copied, last_caught_url_) ||
        !catch_test(copied, settings.MonitorExt, list)) {
        return false;
    }
    last_caught_url_ = copied;
    if (open_dialog)
        open_dialog(copied);
    return true;
}

}  // namespace rg
