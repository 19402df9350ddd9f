#include "shell/gui_app.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "platform/data_dir.h"
#include "shell/artwork.h"
#include "shell/gui_host.h"
#include "shell/termination_signals.h"

namespace rg {

namespace {

constexpr const char* kDesktopFileName = "reelgrab";
constexpr const char* kInUseFormat = "%s is in use by another Reelgrab or by rlg.";
// How long a second start waits for the running copy to answer.
constexpr int kHandOverWaitMs = 2000;
constexpr int kUsageExitCode = 2;

void fatal_box(const QString& text) {
    QMessageBox box(QMessageBox::Critical,
                    QString::fromUtf8(kErrorCaption.data(), kErrorCaption.size()), text);
    box.exec();
}

}  // namespace

const char* const kNoDisplayText =
    "reelgrab: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset); "
    "use rlg, the command-line tool, instead";

bool display_available() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

GuiApp::GuiApp(std::string data_dir, Host& dialog_host, GuiHost* gui_host,
               std::unique_ptr<ClipboardSource> clipboard)
    : host_(dialog_host),
      gui_host_(gui_host),
      session_(std::move(data_dir), host_),
      clipboard_(std::move(clipboard)) {
    if (!clipboard_)
        clipboard_ = std::make_unique<QtClipboardSource>();
}

GuiApp::~GuiApp() {
    if (controller_) {
        const QuestionsWithdrawn withdrawn(gui_host_);
        // Workers end before the window and the pump they report to.
        controller_->stop_all();
        controller_->on_exit = nullptr;
    }
    window_.reset();
    pump_.reset();
    controller_.reset();
}

GuiApp::StartResult GuiApp::start(const std::vector<std::string>& urls) {
    switch (session_.open()) {
        case ListFile::OpenResult::Opened:
            break;
        case ListFile::OpenResult::Locked: {
            // Another copy may have taken the folder just now: hand over to it once it listens.
            if (hand_to_running_copy(session_.data_dir, Activation{own_activation_token(), urls},
                                     kHandOverWaitMs)) {
                return StartResult::HandedOver;
            }
            const QString text = QString::asprintf(kInUseFormat, session_.data_dir.c_str());
            std::fprintf(stderr, "reelgrab: %s\n", text.toLocal8Bit().constData());
            fatal_box(text);
            return StartResult::Failed;
        }
        case ListFile::OpenResult::Failed:
            fatal_box(QString::fromUtf8(kListFileFailedText.data(), kListFileFailedText.size()));
            return StartResult::Failed;
    }
    Controller::Parts parts = session_.controller_parts(host_);
    parts.power = &power_;
    controller_ = std::make_unique<Controller>(parts);
    pump_ = std::make_unique<ControllerPump>(*controller_);
    MainWindow::Parts window_parts{&session_, controller_.get(), pump_.get(),
                                   &host_,    clipboard_.get(),  gui_host_};
    window_ = std::make_unique<MainWindow>(window_parts);
    if (gui_host_ != nullptr)
        gui_host_->set_window(window_.get());
    host_.on_list_changed = [this] { window_->refresh_commands(); };
    controller_->on_exit = [] { QCoreApplication::quit(); };
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, window_.get(), [this] {
        const QuestionsWithdrawn withdrawn(gui_host_);
        controller_->exit_now();
    });

    pump_->start_timers();
    QObject::connect(&server_, &InstanceServer::activated, window_.get(),
                     [this](const Activation& activation) { activate(activation); });
    server_.listen(session_.data_dir);
    // A first start shows the window whatever StartMinimized says: a new user must see it.
    window_->finish_start(session_.settings.snapshot().StartMinimized != 0 &&
                          !session_.first_start);
    if (!urls.empty())
        activate(Activation{{}, urls});
    return StartResult::Started;
}

void GuiApp::exit_now() {
    if (!controller_) {
        QCoreApplication::quit();
        return;
    }
    const QuestionsWithdrawn withdrawn(gui_host_);
    controller_->exit_now();
}

void GuiApp::activate(const Activation& activation) {
    adopt_activation_token(activation.token);
    window_->show_window();
    if (!activation.urls.empty())
        window_->dialogs().new_download(activation.urls);
    window_->refresh_commands();
}

int run_gui(int argc, char** argv) {
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    const GuiArgs parsed = parse_gui_args(args);
    switch (parsed.action) {
        case GuiArgs::Action::Help:
            std::fputs(kGuiHelp, stdout);
            return 0;
        case GuiArgs::Action::Version:
            std::fputs(kGuiVersion, stdout);
            return 0;
        case GuiArgs::Action::Error:
            std::fprintf(stderr, "reelgrab: %s (see reelgrab --help)\n", parsed.error.c_str());
            return kUsageExitCode;
        case GuiArgs::Action::Run:
            break;
    }
    if (!display_available()) {
        std::fprintf(stderr, "%s\n", kNoDisplayText);
        return 1;
    }
    const DataDirResult data_dir = resolve_data_dir(parsed.data_dir);
    if (!data_dir.ok()) {
        std::fprintf(stderr, "reelgrab: %s\n", data_dir_error_text(data_dir.error));
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Reelgrab");
    QApplication::setDesktopFileName(kDesktopFileName);
    QApplication::setWindowIcon(application_icon());
    QApplication::setQuitOnLastWindowClosed(false);

    // A copy already serves this folder: it shows its window and takes the URLs.
    const Activation activation{own_activation_token(), parsed.urls};
    if (hand_to_running_copy(data_dir.folder, activation, kHandOverWaitMs))
        return 0;

    GuiHost dialog_host;
    GuiApp gui(data_dir.folder, dialog_host, &dialog_host);
    // A session that ends or a kill saves the list through the normal exit (aboutToQuit).
    TerminationSignals signals_to_quit;
    QObject::connect(&signals_to_quit, &TerminationSignals::received, &app,
                     [&gui] { gui.exit_now(); });
    switch (gui.start(parsed.urls)) {
        case GuiApp::StartResult::Failed:
            return kFatalExitCode;
        case GuiApp::StartResult::HandedOver:
            return 0;
        case GuiApp::StartResult::Started:
            break;
    }
    return QApplication::exec();
}

}  // namespace rg
