#include "cli/row_texts.h"

#include <algorithm>
#include <cstdio>

namespace rg {

namespace {

constexpr std::string_view kSpeedFormat = "%.2f Kb/s";
constexpr std::string_view kRetryFormat = "%s[Retry:%u]";
constexpr std::string_view kColumnGap = "  ";
constexpr std::string_view kCutMark = "...";
constexpr std::size_t kTextBuffer = 64;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7f;

bool shows_speed(ItemState state) {
    return state == ItemState::Running || state == ItemState::MontageHeld;
}

std::string speed_text(float kb_per_s) {
    char text[kTextBuffer];
    std::snprintf(text, sizeof text, std::string(kSpeedFormat).c_str(),
                  static_cast<double>(kb_per_s));
    return text;
}

std::string status_with_retry(const std::string& status, std::int32_t retry_count) {
    const std::string format(kRetryFormat);
    const int length = std::snprintf(nullptr, 0, format.c_str(), status.c_str(),
                                     static_cast<unsigned>(retry_count + 1));
    std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    std::snprintf(text.data(), text.size(), format.c_str(), status.c_str(),
                  static_cast<unsigned>(retry_count + 1));
    text.resize(text.size() - 1);
    return text;
}

// Control characters (line breaks of a server's answer, escape sequences) become spaces, so a row
// stays one line and cannot steer the terminal.
std::string printable(std::string text) {
    for (char& c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code < kFirstPrintable || code == kDelete)
            c = ' ';
    }
    return text;
}

// `text` padded with spaces to `width`, or cut to it with the cut mark at its end.
std::string fitted(std::string_view text, std::size_t width) {
    if (text.size() <= width)
        return std::string(text) + std::string(width - text.size(), ' ');
    if (width <= kCutMark.size())
        return std::string(text.substr(0, width));
    return std::string(text.substr(0, width - kCutMark.size())) + std::string(kCutMark);
}

}  // namespace

std::string_view state_name(ItemState state) {
    switch (state) {
        case ItemState::Running:
            return "running";
        case ItemState::Stopped:
            return "stopped";
        case ItemState::MontageHeld:
            return "montage";
        case ItemState::InfoHeld:
            return "info";
    }
    return "?";
}

RowTexts row_texts(const DownloadItem& item) {
    const ItemState state = item.state.load();
    RowTexts row;
    row.name = printable(item.file_name());
    row.state = std::string(state_name(state));
    row.progress = format_progress(item);
    row.speed = speed_text(shows_speed(state) ? item.speed.load() : 0.0f);
    row.status = item.status_text();
    const std::int32_t retries = item.retry_count.load();
    if (state == ItemState::Running && retries > 0)
        row.status = status_with_retry(row.status, retries);
    row.status = printable(std::move(row.status));
    return row;
}

RowColumns columns_for(const std::vector<RowTexts>& rows, std::size_t widest_name) {
    RowColumns columns;
    for (const RowTexts& row : rows) {
        columns.name = std::max(columns.name, std::min(row.name.size(), widest_name));
        columns.state = std::max(columns.state, row.state.size());
        columns.progress = std::max(columns.progress, row.progress.size());
        columns.speed = std::max(columns.speed, row.speed.size());
    }
    return columns;
}

std::string row_line(const RowTexts& row, const RowColumns& columns, bool with_state) {
    std::string line = fitted(row.name, columns.name);
    line += kColumnGap;
    if (with_state) {
        line += fitted(row.state, columns.state);
        line += kColumnGap;
    }
    // Sizes and speeds line up on their right like the row's right-aligned texts.
    line += std::string(columns.progress - std::min(columns.progress, row.progress.size()), ' ');
    line += row.progress;
    line += kColumnGap;
    line += std::string(columns.speed - std::min(columns.speed, row.speed.size()), ' ');
    line += row.speed;
    line += kColumnGap;
    line += row.status;
    return line;
}

}  // namespace rg
