#pragma once

#include "montage/picture.h"

struct AVFrame;
struct SwsContext;

namespace rg {

// Converts decoded frames to tightly packed RGB pictures of a fixed size with libswscale, keeping
// the scaler between frames of the same format.
class RgbConverter {
  public:
    RgbConverter() = default;
    ~RgbConverter();
    RgbConverter(const RgbConverter&) = delete;
    RgbConverter& operator=(const RgbConverter&) = delete;

    // False when the frame's format or size cannot be converted; `out` is then left empty.
    bool convert(const AVFrame& frame, int width, int height, Picture& out);

  private:
    SwsContext* scaler_ = nullptr;
};

}  // namespace rg
