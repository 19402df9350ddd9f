#pragma once

#include <QObject>
#include <optional>
#include <string>

class QClipboard;

namespace rg {

// Where clipboard changes come from. The Qt backend sees changes in the background on X11 and
// XWayland (XFixes); on Wayland Qt hears of them only while the window has focus, so there the
// backend also reads the clipboard when the window gains focus.
class ClipboardSource : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    // The clipboard's text; nullopt when it holds none.
    virtual std::optional<std::string> text() const = 0;
    virtual void set_text(const std::string& text) = 0;

  signals:
    void changed();
};

class QtClipboardSource : public ClipboardSource {
    Q_OBJECT
  public:
    explicit QtClipboardSource(QObject* parent = nullptr);
    std::optional<std::string> text() const override;
    void set_text(const std::string& text) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QClipboard* clipboard_;
    bool focus_only_;
};

}  // namespace rg
