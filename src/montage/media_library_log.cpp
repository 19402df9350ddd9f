#include "montage/media_library_log.h"

extern "C" {
#include <libavutil/log.h>
}

namespace rg {

void show_media_library_messages(bool shown) {
    av_log_set_level(shown ? AV_LOG_WARNING : AV_LOG_QUIET);
}

}  // namespace rg
