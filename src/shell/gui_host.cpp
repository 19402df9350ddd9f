#include "shell/gui_host.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>
#include <memory>

#include "settings/ui/credentials_dialog.h"
#include "shell/dialogs/message_dialog.h"

namespace rg {

namespace {

constexpr std::string_view kEveryFilePattern = "*.*";

QString from_std(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

MessageAnswer cancelling_answer(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
        case MessageButtons::OkCancel:
        case MessageButtons::YesNoCancel:
            break;
    }
    return MessageAnswer::Cancel;
}

}  // namespace

QString qt_filter(const FileFilter& filter) {
    const QString pattern =
        filter.pattern == kEveryFilePattern ? QStringLiteral("*") : from_std(filter.pattern);
    return QStringLiteral("%1 (%2)").arg(from_std(filter.text), pattern);
}

GuiHost::GuiHost(QObject* parent)
    : QObject(parent),
      open_url(&QDesktopServices::openUrl),
      last_folder_(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)) {
    if (last_folder_.isEmpty())
        last_folder_ = QDir::homePath();
}

GuiHost::~GuiHost() {
    // Questions handed over but not shown yet are dropped. The host outlives every worker.
    abandon(true);
}

QWidget* GuiHost::owner() const {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return window_.data();
}

void GuiHost::abandon(bool on) {
    {
        std::lock_guard guard(mutex_);
        abandon_depth_ += on ? 1 : -1;
    }
    answered_.notify_all();
}

template <class Answer>
Answer GuiHost::on_gui_thread(std::function<Answer()> ask, Answer cancelled) {
    if (QThread::currentThread() == thread())
        return ask();

    struct Pending {
        std::optional<Answer> answer;
        bool asker_gone = false;  // the asker took the cancelling answer and left
    };
    auto pending = std::make_shared<Pending>();
    {
        std::lock_guard guard(mutex_);
        if (abandon_depth_ > 0)
            return cancelled;
    }
    QMetaObject::invokeMethod(
        this,
        [this, pending, ask = std::move(ask)] {
            {
                std::lock_guard guard(mutex_);
                if (abandon_depth_ > 0 || pending->asker_gone)
                    return;
            }
            Answer answer = ask();
            {
                std::lock_guard guard(mutex_);
                pending->answer = std::move(answer);
            }
            answered_.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock lock(mutex_);
    answered_.wait(lock, [&] { return pending->answer.has_value() || abandon_depth_ > 0; });
    if (pending->answer)
        return *pending->answer;
    pending->asker_gone = true;
    return cancelled;
}

MessageAnswer GuiHost::message_box(std::string_view text, std::string_view caption,
                                   MessageButtons buttons, MessageIcon icon) {
    return on_gui_thread<MessageAnswer>(
        [this, text = std::string(text), caption = std::string(caption), buttons, icon] {
            MessageDialog box(text, caption, buttons, icon, owner());
            return box.ask();
        },
        cancelling_answer(buttons));
}

std::optional<std::string> GuiHost::choose_save_file(std::string_view proposed_path,
                                                     const FileFilter& filter) {
    return on_gui_thread<std::optional<std::string>>(
        [this, proposed = std::string(proposed_path), filter] {
            QString start = from_std(proposed);
            if (QFileInfo(start).isRelative())
                start = QDir(last_folder_).filePath(start);
            const QString chosen = QFileDialog::getSaveFileName(owner(), from_std(kSaveFileTitle),
                                                                start, qt_filter(filter));
            if (chosen.isEmpty())
                return std::optional<std::string>();
            last_folder_ = QFileInfo(chosen).absolutePath();
            return std::optional<std::string>(chosen.toStdString());
        },
        std::nullopt);
}

std::optional<CredentialsAnswer> GuiHost::ask_credentials(std::string_view url) {
    (void)url;  // the dialog names no download, as it always has
    return on_gui_thread<std::optional<CredentialsAnswer>>(
        [this] {
            CredentialsDialog dialog(*this, owner());
            dialog.exec();
            return dialog.answer();
        },
        std::nullopt);
}

void GuiHost::open_file(const std::string& path) {
    QMetaObject::invokeMethod(
        this, [this, path] { open_url(QUrl::fromLocalFile(QString::fromStdString(path))); },
        Qt::AutoConnection);
}

void GuiHost::list_changed() {
    emit list_was_changed();
}

}  // namespace rg
