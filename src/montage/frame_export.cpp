#include "montage/frame_export.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "montage/bmp_writer.h"
#include "montage/jpeg_writer.h"
#include "montage/picture_limits.h"
#include "platform/ascii_text.h"
#include "platform/atomic_file.h"

namespace rg {

namespace {

bool has_extension(std::string_view name, std::string_view extension) {
    return name.size() >= extension.size() &&
           equal_ignoring_case(name.substr(name.size() - extension.size()), extension);
}

std::string errno_text(int error) {
    return std::error_code(error, std::generic_category()).message();
}

SaveResult failure(SaveError error, std::string path, std::string detail) {
    return {error, std::move(path), std::move(detail)};
}

bool exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

std::string file_name_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

ResolvedSavePath resolve_save_path(std::string chosen, std::int32_t filter_index) {
    const bool jpeg = filter_index == kJpegFilterIndex;
    const std::string_view extension = jpeg ? kJpegExtension : kBmpExtension;
    if (!has_extension(chosen, extension))
        chosen += extension;
    return {std::move(chosen), jpeg ? ImageFormat::Jpeg : ImageFormat::Bmp};
}

ImageFormat format_for_path(std::string_view path) {
    return has_extension(path, kBmpExtension) ? ImageFormat::Bmp : ImageFormat::Jpeg;
}

SaveResult write_picture(const Picture& picture, const std::string& path, ImageFormat format,
                         FileOps& ops) {
    if (!picture_is_sound(picture))
        return failure(SaveError::InvalidPicture, path, "not a valid picture");
    if (path.empty() || path.size() > kMaxSavePathLength)
        return failure(SaveError::NameTooLong, path, "the file name is empty or too long");

    // Encode before the file is touched so that a failing encoder leaves nothing behind.
    JpegEncoding jpeg;
    if (format == ImageFormat::Jpeg) {
        jpeg = encode_jpeg(picture);
        if (!jpeg.ok())
            return failure(SaveError::EncodeFailed, path, jpeg.error);
    }
    AtomicFileWriter writer(path, ops);
    if (!writer.open())
        return failure(SaveError::WriteFailed, path, errno_text(writer.error()));
    const bool written =
        format == ImageFormat::Jpeg
            ? writer.write(jpeg.bytes.data(), jpeg.bytes.size())
            : write_bmp(picture, [&writer](const std::uint8_t* data, std::size_t size) {
                  return writer.write(data, size);
              });
    if (!written)
        return failure(SaveError::WriteFailed, path, errno_text(writer.error()));
    if (!writer.commit())
        return failure(SaveError::WriteFailed, path, errno_text(writer.error()));
    return {SaveError::None, path, {}};
}

std::optional<FrameFileChoice> choose_frame_file(Host& host) {
    const FileFilter filter{std::string(kJpegFilterText), std::string(kJpegPattern)};
    std::optional<std::string> path = host.choose_save_file({}, filter);
    if (!path)
        return std::nullopt;
    const std::int32_t index =
        format_for_path(*path) == ImageFormat::Bmp ? kBmpFilterIndex : kJpegFilterIndex;
    return FrameFileChoice{std::move(*path), index};
}

SaveResult save_frame_as(const Picture& picture, const FrameFileChoice& choice, Host& host,
                         FileOps& ops) {
    const ResolvedSavePath target = resolve_save_path(choice.path, choice.filter_index);
    // The dialog asked about the name as typed; a file under the extended name would otherwise
    // be replaced without a word.
    if (target.path != choice.path && exists(target.path)) {
        const std::string question = file_name_of(target.path) + std::string(kReplaceQuestionText);
        if (host.message_box(question, kSaveFileTitle, MessageButtons::YesNo,
                             MessageIcon::Warning) != MessageAnswer::Yes) {
            return failure(SaveError::Cancelled, target.path, "replacing the file was declined");
        }
    }
    SaveResult result = write_picture(picture, target.path, target.format, ops);
    if (!result.ok()) {
        const std::string text =
            std::string(kSaveFailedText) + "\r\n" + result.path + "\r\n" + result.detail;
        host.message_box(text, kErrorCaption, MessageButtons::Ok, MessageIcon::Error);
    }
    return result;
}

SaveResult save_frame(const Picture* shown, Host& host, FileOps& ops) {
    if (shown == nullptr)
        return failure(SaveError::NoPicture, {}, "no picture is shown");
    const std::optional<FrameFileChoice> choice = choose_frame_file(host);
    if (!choice)
        return failure(SaveError::Cancelled, {}, "no file was chosen");
    return save_frame_as(*shown, *choice, host, ops);
}

}  // namespace rg
