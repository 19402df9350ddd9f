#include "shell/tray_icon.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QMenu>

namespace rg {

namespace {

constexpr const char* kTip = "Reelgrab";
constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";
// How often the tray is looked for again (an XEmbed tray host starting or ending).
constexpr int kRecheckMs = 3000;

}  // namespace

TrayIcon::TrayIcon(QMenu* menu, const QIcon& icon, QObject* parent)
    : QObject(parent),
      menu_(menu),
      icon_(icon),
      probe_([] { return QSystemTrayIcon::isSystemTrayAvailable(); }) {
    recheck_timer_.setInterval(kRecheckMs);
    connect(&recheck_timer_, &QTimer::timeout, this, &TrayIcon::recheck);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        watcher_ = new QDBusServiceWatcher(kWatcherService, bus,
                                           QDBusServiceWatcher::WatchForRegistration, this);
        connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
            // A new watcher: the icon is made again so that Qt chooses the D-Bus tray.
            tray_.reset();
            make_icon();
            recheck();
        });
    }
    make_icon();
    available_ = probe_();
    recheck_timer_.start();
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::make_icon() {
    tray_ = std::make_unique<QSystemTrayIcon>(icon_);
    tray_->setToolTip(kTip);
    tray_->setContextMenu(menu_);
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // The D-Bus tray reports a click as Trigger, never as a double click.
                if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
                    emit show_wanted();
            });
    tray_->show();
}

void TrayIcon::set_probe(std::function<bool()> probe) {
    probe_ = std::move(probe);
    recheck();
}

void TrayIcon::recheck() {
    const bool now = probe_();
    if (now == available_)
        return;
    available_ = now;
    if (available_) {
        // An XEmbed tray that appeared: show the icon again so it docks.
        tray_->hide();
        tray_->show();
    }
    emit availability_changed(available_);
}

}  // namespace rg
