#pragma once

#include <cstdint>
#include <vector>

namespace rg {

// A decoded picture: 8-bit RGB, rows top-down, tightly packed (stride = width * 3).
struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgb;

    bool empty() const { return width <= 0 || height <= 0 || rgb.empty(); }
    std::size_t stride() const { return static_cast<std::size_t>(width) * 3; }
};

}  // namespace rg
