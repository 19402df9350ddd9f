#pragma once

#include <cstddef>
#include <cstdint>

struct AVFormatContext;
struct AVInputFormat;

namespace rg {

// The containers the media file may read: each a single file whose demuxer reads only the
// download's own bytes. Playlists and references (HLS, DASH, concat, image sequences ...) are
// not among them.
inline constexpr char kSingleFileFormats[] = "avi,mov,matroska,mpegts,mpeg,flv,asf,ogg,nut";

// Bytes at the start of a file that show whether it is an AVI at all.
inline constexpr std::size_t kAviSignatureBytes = 12;

// True when the first bytes are a RIFF file of the AVI form (or one of the AVI variants the
// demuxer reads).
bool has_avi_signature(const std::uint8_t* data, std::size_t size);

// True when `format` is one of kSingleFileFormats.
bool single_file_format(const AVInputFormat& format);

// Lets the demuxer of `context` open nothing but the file it was given: no protocol, no other
// URL or local file, no container outside kSingleFileFormats. False when out of memory.
bool confine_to_own_file(AVFormatContext& context);

}  // namespace rg
