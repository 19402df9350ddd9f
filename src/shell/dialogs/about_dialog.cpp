#include "shell/dialogs/about_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace rg {

namespace {

constexpr int kPictureSize = 64;
constexpr int kReelHoles = 5;
constexpr double kFullTurn = 360.0;

// A film reel with a downward arrow, drawn at the screen's pixel ratio.
QPixmap reel_picture(qreal ratio) {
    const int side = qRound(kPictureSize * ratio);
    QPixmap picture(side, side);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF reel(4, 4, kPictureSize - 8, kPictureSize - 8);
    painter.setPen(QPen(QColor(40, 60, 90), 3));
    painter.setBrush(QColor(70, 110, 160));
    painter.drawEllipse(reel);
    painter.setBrush(QColor(230, 236, 245));
    painter.setPen(Qt::NoPen);
    const QPointF centre = reel.center();
    const qreal hole = reel.width() / 7;
    for (int i = 0; i < kReelHoles; ++i) {
        QTransform turn;
        turn.translate(centre.x(), centre.y());
        turn.rotate(kFullTurn * i / kReelHoles);
        const QPointF at = turn.map(QPointF(0, -reel.height() / 3.2));
        painter.drawEllipse(at, hole, hole);
    }
    painter.drawEllipse(centre, hole / 2, hole / 2);
    QPainterPath arrow;
    const qreal x = kPictureSize * 0.78;
    const qreal y = kPictureSize * 0.62;
    arrow.moveTo(x - 6, y);
    arrow.lineTo(x + 6, y);
    arrow.lineTo(x + 6, y + 8);
    arrow.lineTo(x + 12, y + 8);
    arrow.lineTo(x, y + 20);
    arrow.lineTo(x - 12, y + 8);
    arrow.lineTo(x - 6, y + 8);
    arrow.closeSubpath();
    painter.setBrush(QColor(60, 170, 80));
    painter.setPen(QPen(Qt::white, 1.5));
    painter.drawPath(arrow);
    return picture;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));

    auto* picture = new QLabel(this);
    picture->setPixmap(reel_picture(devicePixelRatioF()));
    auto* name = new QLabel(QStringLiteral("Reelgrab v 1.1"), this);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    auto* notice = new QLabel(
        QStringLiteral("A download manager that resumes any byte range, with the Montage."), this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(notice);
    texts->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addSpacing(fontMetrics().height());
    top->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace rg
