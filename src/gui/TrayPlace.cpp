#include "TrayPlace.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QTimer>

namespace quillon {

namespace {

constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
// An X11 tray host gives no notice when it comes or goes: it is looked for this often.
constexpr int kPollMs = 2000;

bool watcherOnBus(const QDBusConnection& bus)
{
    QDBusConnectionInterface* names = bus.interface();
    return names && names->isServiceRegistered(QLatin1String(kWatcherService)).value();
}

// What Qt's desktop themes ask before they make a tray icon a StatusNotifier item: a watcher
// that says a host shows its items. Platforms without those themes (offscreen) never do.
bool qtMakesStatusNotifierItems()
{
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb") && !platform.startsWith(QLatin1String("wayland")))
        return false;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !watcherOnBus(bus))
        return false;
    QDBusInterface watcher{QLatin1String(kWatcherService), QLatin1String(kWatcherPath),
                           QLatin1String(kWatcherService), bus};
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

} // namespace

TrayPlace::TrayPlace(QObject* parent) : QObject(parent), m_overDBus(qtMakesStatusNotifierItems())
{
    if (m_overDBus) {
        // The bus tells at once when the watcher comes or goes (a desktop shell restarting).
        m_watcher = new QDBusServiceWatcher(QLatin1String(kWatcherService), QDBusConnection::sessionBus(),
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] { update(); });
    } else {
        m_poll = new QTimer(this);
        m_poll->setInterval(kPollMs);
        connect(m_poll, &QTimer::timeout, this, [this] { update(); });
        m_poll->start();
    }
    m_available = look();
}

bool TrayPlace::look() const
{
    if (m_overDBus)
        return watcherOnBus(QDBusConnection::sessionBus());
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayPlace::update()
{
    const bool now = look();
    if (now == m_available)
        return;
    m_available = now;
    emit availableChanged(now);
}

} // namespace quillon
