#include "montage/ffmpeg_rgb_converter.h"

#include <utility>

#include "montage/picture_limits.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace rg {

namespace {

constexpr int kUnitBrightness = 0;
constexpr int kUnitContrast = 1 << 16;
constexpr int kUnitSaturation = 1 << 16;

// The JPEG variants of the YUV formats are their plain counterparts at full range.
AVPixelFormat plain_format(AVPixelFormat format, bool& full_range) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P:
            full_range = true;
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            full_range = true;
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            full_range = true;
            return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P:
            full_range = true;
            return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P:
            full_range = true;
            return AV_PIX_FMT_YUV411P;
        default:
            return format;
    }
}

}  // namespace

RgbConverter::~RgbConverter() {
    sws_freeContext(scaler_);
}

bool RgbConverter::convert(const AVFrame& frame, int width, int height, Picture& out) {
    out = Picture{};
    if (!picture_side_ok(frame.width) || !picture_side_ok(frame.height) ||
        !picture_side_ok(width) || !picture_side_ok(height)) {
        return false;
    }
    bool full_range = frame.color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format = plain_format(static_cast<AVPixelFormat>(frame.format), full_range);
    if (format == AV_PIX_FMT_NONE || sws_isSupportedInput(format) == 0)
        return false;

    scaler_ = sws_getCachedContext(scaler_, frame.width, frame.height, format, width, height,
                                   AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (scaler_ == nullptr)
        return false;
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    if (descriptor == nullptr)
        return false;
    if ((descriptor->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) == 0) {
        // Luma and chroma: the frame's matrix and range, as the ffmpeg tool converts them.
        sws_setColorspaceDetails(scaler_, sws_getCoefficients(frame.colorspace), full_range ? 1 : 0,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, kUnitBrightness,
                                 kUnitContrast, kUnitSaturation);
    }

    Picture picture = make_picture(width, height);
    if (picture.empty())
        return false;
    std::uint8_t* planes[] = {picture.rgb.data(), nullptr, nullptr, nullptr};
    const int strides[] = {static_cast<int>(picture.stride()), 0, 0, 0};
    const int rows =
        sws_scale(scaler_, frame.data, frame.linesize, 0, frame.height, planes, strides);
    if (rows != height)
        return false;
    out = std::move(picture);
    return true;
}

}  // namespace rg
