#include "montage/jpeg_writer.h"

#include <turbojpeg.h>

#include <memory>

#include "montage/picture_limits.h"

namespace rg {

namespace {

constexpr int kMinQuality = 1;
constexpr int kMaxQuality = 100;

struct TjHandleFree {
    void operator()(void* handle) const { tjDestroy(handle); }
};

struct TjBufferFree {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

}  // namespace

JpegEncoding encode_jpeg(const Picture& picture, int quality) {
    JpegEncoding result;
    if (!picture_is_sound(picture)) {
        result.error = "not a valid picture";
        return result;
    }
    if (quality < kMinQuality || quality > kMaxQuality) {
        result.error = "JPEG quality out of range";
        return result;
    }
    std::unique_ptr<void, TjHandleFree> handle(tjInitCompress());
    if (!handle) {
        result.error = tjGetErrorStr2(nullptr);
        return result;
    }
    unsigned char* raw = nullptr;
    unsigned long size = 0;
    const int status = tjCompress2(handle.get(), picture.rgb.data(), picture.width,
                                   static_cast<int>(picture.stride()), picture.height, TJPF_RGB,
                                   &raw, &size, TJSAMP_420, quality, 0);
    std::unique_ptr<unsigned char, TjBufferFree> buffer(raw);
    if (status != 0 || !buffer || size == 0) {
        result.error = tjGetErrorStr2(handle.get());
        return result;
    }
    result.bytes.assign(buffer.get(), buffer.get() + size);
    return result;
}

}  // namespace rg
