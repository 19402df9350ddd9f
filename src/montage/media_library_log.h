#pragma once

namespace rg {

// FFmpeg writes its own messages to stderr (a decoder's complaints about a damaged frame, which
// the Montage reports in its own words). Off unless asked for; set before any media is opened.
void show_media_library_messages(bool shown);

}  // namespace rg
