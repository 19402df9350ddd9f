#include "shell/palette.h"

namespace rg {

namespace {

constexpr const char* kFamily = "Tahoma";
// Pixel sizes of the glyphs in a 14- and a 12-pixel text cell.
constexpr int kTitlePixels = 11;
constexpr int kSmallPixels = 10;
constexpr int kButtonWeight = 600;

QFont make_font(int pixels, int weight, bool italic) {
    QFont font(kFamily);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(italic);
    return font;
}

}  // namespace

QFont role_font(FontRole role) {
    switch (role) {
        case FontRole::Title:
            return make_font(kTitlePixels, QFont::Normal, false);
        case FontRole::TitleBold:
            return make_font(kTitlePixels, QFont::Bold, false);
        case FontRole::SmallItalic:
            return make_font(kSmallPixels, QFont::Normal, true);
        case FontRole::SmallBold:
            return make_font(kSmallPixels, QFont::Bold, false);
        case FontRole::Button:
            return make_font(kSmallPixels, kButtonWeight, false);
    }
    return QFont();
}

}  // namespace rg
