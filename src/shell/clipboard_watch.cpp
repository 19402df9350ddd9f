#include "shell/clipboard_watch.h"

namespace rg {

ClipboardWatch::ClipboardWatch(ClipboardSource& source, const SettingsStore& settings,
                               const DownloadList& list,
                               std::function<void(const std::string&)> caught, QObject* parent)
    : QObject(parent),
      source_(source),
      settings_(settings),
      list_(list),
      caught_(std::move(caught)) {
    connect(&source_, &ClipboardSource::changed, this, &ClipboardWatch::on_changed);
}

void ClipboardWatch::on_changed() {
    const std::optional<std::string> text = source_.text();
    if (!text || text->empty())
        return;
    const Settings settings = settings_.snapshot();
    monitor_.on_clipboard_changed(std::string_view(*text), settings, list_, caught_);
}

}  // namespace rg
