#pragma once

#include <cstddef>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/download_item.h"

namespace rg {

// The progress of the running downloads on standard output, one line per download as its row
// shows it (name, progress, speed, status). On a terminal the lines are rewritten in place at
// every show; elsewhere (a log, a pipe) a download's line is written only when it changed.
// Lines that stay (what became of a download) go above the live ones. Controller thread only;
// the output mutex is the one every writer to the terminal takes.
class LiveProgress {
  public:
    LiveProgress(std::FILE* out, std::mutex& output_mutex, bool redraw);

    // Measures the speeds (update_speed at `now`) and shows the lines of the running downloads.
    void show(const std::vector<DownloadItem*>& running, Tick now);
    // A line that stays: the download's name and progress and `outcome`.
    void report(const DownloadItem& item, std::string_view outcome);
    // Removes the live lines.
    void close();

  private:
    // Both with the mutex held.
    void erase_live_lines();
    std::string fit_width(std::string line) const;

    std::FILE* out_;
    std::mutex& mutex_;
    bool redraw_;
    std::size_t live_lines_ = 0;
    std::map<const DownloadItem*, std::string> last_lines_;
};

// True when standard output is a terminal.
bool stdout_is_terminal();

}  // namespace rg
