#pragma once
// Where the tray icon lives, and whether that place is there now. Desktops host tray icons either
// as StatusNotifier items over D-Bus (a watcher on the session bus, org.kde.StatusNotifierWatcher,
// with a host behind it) or in an X11 tray. Qt chooses once per process, when the first icon is
// made: the D-Bus item when a watcher with a host is there, else the X11 tray; the icon never
// moves from one to the other afterwards.

#include <QObject>

class QDBusServiceWatcher;
class QTimer;

namespace quillon {

class TrayPlace : public QObject {
    Q_OBJECT
public:
    // Made before the program's tray icon, so that it sees what Qt sees when the icon is made.
    explicit TrayPlace(QObject* parent = nullptr);

    // True when the icon is a StatusNotifier item (its host clicks "Activate").
    bool overDBus() const { return m_overDBus; }
    // True while the icon's place is there: the watcher for an item, the X11 tray else.
    bool available() const { return m_available; }

signals:
    // The place came or went.
    void availableChanged(bool available);

private:
    bool look() const;
    void update();

    bool m_overDBus = false;
    bool m_available = false;
    QDBusServiceWatcher* m_watcher = nullptr;
    QTimer* m_poll = nullptr;
};

} // namespace quillon
