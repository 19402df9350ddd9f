#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "montage/picture.h"

namespace rg {

enum class SeekOrigin { Start, Current, End };

// A read-only file as the demuxer sees it: the remote media reader over a download's local file.
class VirtualFile {
  public:
    virtual ~VirtualFile() = default;
    // The size of the file on the server.
    virtual std::int64_t size() = 0;
    // Moves the read position; returns the new position (positions beyond the end are allowed).
    virtual std::int64_t seek(std::int64_t offset, SeekOrigin origin) = 0;
    // Reads up to `count` bytes at the position and advances it; 0 at the end or on any failure.
    virtual std::int32_t read(std::uint8_t* buffer, std::int32_t count) = 0;
    // Like read, but only from what is already on disk: nothing is fetched. 0 when the byte at
    // the position is not there or the file cannot tell.
    virtual std::int32_t read_local(std::uint8_t* buffer, std::int32_t count) {
        (void)buffer;
        (void)count;
        return 0;
    }
};

// The video header values the Montage shows.
struct MediaHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t rate = 0;  // frames per second = rate / scale
    std::uint32_t scale = 0;
    std::uint32_t frame_count = 0;
    std::string fourcc;  // four characters
};

enum class CodecStatus {
    Found = 0,
    NotFound = 1,  // no decoder for the FourCC
    StreamInfoUnreadable = 2,
    NoStream = 3,
    CodecInfoUnreadable = 4,
};

enum class MediaOpenResult {
    Ok,
    OpenFailed,      // a read failed (a fetch, a Cancel): "Error Opening the AVI File"
    NotAvi,          // the file does not start as an AVI
    UnknownFormat,   // no allowed container recognised (any format)
    DamagedHeader,   // the container's header is damaged or cut short
    NoVideoStream,   // "Error Finding a Video Stream"
    InfoUnreadable,  // "Unable to Extract AVI Info, File may be Corrupted"
};

enum class FrameResult {
    Ok,
    NoDecoder,     // "Error Finding Decompressor Codec"
    FrameMissing,  // "Error Getting Frame"
};

struct MediaOpenOptions {
    // Probe the container instead of assuming AVI (MP4, Matroska/WebM, MPEG-TS ...).
    bool any_format = false;
};

// One opened video: the operations the Montage relies on, over a VirtualFile. Every call is made
// on the one Montage worker thread that runs at a time; the reads reach the VirtualFile on it.
class MediaFile {
  public:
    virtual ~MediaFile() = default;
    virtual const MediaHeader& header() const = 0;
    virtual CodecStatus codec_status() const = 0;
    // The decoder's descriptive name; empty unless codec_status() is Found.
    virtual std::string codec_name() const = 0;
    // The key frame at or before `frame`, -1 when there is none.
    virtual std::int64_t key_frame_at_or_before(std::int64_t frame) = 0;
    // Decodes frame `frame` (from the key frame at or before it) into an RGB picture at the
    // video's size.
    virtual FrameResult decode_frame(std::int64_t frame, Picture& out) = 0;
};

// Opens the first video stream of the file. `file` must outlive the result.
std::unique_ptr<MediaFile> open_media_file(VirtualFile& file, const MediaOpenOptions& options,
                                           MediaOpenResult& result);

}  // namespace rg
