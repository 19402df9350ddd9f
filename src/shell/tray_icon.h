#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <memory>

class QMenu;
class QDBusServiceWatcher;

namespace rg {

// The notification-area icon with the tray menu. Whether a tray exists can change while the
// program runs (a tray host or a status-notifier watcher starting late): available() tells, and
// availability_changed follows. Qt decides between the D-Bus and the XEmbed tray when an icon is
// made, so the icon is made again when a watcher appears.
class TrayIcon : public QObject {
    Q_OBJECT
  public:
    TrayIcon(QMenu* menu, const QIcon& icon, QObject* parent = nullptr);
    ~TrayIcon() override;

    bool available() const { return available_; }
    // For tests: what decides availability (default: QSystemTrayIcon's answer).
    void set_probe(std::function<bool()> probe);
    // Looks again whether a tray exists.
    void recheck();

  signals:
    // A click or a double click on the icon.
    void show_wanted();
    void availability_changed(bool available);

  private:
    void make_icon();

    QMenu* menu_;
    QIcon icon_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::function<bool()> probe_;
    bool available_ = false;
    QTimer recheck_timer_;
    QDBusServiceWatcher* watcher_ = nullptr;
};

}  // namespace rg
