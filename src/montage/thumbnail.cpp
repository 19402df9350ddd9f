#include "montage/thumbnail.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "montage/picture_limits.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace rg {

namespace {

// Area averaging for the large reductions of thumbnails; full chroma in and out so that the
// scaler's internal YUV step does not smear colours of an RGB to RGB scale.
constexpr int kScaleFlags = SWS_AREA | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP | SWS_ACCURATE_RND;

// The scaler's SIMD code wants 16-byte aligned rows and may touch a few bytes past a row's end,
// so it works on rows padded to this alignment with some slack after the last one.
constexpr std::size_t kRowAlignment = 64;
constexpr std::size_t kBufferSlack = 64;

struct SwsContextFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

std::size_t aligned_stride(std::int32_t width) {
    const std::size_t packed = static_cast<std::size_t>(width) * kRgbBytesPerPixel;
    return (packed + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
}

// Rows of one picture at an aligned stride in a buffer that is itself aligned.
class PaddedRows {
  public:
    PaddedRows(std::int32_t width, std::int32_t height)
        : stride_(aligned_stride(width)),
          storage_(stride_ * static_cast<std::size_t>(height) + kRowAlignment + kBufferSlack) {
        const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
        offset_ = (kRowAlignment - address % kRowAlignment) % kRowAlignment;
    }

    std::uint8_t* row(std::int32_t y) {
        return storage_.data() + offset_ + stride_ * static_cast<std::size_t>(y);
    }
    std::size_t stride() const { return stride_; }

  private:
    std::size_t stride_;
    std::vector<std::uint8_t> storage_;
    std::size_t offset_ = 0;
};

ThumbnailPlacement centred(std::int32_t width, std::int32_t height, std::int32_t box_width,
                           std::int32_t box_height) {
    // Integer division rounds toward zero, also for negative margins.
    return {width, height, (box_width - width) / 2, (box_height - height) / 2};
}

// floor(value * numerator / denominator) for positive operands within the picture limits.
std::int32_t scaled_side(std::int32_t value, std::int32_t numerator, std::int32_t denominator) {
    const std::int64_t result = static_cast<std::int64_t>(value) * numerator / denominator;
    return static_cast<std::int32_t>(std::max<std::int64_t>(result, 1));
}

}  // namespace

ThumbnailPlacement storyboard_thumbnail_placement(std::int32_t width, std::int32_t height) {
    if (width < 1 || height < 1)
        return centred(0, 0, kThumbnailBoxWidth, kThumbnailBoxHeight);
    std::int32_t w = width;
    std::int32_t h = height;
    if (width > kThumbnailBoxWidth || height > kThumbnailBoxHeight) {
        // Fitted by the longer side; a picture that only exceeds the box's height while being
        // wider than tall (79 x 61) keeps its size rather than being enlarged to 80 wide.
        if (width > height) {
            if (width > kThumbnailBoxWidth) {
                w = kThumbnailBoxWidth;
                h = scaled_side(height, kThumbnailBoxWidth, width);
            }
        } else {
            h = kThumbnailBoxHeight;
            w = scaled_side(width, kThumbnailBoxHeight, height);
        }
    }
    return centred(w, h, kThumbnailBoxWidth, kThumbnailBoxHeight);
}

ThumbnailPlacement fit_within(std::int32_t width, std::int32_t height, std::int32_t box_width,
                              std::int32_t box_height) {
    if (width < 1 || height < 1 || box_width < 1 || box_height < 1)
        return centred(0, 0, box_width, box_height);
    std::int32_t w = width;
    std::int32_t h = height;
    if (w > box_width) {
        h = scaled_side(h, box_width, w);
        w = box_width;
    }
    if (h > box_height) {
        w = scaled_side(w, box_height, h);
        h = box_height;
    }
    return centred(w, h, box_width, box_height);
}

std::optional<Picture> scale_picture(const Picture& source, std::int32_t width,
                                     std::int32_t height) {
    if (!picture_is_sound(source) || !picture_side_ok(width) || !picture_side_ok(height))
        return std::nullopt;
    Picture target = make_picture(width, height);
    if (width == source.width && height == source.height) {
        target.rgb = source.rgb;
        return target;
    }

    std::unique_ptr<SwsContext, SwsContextFree> context(
        sws_getContext(source.width, source.height, AV_PIX_FMT_RGB24, width, height,
                       AV_PIX_FMT_RGB24, kScaleFlags, nullptr, nullptr, nullptr));
    if (!context)
        return std::nullopt;

    PaddedRows in(source.width, source.height);
    for (std::int32_t y = 0; y < source.height; ++y)
        std::memcpy(in.row(y), source.rgb.data() + source.stride() * y, source.stride());
    PaddedRows out(width, height);

    const std::uint8_t* const in_planes[] = {in.row(0)};
    const int in_strides[] = {static_cast<int>(in.stride())};
    std::uint8_t* const out_planes[] = {out.row(0)};
    const int out_strides[] = {static_cast<int>(out.stride())};
    const int rows =
        sws_scale(context.get(), in_planes, in_strides, 0, source.height, out_planes, out_strides);
    if (rows != height)
        return std::nullopt;

    for (std::int32_t y = 0; y < height; ++y)
        std::memcpy(target.rgb.data() + target.stride() * y, out.row(y), target.stride());
    return target;
}

}  // namespace rg
