#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "montage/picture.h"

namespace rg {

// A tiny built-in 5 x 7 bitmap font for labels on pictures: digits, ' ', ':', '#', '.', '-',
// '/' and the letters A to Z (lower case is drawn as upper case).
inline constexpr std::int32_t kGlyphWidth = 5;
inline constexpr std::int32_t kGlyphHeight = 7;
inline constexpr std::int32_t kGlyphAdvance = kGlyphWidth + 1;
inline constexpr std::int32_t kMaxGlyphScale = 64;

struct Glyph {
    char character;
    // One byte per row from the top; bit 4 is the leftmost pixel.
    std::array<std::uint8_t, kGlyphHeight> rows;
};

// The glyph of `c`; nothing for characters the font lacks (they are drawn as a blank).
const Glyph* find_glyph(char c);

// Width in pixels of `text` drawn at `scale` (no gap after the last character); 0 for a scale
// outside 1 to kMaxGlyphScale.
std::int32_t text_width(std::string_view text, std::int32_t scale);

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};

// A rectangle of pixels: left and top inclusive, right and bottom exclusive.
struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// Draws `text` with its top-left corner at (x, y), each font pixel a scale x scale square,
// touching only pixels inside both the picture and `clip`. Nothing for a scale outside 1 to
// kMaxGlyphScale.
void draw_text(Picture& target, std::int32_t x, std::int32_t y, std::string_view text,
               std::int32_t scale, Rgb colour, const PixelRect& clip);

}  // namespace rg
