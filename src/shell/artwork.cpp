#include "shell/artwork.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPixmap>
#include <array>
#include <cmath>

namespace rg {

namespace {

// Icons are drawn on a 16-unit grid scaled to the cell.
constexpr qreal kGrid = 16.0;
const QColor kGreen{56, 142, 60};
const QColor kGreenPlain{120, 160, 110};
const QColor kAmber{214, 150, 30};
const QColor kGreyBlue{90, 110, 140};
const QColor kRed{200, 50, 45};
const QColor kInk{40, 44, 52};
const QColor kWhite{255, 255, 255};
const QColor kFilm{60, 60, 70};
constexpr std::array kAppIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

void play(QPainter& p, const QColor& colour) {
    QPainterPath path;
    path.moveTo(4.5, 2.5);
    path.lineTo(13.5, 8.0);
    path.lineTo(4.5, 13.5);
    path.closeSubpath();
    p.fillPath(path, colour);
    p.setPen(QPen(colour.darker(140), 0.8));
    p.drawPath(path);
}

void pause(QPainter& p, const QColor& colour) {
    p.setPen(QPen(colour.darker(140), 0.8));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(3.5, 2.5, 3.5, 11), 0.8, 0.8);
    p.drawRoundedRect(QRectF(9.0, 2.5, 3.5, 11), 0.8, 0.8);
}

void film(QPainter& p, const QColor& body) {
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 1.5, 1.5);
    p.setBrush(kWhite);
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(3.0 + i * 3.0, 3.5, 1.6, 1.4));
        p.drawRect(QRectF(3.0 + i * 3.0, 11.1, 1.6, 1.4));
    }
    p.setBrush(kAmber);
    p.drawRect(QRectF(3.0, 6.0, 10, 4));
}

void cross(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(kWhite, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
}

void down_arrow(QPainter& p) {
    QPainterPath path;
    path.moveTo(6.0, 1.5);
    path.lineTo(10.0, 1.5);
    path.lineTo(10.0, 7.0);
    path.lineTo(13.5, 7.0);
    path.lineTo(8.0, 12.5);
    path.lineTo(2.5, 7.0);
    path.lineTo(6.0, 7.0);
    path.closeSubpath();
    p.fillPath(path, QColor(110, 190, 255));
    p.setPen(QPen(kWhite, 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(2.5, 14.5), QPointF(13.5, 14.5));
}

void gear(QPainter& p) {
    const QPointF centre(8.0, 8.0);
    constexpr int kTeeth = 8;
    QPainterPath path;
    for (int i = 0; i < kTeeth * 2; ++i) {
        const qreal angle = i * M_PI / kTeeth;
        const qreal radius = (i % 2 == 0) ? 7.0 : 5.2;
        const QPointF point(centre.x() + radius * std::cos(angle),
                            centre.y() + radius * std::sin(angle));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(centre, 2.2, 2.2);
    p.fillPath(path.subtracted(hole), QColor(225, 228, 235));
}

void clock_face(QPainter& p) {
    p.setPen(QPen(kWhite, 1.3));
    p.setBrush(QColor(70, 150, 90));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(kWhite, 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(8, 4));
    p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
}

void calendar(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawRoundedRect(QRectF(2, 3, 12, 11), 1.2, 1.2);
    p.setBrush(kRed);
    p.drawRect(QRectF(2, 3, 12, 3));
    p.setBrush(kInk);
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 3; ++col)
            p.drawRect(QRectF(4 + col * 3, 7.5 + row * 3, 1.8, 1.8));
    }
}

}  // namespace

void paint_icon(QPainter& painter, const QRectF& cell, ArtIcon icon) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(cell.topLeft());
    painter.scale(cell.width() / kGrid, cell.height() / kGrid);
    switch (icon) {
        case ArtIcon::StoppedPlain:
            pause(painter, kGreyBlue);
            break;
        case ArtIcon::Paused:
            pause(painter, kAmber);
            break;
        case ArtIcon::Playing:
            play(painter, kGreen);
            break;
        case ArtIcon::MontageHeld:
            film(painter, kFilm);
            break;
        case ArtIcon::PlayingPlain:
            play(painter, kGreenPlain);
            break;
        case ArtIcon::Cancel:
            cross(painter);
            break;
        case ArtIcon::Montage:
            film(painter, QColor(30, 30, 36));
            break;
        case ArtIcon::Downloads:
            down_arrow(painter);
            break;
        case ArtIcon::Options:
            gear(painter);
            break;
        case ArtIcon::Auto:
            clock_face(painter);
            break;
        case ArtIcon::Schedule:
            calendar(painter);
            break;
    }
    painter.restore();
}

QIcon application_icon() {
    QIcon icon;
    for (int size : kAppIconSizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / kGrid, size / kGrid);
        QLinearGradient back(0, 0, 0, kGrid);
        back.setColorAt(0, QColor(70, 120, 200));
        back.setColorAt(1, QColor(30, 60, 130));
        p.setPen(Qt::NoPen);
        p.setBrush(back);
        p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
        p.setBrush(QColor(255, 255, 255, 60));
        p.drawRect(QRectF(2, 2, 12, 2));
        p.drawRect(QRectF(2, 12, 12, 2));
        QPainterPath arrow;
        arrow.moveTo(6.5, 3.5);
        arrow.lineTo(9.5, 3.5);
        arrow.lineTo(9.5, 8.0);
        arrow.lineTo(12.0, 8.0);
        arrow.lineTo(8.0, 12.5);
        arrow.lineTo(4.0, 8.0);
        arrow.lineTo(6.5, 8.0);
        arrow.closeSubpath();
        p.fillPath(arrow, kWhite);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void paint_button_frame(QPainter& painter, const QRectF& rect, FrameLook look, bool dark) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    QColor light = dark ? QColor(150, 152, 158) : QColor(255, 255, 255);
    QColor shade = dark ? QColor(40, 41, 44) : QColor(110, 130, 165);
    if (look != FrameLook::Plain)
        std::swap(light, shade);
    if (look == FrameLook::Checked) {
        painter.fillRect(rect, dark ? QColor(255, 255, 255, 40) : QColor(0, 0, 0, 20));
    }
    painter.setPen(QPen(light, 1.0));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(QPen(shade, 1.0));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
    painter.restore();
}

void paint_skin(QPainter& painter, const QRectF& rect, bool dark) {
    QLinearGradient skin(rect.topLeft(), rect.bottomLeft());
    if (dark) {
        skin.setColorAt(0.0, QColor(122, 124, 130));
        skin.setColorAt(0.5, QColor(98, 99, 103));
        skin.setColorAt(1.0, QColor(76, 77, 81));
    } else {
        skin.setColorAt(0.0, QColor(236, 240, 247));
        skin.setColorAt(0.5, QColor(214, 222, 236));
        skin.setColorAt(1.0, QColor(190, 201, 222));
    }
    painter.fillRect(rect, skin);
}

}  // namespace rg
