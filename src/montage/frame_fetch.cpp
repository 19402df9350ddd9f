#include "montage/frame_fetch.h"

#include <limits>
#include <utility>

#include "engine/download_item.h"
#include "montage/frame_entry.h"
#include "montage/montage_format.h"
#include "montage/montage_texts.h"

namespace rg {

namespace {

// A failure that ends the AutoMontage: shown in the item's row (and later behind "Media
// Closed"); the status line keeps what it showed.
std::int64_t fail_operation(MontageWork& work, MontageFailure failure, std::string_view text) {
    if (work.item != nullptr)
        work.item->set_status(text);
    work.record_frame_failure(failure, text);
    work.stop_request = true;
    return -1;
}

// A failure of this frame only: the status line says it.
std::int64_t fail_frame(MontageWork& work, MontageFailure failure, std::string_view text) {
    work.view.set_status_line(text);
    work.record_frame_failure(failure, text);
    return -1;
}

std::uint32_t frame_number(std::int64_t index) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::uint32_t>(index + 1 > kMax ? kMax : index + 1);
}

double frame_seconds(const MediaHeader& header, std::int64_t index) {
    const double rate = frame_rate(header);
    return rate > 0.0 ? static_cast<double>(index) / rate : 0.0;
}

std::int64_t fetch_steps(MontageWork& work, const FrameRequest& request) {
    MediaFile* media = work.media;
    if (media == nullptr || work.item == nullptr)
        return fail_operation(work, MontageFailure::NoVideoStream, kNoVideoStreamText);
    if (media->codec_status() == CodecStatus::NotFound)
        return fail_operation(work, MontageFailure::NoDecoder, kNoDecoderText);
    if (work.close_requested.load())
        return -1;

    std::int64_t n = request.index;
    if (request.key_search) {
        const std::int64_t key = media->key_frame_at_or_before(n);
        if (key != -1)
            n = key;
    }
    // A planned frame whose key frame is the previous one again, or one before it, would repeat
    // a picture or put the sheet out of order.
    if (request.automatic && request.previous >= 0 && n <= request.previous)
        return -1;

    work.set_prefix(request.automatic
                        ? format_text(kAutoFrameFormat, request.position, request.plan_size)
                        : format_text(kFrameFormat, frame_number(n)));
    work.show_prefix();
    work.show_cancel_button(true);

    Picture picture;
    const FrameResult result = media->decode_frame(n, picture);

    work.show_idle_button(false);
    if (work.close_requested.load())
        return n;
    if (work.item->montage_abort.load())
        return fail_frame(work, MontageFailure::FrameDownloadFailed, kFrameFailedText);
    if (result == FrameResult::NoDecoder)
        return fail_operation(work, MontageFailure::NoDecoder, kNoDecoderText);
    if (result != FrameResult::Ok || picture.empty())
        return fail_frame(work, MontageFailure::FrameMissing, kNoFrameText);
    const auto number = frame_number(n);
    work.view.append_to_storyboard(std::move(picture), static_cast<std::int32_t>(number),
                                   frame_seconds(media->header(), n));
    const std::string done =
        request.automatic ? format_text(kAutoFrameDoneFormat, request.position, request.plan_size)
                          : format_text(kFrameDoneFormat, number);
    work.show_result(done, done);
    return n;
}

}  // namespace

std::int64_t fetch_frame(MontageWork& work, const FrameRequest& request) {
    work.show_cancel_button(false);
    work.view.set_frame_entry_enabled(false);
    work.reset_amount();
    work.begin_operation();
    work.view.set_status_line(kOpeningDecoderText);

    const std::int64_t result = fetch_steps(work, request);

    work.view.set_frame_entry_enabled(true);
    work.show_idle_button(true);
    return result;
}

}  // namespace rg
