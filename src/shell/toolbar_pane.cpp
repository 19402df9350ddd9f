#include "shell/toolbar_pane.h"

#include <QPainter>

#include "shell/palette.h"

namespace rg {

namespace {

constexpr QSize kViewButtonSize{110, kToolbarHeight};
constexpr QSize kIconButtonSize{32, kToolbarHeight};
constexpr int kAutoGap = 4;
constexpr int kIconButtonGap = 1;

ImageButton::Look toolbar_look(ArtIcon icon) {
    ImageButton::Look look;
    look.icon = icon;
    look.dark = true;
    look.text = Qt::white;
    return look;
}

}  // namespace

ToolbarPane::ToolbarPane(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedHeight(kToolbarHeight);
    downloads_ = new ImageButton(tr("Downloads"), toolbar_look(ArtIcon::Downloads), this);
    montage_ = new ImageButton(tr("Montage"), toolbar_look(ArtIcon::Montage), this);
    // These three show only their icon; the tooltip names them.
    options_ = new ImageButton(QString(), toolbar_look(ArtIcon::Options), this);
    schedule_ = new ImageButton(QString(), toolbar_look(ArtIcon::Schedule), this);
    auto_ = new ImageButton(QString(), toolbar_look(ArtIcon::Auto), this);
    options_->setToolTip(tr("Options"));
    schedule_->setToolTip(tr("Schedule"));
    auto_->setToolTip(tr("Auto"));
    downloads_->resize(kViewButtonSize);
    montage_->resize(kViewButtonSize);
    for (ImageButton* b : {options_, schedule_, auto_})
        b->resize(kIconButtonSize);
    const std::pair<ImageButton*, ToolbarButtonId> ids[] = {
        {downloads_, ToolbarButtonId::Downloads},
        {montage_, ToolbarButtonId::Montage},
        {auto_, ToolbarButtonId::Auto},
        {schedule_, ToolbarButtonId::Schedule},
        {options_, ToolbarButtonId::Options}};
    for (const auto& [b, id] : ids) {
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QAbstractButton::clicked, this, [this, id = id] { emit clicked(id); });
    }
}

ImageButton* ToolbarPane::button(ToolbarButtonId id) const {
    switch (id) {
        case ToolbarButtonId::Downloads:
            return downloads_;
        case ToolbarButtonId::Montage:
            return montage_;
        case ToolbarButtonId::Auto:
            return auto_;
        case ToolbarButtonId::Schedule:
            return schedule_;
        case ToolbarButtonId::Options:
            return options_;
    }
    return nullptr;
}

void ToolbarPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    downloads_->move(0, 0);
    montage_->move(downloads_->geometry().right() + 1, 0);
    auto_->move(montage_->geometry().right() + 1 + kAutoGap, 0);
    schedule_->move(auto_->geometry().right() + 1 + kIconButtonGap, 0);
    options_->move(schedule_->geometry().right() + 1 + kIconButtonGap, 0);
}

void ToolbarPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colours::kToolbar);
}

}  // namespace rg
