#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "montage/picture.h"
#include "platform/file_ops.h"
#include "platform/host.h"

namespace rg {

enum class ImageFormat { Jpeg, Bmp };

// The save dialog's file types, in order; the chosen one comes back as a 1-based index.
inline constexpr std::int32_t kJpegFilterIndex = 1;
inline constexpr std::int32_t kBmpFilterIndex = 2;
inline constexpr std::string_view kJpegFilterText = "JPEG Image (*.jpg)";
inline constexpr std::string_view kJpegPattern = "*.jpg";
inline constexpr std::string_view kBmpFilterText = "Bitmap Image (*.bmp)";
inline constexpr std::string_view kBmpPattern = "*.bmp";
inline constexpr std::string_view kJpegExtension = ".jpg";
inline constexpr std::string_view kBmpExtension = ".bmp";

inline constexpr std::string_view kSaveFailedText = "Error Saving the Picture";
// Follows the file's name.
inline constexpr std::string_view kReplaceQuestionText =
    " already exists.\r\nDo you want to replace it?";
// The longest path written (PATH_MAX less the terminating NUL).
inline constexpr std::size_t kMaxSavePathLength = 4095;

// What the save dialog returned: the path as typed and the file type chosen.
struct FrameFileChoice {
    std::string path;
    std::int32_t filter_index = kJpegFilterIndex;
};

struct ResolvedSavePath {
    std::string path;
    ImageFormat format = ImageFormat::Jpeg;
};

// The name rules of the save: under the JPEG type a name whose last four characters are not
// ".jpg" (in any case) gets ".jpg" appended; under any other type the same with ".bmp". So
// shot.JPG stays, shot.jpeg becomes shot.jpeg.jpg, shot.jpg under the bitmap type shot.jpg.bmp.
ResolvedSavePath resolve_save_path(std::string chosen, std::int32_t filter_index);

// Bitmap for a path ending in ".bmp" (any case), JPEG otherwise.
ImageFormat format_for_path(std::string_view path);

enum class SaveError {
    None,
    NoPicture,       // the frame view shows nothing: no dialog
    Cancelled,       // the dialog was cancelled or replacing a file was declined
    InvalidPicture,  // not a sound picture
    NameTooLong,
    EncodeFailed,
    WriteFailed,
};

struct SaveResult {
    SaveError error = SaveError::None;
    std::string path;    // the file written (or meant to be)
    std::string detail;  // why it failed
    bool ok() const { return error == SaveError::None; }
};

// Encodes the picture in the format and replaces `path` with it atomically.
SaveResult write_picture(const Picture& picture, const std::string& path, ImageFormat format,
                         FileOps& ops = system_file_ops());

// The frame export's save dialog through the host: Host's chooser offers a single file type, so
// a name ending in ".bmp" counts as the bitmap type and anything else as JPEG. Nothing when
// cancelled.
std::optional<FrameFileChoice> choose_frame_file(Host& host);

// The steps after the dialog: apply the name rules; ask before replacing a file that the dialog
// did not ask about (the name got an extension appended); write; tell the user when writing
// failed ("Error Saving the Picture").
SaveResult save_frame_as(const Picture& picture, const FrameFileChoice& choice, Host& host,
                         FileOps& ops = system_file_ops());

// Save frame: nothing without a shown picture, else the dialog and save_frame_as.
SaveResult save_frame(const Picture* shown, Host& host, FileOps& ops = system_file_ops());

}  // namespace rg
