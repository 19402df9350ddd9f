// The window over a list of 100,000 downloads (the URL series limit), on the offscreen platform:
// how long the list takes to load and show, what one 700 ms repaint costs on the main thread and
// how many rows it paints, the memory of the whole program, and how long the 10-second save of
// such a list holds the main thread. Prints one line per figure; bench/list_view.sh records them.
#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <string>

#include "engine/list_file.h"
#include "shell/download_row_delegate.h"
#include "shell/gui_app.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

constexpr int kRows = 100000;
constexpr int kRunning = 3;
constexpr int kRepaints = 50;

// A delegate that counts the rows it paints.
class CountingDelegate : public rg::DownloadRowDelegate {
  public:
    using DownloadRowDelegate::DownloadRowDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        ++painted;
        DownloadRowDelegate::paint(painter, option, index);
    }
    mutable long painted = 0;
};

long resident_kb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

void write_list(const std::string& folder) {
    rg::test::RecordingHost host;
    rg::ListFile file(folder, host);
    file.open();
    rg::DownloadList list;
    for (int i = 0; i < kRows; ++i) {
        rg::DownloadItem& item = list.append_item();
        auto data = item.lock();
        data->set_url("http://127.0.0.1:9/series/img" + std::to_string(i) + ".jpg");
        data->set_local_path(folder + "/img" + std::to_string(i) + ".jpg");
        data->saved.total_size = 1000000;
        data->saved.downloaded = i % 1000000;
        data->saved.resumable = 1;
    }
    file.save(list);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    rg::test::TempDir dir;
    rg::test::write_file(dir.file("rlg.ini"), "[General]\nStartMinimized=0\nMonitorClipboard=0\n");
    write_list(dir.path());
    const long before_kb = resident_kb();
    QElapsedTimer load_clock;
    load_clock.start();
    {
        rg::test::RecordingHost host;
        rg::ListFile file(dir.path(), host);
        file.open();
        rg::DownloadList list;
        file.load(list);
    }
    const double list_load_ms = static_cast<double>(load_clock.nsecsElapsed()) / 1e6;

    QApplication app(argc, argv);
    rg::test::RecordingHost host;
    QElapsedTimer clock;
    clock.start();
    rg::GuiApp gui(dir.path(), host);
    gui.start({});
    rg::MainWindow& window = *gui.window();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QApplication::processEvents();
    const double load_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;

    auto* view = window.downloads_pane()->list();
    auto* counter = new CountingDelegate(view);
    view->setItemDelegate(counter);
    // Rows that look running: their speed and colour are read like a live download's.
    for (int i = 0; i < kRunning; ++i)
        gui.session().list.item_at(i)->state = rg::ItemState::Running;

    counter->painted = 0;
    clock.restart();
    for (int i = 0; i < kRepaints; ++i) {
        window.repaint_rows();
        view->viewport()->repaint();
    }
    const double repaint_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6 / kRepaints;
    const double rows_per_repaint = static_cast<double>(counter->painted) / kRepaints;

    view->scrollToBottom();
    counter->painted = 0;
    clock.restart();
    window.repaint_rows();
    view->viewport()->repaint();
    const double scrolled_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const long scrolled_rows = counter->painted;

    for (int i = 0; i < kRunning; ++i)
        gui.session().list.item_at(i)->state = rg::ItemState::Stopped;
    gui.session().list.item_at(0)->lock()->saved.downloaded += 1;
    clock.restart();
    gui.controller().save_list();
    const double save_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;

    std::printf("rows %d\n", kRows);
    std::printf("list_file_load_alone_ms %.1f\n", list_load_ms);
    std::printf("load_and_show_ms %.1f\n", load_ms);
    std::printf("repaint_ms %.3f\n", repaint_ms);
    std::printf("rows_painted_per_repaint %.1f\n", rows_per_repaint);
    std::printf("repaint_at_bottom_ms %.3f rows %ld\n", scrolled_ms, scrolled_rows);
    std::printf("resident_mb %.1f (before Qt: %.1f)\n", resident_kb() / 1024.0, before_kb / 1024.0);
    std::printf("save_on_main_thread_ms %.1f\n", save_ms);
    return 0;
}
