#include "montage/storyboard.h"

#include <algorithm>
#include <utility>

#include "montage/picture_limits.h"

namespace rg {

Storyboard::Storyboard(StoryboardLimits limits) : limits_(limits) {}

StoryboardAppend Storyboard::append(StoryboardEntry entry) {
    if (!picture_is_sound(entry.picture) || !picture_is_sound(entry.thumbnail) ||
        entry.thumbnail.width != entry.placement.width ||
        entry.thumbnail.height != entry.placement.height) {
        return {kNoEntry, StoryboardError::InvalidPicture};
    }
    const std::size_t size = entry.bytes();
    if (count() >= limits_.max_entries || size > limits_.max_bytes ||
        bytes_ > limits_.max_bytes - size) {
        return {kNoEntry, StoryboardError::Full};
    }
    entries_.push_back(std::make_unique<StoryboardEntry>(std::move(entry)));
    bytes_ += size;
    return {count() - 1, StoryboardError::None};
}

StoryboardAppend Storyboard::append(Picture picture, std::int32_t frame_number,
                                    double time_seconds) {
    // Refuse before the thumbnail is made when the picture could not fit anyway.
    if (count() >= limits_.max_entries || picture.rgb.size() > limits_.max_bytes - bytes_)
        return {kNoEntry, StoryboardError::Full};
    std::optional<StoryboardEntry> entry =
        make_storyboard_entry(std::move(picture), frame_number, time_seconds);
    if (!entry)
        return {kNoEntry, StoryboardError::InvalidPicture};
    return append(std::move(*entry));
}

const StoryboardEntry* Storyboard::entry(std::int32_t index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return entries_[static_cast<std::size_t>(index)].get();
}

std::int32_t Storyboard::selected() const {
    return selected_ >= 0 && selected_ < count() ? selected_ : kNoEntry;
}

std::int32_t Storyboard::visible_boxes() const {
    const std::int32_t room = width_ - 2 * kStoryboardArrowWidth;
    if (room <= 0)
        return 0;
    return (room + kStoryboardBoxWidth - 1) / kStoryboardBoxWidth;
}

std::int32_t Storyboard::box_left(std::int32_t index) const {
    return kStoryboardBoxWidth * (index - first_visible_) + kStoryboardArrowWidth;
}

void Storyboard::scroll_back() {
    if (empty())
        first_visible_ = 0;
    else if (first_visible_ > 0)
        --first_visible_;
}

void Storyboard::scroll_forward() {
    if (empty())
        first_visible_ = 0;
    else if (first_visible_ < count() - 1)
        ++first_visible_;
}

StripPart Storyboard::part_at(std::int32_t x) const {
    if (x < kStoryboardArrowWidth)
        return StripPart::LeftArrow;
    if (x > width_ - kStoryboardArrowWidth)
        return StripPart::RightArrow;
    return StripPart::Boxes;
}

std::int32_t Storyboard::box_index_at(std::int32_t x) const {
    // x is at least the arrow width here, so the division does not need flooring.
    const std::int32_t index = (x - kStoryboardArrowWidth) / kStoryboardBoxWidth + first_visible_;
    return std::min(index, count() - 1);
}

std::int32_t Storyboard::hit_test(std::int32_t x, std::int32_t y) const {
    if (y < 0 || y >= kStoryboardBoxHeight || empty() || part_at(x) != StripPart::Boxes)
        return kNoEntry;
    return box_index_at(x);
}

StripPart Storyboard::click(std::int32_t x, MouseButton button) {
    const StripPart part = part_at(x);
    switch (part) {
        case StripPart::LeftArrow:
            scroll_back();
            break;
        case StripPart::RightArrow:
            scroll_forward();
            break;
        case StripPart::Boxes:
            selected_ = empty() ? kNoEntry : box_index_at(x);
            if (button == MouseButton::Left)
                show(selected_);
            break;
    }
    return part;
}

void Storyboard::show(std::int32_t index) {
    shown_ = entry(index);
}

std::int32_t Storyboard::shown_index() const {
    if (shown_ == nullptr)
        return kNoEntry;
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [this](const auto& entry) { return entry.get() == shown_; });
    return found == entries_.end() ? kNoEntry : static_cast<std::int32_t>(found - entries_.begin());
}

bool Storyboard::remove_selected() {
    const std::int32_t removed = selected();
    if (removed == kNoEntry)
        return false;
    const auto position = entries_.begin() + removed;
    if (shown_ == position->get())
        shown_ = nullptr;
    bytes_ -= (*position)->bytes();
    entries_.erase(position);
    selected_ = 0;
    if (first_visible_ >= removed && first_visible_ > 0)
        first_visible_ = std::max(removed - 1, 0);
    return true;
}

void Storyboard::clear() {
    shown_ = nullptr;
    entries_.clear();
    bytes_ = 0;
    selected_ = 0;
    first_visible_ = 0;
}

}  // namespace rg
