#include "TrayPlace.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace quillon {

namespace {

constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
// An X11 tray host, or a watcher's host, gives this program no notice when it comes or goes:
// they are looked for this often.
constexpr int kPollMs = 2000;

bool watcherOnBus(const QDBusConnection& bus)
{
    QDBusConnectionInterface* names = bus.interface();
    return names && names->isServiceRegistered(QLatin1String(kWatcherService)).value();
}

// A desktop's platform: its Qt themes make StatusNotifier items, and tray hosts may come. Other
// platforms (offscreen) never have a tray.
bool desktopPlatform()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

// What Qt's desktop themes ask before they make a tray icon a StatusNotifier item: a watcher
// that says a host shows its items.
bool statusNotifierHostThere()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !watcherOnBus(bus))
        return false;
    QDBusInterface watcher{QLatin1String(kWatcherService), QLatin1String(kWatcherPath),
                           QLatin1String(kWatcherService), bus};
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

// An X11 tray host owns the selection _NET_SYSTEM_TRAY_Sn of its screen; asked of the X server
// itself, since asking Qt would make Qt choose.
bool x11TrayThere()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    int screen = 0;
    if (const char* display = std::getenv("DISPLAY")) {
        const std::string d = display;
        const size_t colon = d.rfind(':');
        const size_t dot = d.find('.', colon == std::string::npos ? 0 : colon);
        if (dot != std::string::npos)
            screen = std::atoi(d.c_str() + dot + 1);
    }
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, uint16_t(name.size()), name.c_str()), nullptr),
        &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr), &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

} // namespace

TrayPlace::TrayPlace(QObject* parent) : QObject(parent)
{
    if (!desktopPlatform())
        return;
    // The bus tells at once when the watcher comes or goes (a desktop shell starting or ending).
    auto* watcher = new QDBusServiceWatcher(QLatin1String(kWatcherService), QDBusConnection::sessionBus(),
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] { update(); });
    auto* poll = new QTimer(this);
    poll->setInterval(kPollMs);
    connect(poll, &QTimer::timeout, this, [this] { update(); });
    poll->start();
    choose();
    m_available = chosen() && look();
}

void TrayPlace::choose()
{
    if (statusNotifierHostThere())
        m_kind = Kind::DBus;
    else if (x11TrayThere())
        m_kind = Kind::X11;
}

bool TrayPlace::look() const
{
    if (m_kind == Kind::DBus)
        return watcherOnBus(QDBusConnection::sessionBus());
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayPlace::update()
{
    if (!chosen()) {
        choose();
        if (!chosen())
            return;
        emit placeChosen();
    }
    const bool now = look();
    if (now == m_available)
        return;
    m_available = now;
    emit availableChanged(now);
}

} // namespace quillon
