#include "shell/clipboard_source.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>

namespace rg {

QtClipboardSource::QtClipboardSource(QObject* parent)
    : ClipboardSource(parent),
      clipboard_(QGuiApplication::clipboard()),
      focus_only_(QGuiApplication::platformName().startsWith("wayland")) {
    connect(clipboard_, &QClipboard::dataChanged, this, &ClipboardSource::changed);
    if (focus_only_)
        qApp->installEventFilter(this);
}

std::optional<std::string> QtClipboardSource::text() const {
    const QString text = clipboard_->text(QClipboard::Clipboard);
    if (text.isEmpty())
        return std::nullopt;
    return text.toStdString();
}

void QtClipboardSource::set_text(const std::string& text) {
    clipboard_->setText(QString::fromStdString(text), QClipboard::Clipboard);
}

bool QtClipboardSource::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ApplicationActivate)
        emit changed();
    return ClipboardSource::eventFilter(watched, event);
}

}  // namespace rg
