#pragma once

#include <QWidget>

#include "engine/command_ids.h"
#include "shell/image_button.h"

namespace rg {

inline constexpr int kToolbarHeight = 26;

// The strip over the panes: "Downloads" and "Montage" switch the view, "Auto" toggles automatic
// downloading, "Schedule" and "Options" open their dialogs.
class ToolbarPane : public QWidget {
    Q_OBJECT
  public:
    explicit ToolbarPane(QWidget* parent = nullptr);

    ImageButton* button(ToolbarButtonId id) const;

  signals:
    void clicked(ToolbarButtonId id);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    ImageButton* downloads_;
    ImageButton* montage_;
    ImageButton* auto_;
    ImageButton* schedule_;
    ImageButton* options_;
};

}  // namespace rg
