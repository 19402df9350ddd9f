#include "montage/remote_media_backend.h"

namespace rg {

MediaBackend remote_media_backend() {
    MediaBackend backend;
    backend.open_reader = [](DownloadItem& item, SpanFetcher fetch, ReaderSettings settings) {
        auto reader = std::make_unique<RemoteMediaReader>(item, std::move(fetch), settings);
        reader->rewind();
        return std::unique_ptr<VirtualFile>(std::move(reader));
    };
    backend.open_media = [](VirtualFile& file, const MediaOpenOptions& options,
                            MediaOpenResult& result) {
        return open_media_file(file, options, result);
    };
    return backend;
}

}  // namespace rg
