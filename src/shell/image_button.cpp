#include "shell/image_button.h"

#include <QPainter>

#include "shell/palette.h"

namespace rg {

namespace {

constexpr int kIconX = 12;
constexpr int kIconY = 4;
constexpr int kTextRightInset = 16;
constexpr int kTextLimit = 78;

}  // namespace

ImageButton::ImageButton(const QString& text, const Look& look, QWidget* parent)
    : QAbstractButton(parent), look_(look) {
    setText(text);
    setFont(role_font(FontRole::Button));
    setFocusPolicy(Qt::TabFocus);
}

void ImageButton::set_marked(bool on) {
    if (marked_ == on)
        return;
    marked_ = on;
    update();
}

QSize ImageButton::sizeHint() const {
    return size();
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area = rect();
    if (look_.skin)
        paint_skin(painter, area, look_.dark);
    else
        painter.fillRect(area, look_.background);

    const FrameLook frame =
        isDown() ? FrameLook::Pressed : (marked_ ? FrameLook::Checked : FrameLook::Plain);
    paint_button_frame(painter, area, frame, look_.dark);

    const QString shown = text().left(kTextLimit);
    painter.setFont(font());
    painter.setPen(isEnabled() ? look_.text : colours::kDisabledText);
    if (!look_.icon) {
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, shown);
    } else {
        const qreal x = shown.isEmpty() ? (width() - kIconCell) / 2.0 : kIconX;
        const qreal y = kIconY;
        if (!isEnabled())
            painter.setOpacity(0.45);
        paint_icon(painter, QRectF(x, y, kIconCell, kIconCell), *look_.icon);
        painter.setOpacity(1.0);
        painter.drawText(
            area.adjusted(0, 0, -kTextRightInset, 0),
            Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, shown);
    }
    if (hasFocus()) {
        painter.setPen(QPen(look_.text, 1, Qt::DotLine));
        painter.drawRect(area.adjusted(3, 3, -4, -4));
    }
}

}  // namespace rg
