#pragma once

#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "platform/host.h"

class QUrl;
class QWidget;

namespace rg {

// The GUI's Host: message boxes, the save-file chooser, the credentials prompt and opening files.
//
// The controller thread is Qt's main (GUI) thread: the controller, its timers and every question
// it asks run there, and a question asked on that thread runs at once, modally. A question from
// any other thread is handed to the GUI thread and the asking thread waits for the answer; the
// GUI thread never waits for it. Before the GUI thread waits for workers (stopping every run, the
// Montage's close, exit) it holds a QuestionsAbandoned: meanwhile every waiting question and every
// new one from another thread gets its cancelling answer (Cancel, or No without Cancel; no file;
// no credentials), so a worker blocked on a question never deadlocks the window.
class GuiHost : public QObject, public Host {
    Q_OBJECT

  public:
    explicit GuiHost(QObject* parent = nullptr);
    ~GuiHost() override;

    // The owner of the questions when no modal dialog is open (the main window).
    void set_window(QWidget* window) { window_ = window; }
    // The open modal dialog, else the window: questions asked while a dialog runs belong to it.
    QWidget* owner() const;

    MessageAnswer message_box(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override;
    std::optional<std::string> choose_save_file(std::string_view proposed_path,
                                                const FileFilter& filter) override;
    std::optional<CredentialsAnswer> ask_credentials(std::string_view url) override;
    void open_file(const std::string& path) override;
    void list_changed() override;

    // Opens a URL with the desktop's program; tests replace it.
    std::function<bool(const QUrl&)> open_url;

  signals:
    // On the GUI thread, after Host::list_changed from any thread.
    void list_was_changed();

  private:
    friend class QuestionsAbandoned;
    template <class Answer>
    Answer on_gui_thread(std::function<Answer()> ask, Answer cancelled);
    void abandon(bool on);

    // Where a proposal without a folder opens: the folder of the last choice, at first the user's
    // download folder (the Windows chooser, given no initial folder, opened where it last was).
    QString last_folder_;
    QPointer<QWidget> window_;
    std::mutex mutex_;
    std::condition_variable answered_;
    int abandon_depth_ = 0;
};

// While it lives, questions from other threads than the GUI thread get their cancelling answer.
class QuestionsAbandoned {
  public:
    explicit QuestionsAbandoned(GuiHost& host) : host_(host) { host_.abandon(true); }
    ~QuestionsAbandoned() { host_.abandon(false); }
    QuestionsAbandoned(const QuestionsAbandoned&) = delete;
    QuestionsAbandoned& operator=(const QuestionsAbandoned&) = delete;

  private:
    GuiHost& host_;
};

// The Qt file-dialog filter of a core filter ("All Files (*)"; "*.*" means every file here).
QString qt_filter(const FileFilter& filter);

}  // namespace rg
