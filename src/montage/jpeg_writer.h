#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "montage/picture.h"

namespace rg {

// The quality of saved frames and contact sheets (the usual default of JPEG encoders).
inline constexpr int kJpegQuality = 75;

struct JpegEncoding {
    std::vector<std::uint8_t> bytes;
    std::string error;  // the encoder's message when bytes is empty
    bool ok() const { return !bytes.empty(); }
};

// Encodes the picture as a baseline JPEG with 4:2:0 chroma subsampling.
JpegEncoding encode_jpeg(const Picture& picture, int quality = kJpegQuality);

}  // namespace rg
