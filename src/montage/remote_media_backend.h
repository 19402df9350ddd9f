#pragma once

#include "montage/media_session.h"

namespace rg {

// The program's media library: the download's file through RemoteMediaReader, the video through
// open_media_file (FFmpeg).
MediaBackend remote_media_backend();

}  // namespace rg
