#include "cli/live_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/row_texts.h"

namespace rg {

namespace {

// A long name gives way to the progress and status.
constexpr std::size_t kWidestName = 40;
constexpr std::string_view kColumnGap = "  ";
constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationByte = 0x80;

bool is_continuation(char c) {
    return (static_cast<unsigned char>(c) & kContinuationMask) == kContinuationByte;
}

std::size_t terminal_columns(std::FILE* out) {
    winsize size{};
    if (::ioctl(::fileno(out), TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
        return 0;
    return size.ws_col;
}

}  // namespace

bool stdout_is_terminal() {
    return ::isatty(STDOUT_FILENO) != 0;
}

LiveProgress::LiveProgress(std::FILE* out, std::mutex& output_mutex, bool redraw)
    : out_(out), mutex_(output_mutex), redraw_(redraw) {}

void LiveProgress::show(const std::vector<DownloadItem*>& running, Tick now) {
    std::vector<RowTexts> rows;
    rows.reserve(running.size());
    for (DownloadItem* item : running) {
        item->update_speed(now);
        rows.push_back(row_texts(*item));
    }
    const RowColumns columns = columns_for(rows, kWidestName);
    std::lock_guard guard(mutex_);
    if (redraw_) {
        erase_live_lines();
        for (const RowTexts& row : rows)
            std::fprintf(out_, "%s\n", fit_width(row_line(row, columns, false)).c_str());
        live_lines_ = rows.size();
    } else {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            // The speed changes all the time: only a change of progress or status is news.
            const RowTexts& row = rows[i];
            const std::string news = row.progress + row.status;
            std::string& last = last_lines_[running[i]];
            if (last == news)
                continue;
            last = news;
            std::fprintf(out_, "%s\n", row_line(row, columns, false).c_str());
        }
    }
    std::fflush(out_);
}

void LiveProgress::report(const DownloadItem& item, std::string_view outcome) {
    const RowTexts row = row_texts(item);
    std::lock_guard guard(mutex_);
    if (redraw_)
        erase_live_lines();
    last_lines_.erase(&item);
    std::fprintf(out_, "%s%s%s%s%s\n", row.name.c_str(), std::string(kColumnGap).c_str(),
                 row.progress.c_str(), std::string(kColumnGap).c_str(),
                 std::string(outcome).c_str());
    std::fflush(out_);
}

void LiveProgress::close() {
    std::lock_guard guard(mutex_);
    if (redraw_)
        erase_live_lines();
    std::fflush(out_);
}

void LiveProgress::erase_live_lines() {
    if (live_lines_ > 0) {
        // Up to the first live line, then clear to the end of the screen.
        std::fprintf(out_, "\x1b[%zuA\r\x1b[J", live_lines_);
    }
    live_lines_ = 0;
}

std::string LiveProgress::fit_width(std::string line) const {
    const std::size_t columns = terminal_columns(out_);
    // One column stays free so that a full line does not wrap on every terminal.
    if (columns == 0 || line.size() < columns)
        return line;
    std::size_t cut = columns - 1;
    while (cut > 0 && is_continuation(line[cut]))
        --cut;
    line.resize(cut);
    return line;
}

}  // namespace rg
