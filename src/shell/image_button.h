#pragma once

#include <QAbstractButton>
#include <QColor>
#include <optional>

#include "shell/artwork.h"

namespace rg {

// The painted push button of the panes: a skin or a flat background, a frame that shows pressed
// and checked (the current view), the text in the button font and an optional icon.
class ImageButton : public QAbstractButton {
    Q_OBJECT
  public:
    struct Look {
        std::optional<ArtIcon> icon;
        bool skin = true;   // else the flat `background`
        bool dark = false;  // toolbar frames and skin
        QColor background;  // without a skin
        QColor text{Qt::black};
    };

    ImageButton(const QString& text, const Look& look, QWidget* parent = nullptr);

    // The checked flag of the toolbar's view buttons: painted only, never toggled by a click.
    void set_marked(bool on);
    bool marked() const { return marked_; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Look look_;
    bool marked_ = false;
};

}  // namespace rg
