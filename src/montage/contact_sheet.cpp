#include "montage/contact_sheet.h"

#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "montage/frame_export.h"
#include "montage/picture_limits.h"
#include "montage/storyboard.h"
#include "montage/thumbnail.h"

namespace rg {

namespace {

constexpr std::int32_t kMargin = 8;
constexpr std::int32_t kCellGap = 8;
constexpr std::int32_t kLabelGap = 4;
constexpr std::int32_t kBoxAspectNumerator = 3;  // box height = width * 3 / 4
constexpr std::int32_t kBoxAspectDenominator = 4;
constexpr Rgb kBackground{32, 32, 32};
constexpr Rgb kLabelColour{255, 255, 255};
constexpr std::int64_t kSecondsPerMinute = 60;
constexpr std::int64_t kSecondsPerHour = 3600;
// About 114 years; longer times are shown as this.
constexpr double kMaxLabelSeconds = 3.6e9;

void fill(Picture& picture, Rgb colour) {
    for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += kRgbBytesPerPixel) {
        picture.rgb[i] = colour.r;
        picture.rgb[i + 1] = colour.g;
        picture.rgb[i + 2] = colour.b;
    }
}

void paste(Picture& target, const Picture& source, std::int32_t left, std::int32_t top) {
    for (std::int32_t y = 0; y < source.height; ++y) {
        const std::uint8_t* from =
            source.rgb.data() + source.stride() * static_cast<std::size_t>(y);
        std::uint8_t* to = target.rgb.data() + target.stride() * static_cast<std::size_t>(top + y) +
                           static_cast<std::size_t>(left) * kRgbBytesPerPixel;
        std::copy(from, from + source.stride(), to);
    }
}

ContactSheet failed(ContactSheetError error, std::string detail) {
    ContactSheet sheet;
    sheet.error = error;
    sheet.detail = std::move(detail);
    return sheet;
}

}  // namespace

std::int32_t ContactSheetLayout::box_left(std::int32_t index) const {
    return kMargin + (index % columns) * (box_width + kCellGap);
}

std::int32_t ContactSheetLayout::box_top(std::int32_t index) const {
    return kMargin + (index / columns) * (cell_height + kCellGap);
}

std::optional<ContactSheetLayout> contact_sheet_layout(std::int32_t count,
                                                       const ContactSheetOptions& options) {
    if (count < 1 || options.columns < 1 || options.columns > kMaxContactSheetColumns ||
        options.box_width < kMinContactSheetBoxWidth ||
        options.box_width > kMaxContactSheetBoxWidth || options.label_scale < 1 ||
        options.label_scale > kMaxGlyphScale) {
        return std::nullopt;
    }
    ContactSheetLayout layout;
    layout.columns = std::min(options.columns, count);
    layout.rows = (count + layout.columns - 1) / layout.columns;
    layout.box_width = options.box_width;
    layout.box_height = options.box_width * kBoxAspectNumerator / kBoxAspectDenominator;
    layout.label_height = kGlyphHeight * options.label_scale;
    layout.cell_height = layout.box_height + kLabelGap + layout.label_height;

    const std::int64_t width = 2 * std::int64_t{kMargin} +
                               std::int64_t{layout.columns} * layout.box_width +
                               std::int64_t{layout.columns - 1} * kCellGap;
    const std::int64_t height = 2 * std::int64_t{kMargin} +
                                std::int64_t{layout.rows} * layout.cell_height +
                                std::int64_t{layout.rows - 1} * kCellGap;
    if (width > kMaxPictureSide || height > kMaxPictureSide)
        return std::nullopt;
    layout.width = static_cast<std::int32_t>(width);
    layout.height = static_cast<std::int32_t>(height);
    return layout;
}

std::string contact_sheet_label(std::int32_t frame_number, double time_seconds) {
    std::int64_t total = 0;
    if (std::isfinite(time_seconds) && time_seconds > 0)
        total = static_cast<std::int64_t>(std::min(time_seconds, kMaxLabelSeconds));
    const long long hours = total / kSecondsPerHour;
    const long long minutes = total % kSecondsPerHour / kSecondsPerMinute;
    const long long seconds = total % kSecondsPerMinute;
    char text[64];
    std::snprintf(text, sizeof text, "#%d %lld:%02lld:%02lld", static_cast<int>(frame_number),
                  hours, minutes, seconds);
    return text;
}

ContactSheet render_contact_sheet(std::span<const StoryboardEntry* const> entries,
                                  const ContactSheetOptions& options) {
    if (entries.empty())
        return failed(ContactSheetError::NoEntries, "no pictures for a contact sheet");
    if (entries.size() > static_cast<std::size_t>(kMaxPictureSide))
        return failed(ContactSheetError::BadOptions, "too many pictures for one contact sheet");
    const auto count = static_cast<std::int32_t>(entries.size());
    const std::optional<ContactSheetLayout> layout = contact_sheet_layout(count, options);
    if (!layout)
        return failed(ContactSheetError::BadOptions, "the contact sheet would be too large");

    ContactSheet sheet;
    sheet.picture = make_picture(layout->width, layout->height);
    fill(sheet.picture, kBackground);
    for (std::int32_t i = 0; i < count; ++i) {
        const StoryboardEntry* entry = entries[static_cast<std::size_t>(i)];
        if (entry == nullptr || !picture_is_sound(entry->picture))
            return failed(ContactSheetError::InvalidPicture, "an entry has no valid picture");
        const Picture& picture = entry->picture;
        const ThumbnailPlacement fit =
            fit_within(picture.width, picture.height, layout->box_width, layout->box_height);
        const std::optional<Picture> thumbnail = scale_picture(picture, fit.width, fit.height);
        if (!thumbnail)
            return failed(ContactSheetError::InvalidPicture, "a picture cannot be scaled");
        const std::int32_t left = layout->box_left(i);
        const std::int32_t top = layout->box_top(i);
        paste(sheet.picture, *thumbnail, left + fit.offset_x, top + fit.offset_y);

        const std::string label = contact_sheet_label(entry->frame_number, entry->time_seconds);
        const std::int32_t label_width = text_width(label, options.label_scale);
        // Centred under the box when it fits, else from the box's left edge and cut at its right.
        const std::int32_t label_left = left + std::max(0, (layout->box_width - label_width) / 2);
        const std::int32_t label_top = top + layout->box_height + kLabelGap;
        const PixelRect clip{left, label_top, left + layout->box_width,
                             label_top + layout->label_height};
        draw_text(sheet.picture, label_left, label_top, label, options.label_scale, kLabelColour,
                  clip);
    }
    return sheet;
}

ContactSheet write_contact_sheet(std::span<const StoryboardEntry* const> entries,
                                 const std::string& path, const ContactSheetOptions& options,
                                 FileOps& ops) {
    ContactSheet sheet = render_contact_sheet(entries, options);
    if (!sheet.ok())
        return sheet;
    const SaveResult saved = write_picture(sheet.picture, path, format_for_path(path), ops);
    sheet.picture = Picture{};
    if (saved.ok())
        return sheet;
    const ContactSheetError error = saved.error == SaveError::EncodeFailed
                                        ? ContactSheetError::EncodeFailed
                                        : ContactSheetError::WriteFailed;
    return failed(error, saved.detail);
}

ContactSheet write_contact_sheet(const Storyboard& storyboard, const std::string& path,
                                 const ContactSheetOptions& options, FileOps& ops) {
    std::vector<const StoryboardEntry*> entries;
    entries.reserve(static_cast<std::size_t>(storyboard.count()));
    for (std::int32_t i = 0; i < storyboard.count(); ++i)
        entries.push_back(storyboard.entry(i));
    return write_contact_sheet(entries, path, options, ops);
}

}  // namespace rg
