#pragma once
// Where the tray icon lives, and whether that place is there now. Desktops host tray icons either
// as StatusNotifier items over D-Bus (a watcher on the session bus, org.kde.StatusNotifierWatcher,
// with a host behind it) or in an X11 tray. Qt chooses once per process, when it first makes an
// icon or is asked whether a tray is available: the D-Bus item when a watcher with a host is
// there, else the X11 tray; an icon never moves from one to the other afterwards. So nothing
// asks Qt before either place is there: a program started before its desktop's shell (at login)
// still gets the kind of icon that the shell hosts.

#include <QObject>

namespace quillon {

class TrayPlace : public QObject {
    Q_OBJECT
public:
    explicit TrayPlace(QObject* parent = nullptr);

    // True once a place has been seen: from then on the icon may be made (and Qt chooses its
    // kind as this class did).
    bool chosen() const { return m_kind != Kind::None; }
    // True when the icon is a StatusNotifier item (its host clicks "Activate").
    bool overDBus() const { return m_kind == Kind::DBus; }
    // True while the icon's place is there: the watcher for an item, the X11 tray else.
    bool available() const { return m_available; }

signals:
    // A place was seen for the first time; availableChanged(true) follows.
    void placeChosen();
    // The place came or went.
    void availableChanged(bool available);

private:
    enum class Kind { None, DBus, X11 };
    void choose();
    bool look() const;
    void update();

    Kind m_kind = Kind::None;
    bool m_available = false;
};

} // namespace quillon
