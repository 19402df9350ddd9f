#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "montage/glyphs.h"
#include "montage/picture.h"
#include "platform/file_ops.h"

namespace rg {

class Storyboard;
struct StoryboardEntry;

inline constexpr std::int32_t kMaxContactSheetColumns = 64;
inline constexpr std::int32_t kMinContactSheetBoxWidth = 16;
inline constexpr std::int32_t kMaxContactSheetBoxWidth = 1024;

struct ContactSheetOptions {
    std::int32_t columns = 5;      // 1 to kMaxContactSheetColumns
    std::int32_t box_width = 160;  // the thumbnail box; its height is three quarters of it
    std::int32_t label_scale = 1;  // font pixels per glyph pixel, 1 to kMaxGlyphScale
};

// Where everything goes: a margin around the grid, cells of a thumbnail box with the label under
// it, gaps between cells.
struct ContactSheetLayout {
    std::int32_t columns = 0;  // used, at most the number of entries
    std::int32_t rows = 0;
    std::int32_t box_width = 0;
    std::int32_t box_height = 0;
    std::int32_t label_height = 0;
    std::int32_t cell_height = 0;  // box, gap, label
    std::int32_t width = 0;
    std::int32_t height = 0;

    // Top-left corner of the thumbnail box of entry `index`.
    std::int32_t box_left(std::int32_t index) const;
    std::int32_t box_top(std::int32_t index) const;
};

// The layout for `count` entries; nothing when there are none, the options are out of range or
// the sheet would exceed the picture limits.
std::optional<ContactSheetLayout> contact_sheet_layout(std::int32_t count,
                                                       const ContactSheetOptions& options);

// "#<frame> <h:mm:ss>", the time cut to whole seconds (negative or not a number reads as 0).
std::string contact_sheet_label(std::int32_t frame_number, double time_seconds);

enum class ContactSheetError {
    None,
    NoEntries,
    BadOptions,      // options out of range, or the sheet would be too large
    InvalidPicture,  // an entry's picture is not sound or cannot be scaled
    EncodeFailed,
    WriteFailed,
};

struct ContactSheet {
    ContactSheetError error = ContactSheetError::None;
    std::string detail;
    Picture picture;
    bool ok() const { return error == ContactSheetError::None; }
};

// The thumbnails of the entries' full pictures in a grid, left to right and top to bottom, each
// fitted and centred in its box, with its label under it.
ContactSheet render_contact_sheet(std::span<const StoryboardEntry* const> entries,
                                  const ContactSheetOptions& options = {});

// Renders the sheet and writes it to `path` (atomically): a bitmap when the path ends in ".bmp",
// a JPEG otherwise. The result carries no picture.
ContactSheet write_contact_sheet(std::span<const StoryboardEntry* const> entries,
                                 const std::string& path, const ContactSheetOptions& options = {},
                                 FileOps& ops = system_file_ops());
ContactSheet write_contact_sheet(const Storyboard& storyboard, const std::string& path,
                                 const ContactSheetOptions& options = {},
                                 FileOps& ops = system_file_ops());

}  // namespace rg
