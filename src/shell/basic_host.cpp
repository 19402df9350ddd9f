#include "shell/basic_host.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <QUrl>

namespace rg {

namespace {

template <typename F>
auto on_gui_thread(F&& f) -> decltype(f()) {
    if (QThread::currentThread() == qApp->thread())
        return f();
    decltype(f()) result{};
    QMetaObject::invokeMethod(
        qApp, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}

QMessageBox::Icon box_icon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons box_buttons(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return QMessageBox::Ok;
        case MessageButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MessageButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

MessageAnswer answer_of(int button) {
    switch (button) {
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        default:
            return MessageAnswer::Ok;
    }
}

}  // namespace

MessageAnswer BasicHost::message_box(std::string_view text, std::string_view caption,
                                     MessageButtons buttons, MessageIcon icon) {
    const QString body = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QString title = QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
    return on_gui_thread([&] {
        QMessageBox box(box_icon(icon), title, body, box_buttons(buttons), owner_.data());
        return answer_of(box.exec());
    });
}

std::optional<std::string> BasicHost::choose_save_file(std::string_view proposed_path,
                                                       const FileFilter& filter) {
    const QString proposed = QString::fromStdString(std::string(proposed_path));
    const QString filter_text = QString::fromStdString(filter.text + " (" + filter.pattern + ")");
    return on_gui_thread([&]() -> std::optional<std::string> {
        const QString chosen = QFileDialog::getSaveFileName(
            owner_.data(), QString::fromUtf8(kSaveFileTitle.data(), kSaveFileTitle.size()),
            proposed, filter_text);
        if (chosen.isEmpty())
            return std::nullopt;
        return chosen.toStdString();
    });
}

void BasicHost::open_file(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

}  // namespace rg
