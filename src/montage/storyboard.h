#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "montage/storyboard_entry.h"

namespace rg {

// Geometry of the strip: an 18-pixel arrow at each end and 80 x 60 boxes in between, one box
// every 80 pixels from the left arrow's right edge.
inline constexpr std::int32_t kStoryboardArrowWidth = 18;
inline constexpr std::int32_t kStoryboardBoxWidth = kThumbnailBoxWidth;
inline constexpr std::int32_t kStoryboardBoxHeight = kThumbnailBoxHeight;

// The storyboard keeps full pictures; these bound what it holds at once.
struct StoryboardLimits {
    std::int32_t max_entries = 4096;
    std::size_t max_bytes = std::size_t{1} << 30;  // 1 GiB of pictures and thumbnails
};

enum class StoryboardError { None, InvalidPicture, Full };

inline constexpr std::string_view kStoryboardFullText =
    "The Storyboard is Full, Remove Some Pictures First";

struct StoryboardAppend {
    std::int32_t index = -1;  // of the new entry, -1 on failure
    StoryboardError error = StoryboardError::None;
    bool ok() const { return error == StoryboardError::None; }
};

enum class MouseButton { Left, Right };
enum class StripPart { LeftArrow, Boxes, RightArrow };

// The model of the storyboard strip and of the frame view's reference into it: entries in order
// of arrival, the selection, the first visible index and the entry that the frame view shows.
// The frame view only ever refers to an existing entry: removing it or clearing the strip
// empties the view. Not thread-safe; the controller thread owns it (entries can be made on a
// worker with make_storyboard_entry and handed over).
class Storyboard {
  public:
    static constexpr std::int32_t kNoEntry = -1;

    explicit Storyboard(StoryboardLimits limits = {});
    Storyboard(const Storyboard&) = delete;
    Storyboard& operator=(const Storyboard&) = delete;

    // Appends at the end; the selection, the first visible index and the frame view stay.
    StoryboardAppend append(StoryboardEntry entry);
    // Makes the entry (thumbnail included) and appends it.
    StoryboardAppend append(Picture picture, std::int32_t frame_number, double time_seconds);

    std::int32_t count() const { return static_cast<std::int32_t>(entries_.size()); }
    bool empty() const { return entries_.empty(); }
    // Nothing when the index is out of range.
    const StoryboardEntry* entry(std::int32_t index) const;
    std::size_t bytes() const { return bytes_; }
    const StoryboardLimits& limits() const { return limits_; }

    // The selected entry's index, kNoEntry when it names no entry.
    std::int32_t selected() const;
    std::int32_t first_visible() const { return first_visible_; }

    // The strip's client width in pixels.
    void set_width(std::int32_t width) { width_ = width; }
    std::int32_t width() const { return width_; }
    // Boxes drawn from the first visible entry: ceil((width - 36) / 80), the last possibly
    // under the right arrow.
    std::int32_t visible_boxes() const;
    // Left edge of entry index's box in the strip (valid for visible entries).
    std::int32_t box_left(std::int32_t index) const;

    // The arrows: one entry back or forward; the strip can scroll until the last entry stands in
    // the first box. With no entries both reset the first visible index to 0.
    void scroll_back();
    void scroll_forward();

    // Which part of the strip x falls in (the arrows win outside 18 <= x <= width - 18).
    StripPart part_at(std::int32_t x) const;
    // The entry a click at (x, y) would select: the box's entry, the last entry right of it;
    // kNoEntry on the arrows, outside the strip's height or with no entries.
    std::int32_t hit_test(std::int32_t x, std::int32_t y) const;
    // A click at x: the arrows scroll; in the boxes the entry under x (the last one right of
    // all entries, none with no entries) becomes the selection, and a left click also shows it
    // in the frame view.
    StripPart click(std::int32_t x, MouseButton button);

    // The frame view shows entry index, or nothing when the index is out of range.
    void show(std::int32_t index);
    void show_selected() { show(selected()); }
    void clear_view() { shown_ = nullptr; }
    const StoryboardEntry* shown() const { return shown_; }
    // The shown entry's index, kNoEntry when the view is empty.
    std::int32_t shown_index() const;

    // Removes the selected entry (the view empties if it showed it); the selection becomes the
    // first entry and a first visible index at or after the removed one steps back to the entry
    // before it. False when nothing was selected.
    bool remove_selected();
    // Empties the frame view and the strip; the selection and first visible index become 0.
    void clear();

  private:
    std::int32_t box_index_at(std::int32_t x) const;

    StoryboardLimits limits_;
    std::vector<std::unique_ptr<StoryboardEntry>> entries_;
    std::size_t bytes_ = 0;
    std::int32_t first_visible_ = 0;
    // Kept as set; it may name no entry (-1 after a click on an empty strip).
    std::int32_t selected_ = 0;
    std::int32_t width_ = 0;
    const StoryboardEntry* shown_ = nullptr;
};

}  // namespace rg
