#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "intake/clipboard_catch.h"
#include "shell/clipboard_source.h"

namespace rg {

// The clipboard monitor on the controller thread: every change of the source goes through the
// catch rules (ClipboardMonitor); a caught URL goes to `caught`, which shows the window and opens
// the New Download dialog. Empty texts, such as the one some desktops send when the copying
// program exits, are not looked at.
class ClipboardWatch : public QObject {
    Q_OBJECT
  public:
    ClipboardWatch(ClipboardSource& source, const SettingsStore& settings, const DownloadList& list,
                   std::function<void(const std::string&)> caught, QObject* parent = nullptr);

    ClipboardMonitor& monitor() { return monitor_; }

  private:
    void on_changed();

    ClipboardSource& source_;
    const SettingsStore& settings_;
    const DownloadList& list_;
    std::function<void(const std::string&)> caught_;
    ClipboardMonitor monitor_;
};

}  // namespace rg
