// quillon-print on a desktop that hosts tray icons over D-Bus (KDE Plasma, GNOME with
// AppIndicator, Xfce, Cinnamon): a private session bus, a private X display, and a
// StatusNotifier watcher of the test's own that does what such a desktop's host does with the
// program's item: reads its title and icon, clicks it, clicks the entries of its menu.

#include "core/TestFiles.h"
#include "RenderProcess.h"
#include "XDesktop.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

const QString kWatcherName = "org.kde.StatusNotifierWatcher";
const QString kItemInterface = "org.kde.StatusNotifierItem";

// The desktop's side: items register with it; it says that a host shows them.
class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    bool hostRegistered() const { return true; }
    QStringList items() const { return registered; }
    int protocolVersion() const { return 0; }

    QStringList registered; // the items' bus names, in the order they registered

public slots:
    void RegisterStatusNotifierItem(const QString& service) { registered << service; }
    void RegisterStatusNotifierHost(const QString&) {}
};

// One entry of an exported menu.
struct MenuEntry {
    int id = 0;
    QString label;
};

// A layout (ia{sv}av) of com.canonical.dbusmenu, depth first.
void readLayout(const QDBusArgument& arg, std::vector<MenuEntry>& out)
{
    int id = 0;
    QVariantMap properties;
    arg.beginStructure();
    arg >> id >> properties;
    if (properties.contains("label") && properties.value("type").toString() != "separator")
        out.push_back({id, properties.value("label").toString()});
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        readLayout(qvariant_cast<QDBusArgument>(child.variant()), out);
    }
    arg.endArray();
    arg.endStructure();
}

class StatusNotifierDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const QString missing = XDesktop::missingTool({"dbus-daemon"}); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString() << " is not installed (apt-get install xvfb openbox xdotool x11-utils dbus-daemon)";
        for (const char* d : {"home", "config/Terlo", "data", "spool", "bin", "bus"})
            fs::create_directories(dir.file(d));
        std::ofstream(dir.file("config/Terlo/QuillonPrint.conf"))
            << "[General]\nPollingFreq=2\nPreview=OFF\nPeekPath0=" << dir.file("spool/*.prn") << "\n";
        // The desktop's document opener: says what it was asked to open.
        const std::string opener = dir.file("bin/xdg-open");
        std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << dir.file("opened") << "'\n";
        fs::permissions(opener, fs::perms::owner_all);

        env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", qs(dir.file("home")));
        env.insert("XDG_CONFIG_HOME", qs(dir.file("config")));
        env.insert("XDG_DATA_HOME", qs(dir.file("data")));
        env.insert("PATH", qs(dir.file("bin")) + ":" + env.value("PATH"));
        env.insert("QT_QPA_PLATFORM", "xcb");
        for (const char* name : {"WAYLAND_DISPLAY", "QT_QPA_PLATFORMTHEME", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION"})
            env.remove(name);

        // The session bus: a bus of the test's own, not the machine's.
        std::ofstream(dir.file("bus/session.conf")) << R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=)" << dir.file("bus") << R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";
        bus = desktop.run("dbus-daemon", {"--nofork", "--print-address=1", "--config-file=" + qs(dir.file("bus/session.conf"))});
        QString said;
        ASSERT_TRUE(waitFor([&] {
            bus->waitForReadyRead(50);
            said += QString::fromLocal8Bit(bus->readAll());
            return said.contains('\n');
        }, 10000)) << "dbus-daemon did not start: " << said.toStdString();
        busAddress = said.section('\n', 0, 0).trimmed();
        env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);

        const std::string failed = desktop.start(env);
        ASSERT_EQ(failed, "");
    }

    void TearDown() override
    {
        XDesktop::stop(desktop.program);
        leaveWatcher();
        XDesktop::stop(bus);
    }

    // The watcher takes its name on the bus, as a desktop shell does when it starts.
    bool joinWatcher()
    {
        QDBusConnection c = QDBusConnection::connectToBus(busAddress, "watcher");
        if (!c.isConnected())
            return false;
        watcher = std::make_unique<Watcher>();
        return c.registerObject("/StatusNotifierWatcher", watcher.get(), QDBusConnection::ExportAllContents)
            && c.registerService(kWatcherName);
    }

    // The watcher's process ends: its name leaves the bus.
    void leaveWatcher()
    {
        QDBusConnection::disconnectFromBus("watcher");
        watcher.reset();
    }

    QDBusConnection host() const { return QDBusConnection("watcher"); }

    QDBusMessage callItem(const QString& path, const QString& interface, const QString& method, const QVariantList& args)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(item, path, interface, method);
        call.setArguments(args);
        return host().call(call, QDBus::Block, 5000);
    }

    QVariant itemProperty(const QString& name)
    {
        const QDBusMessage reply = callItem("/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get", {kItemInterface, name});
        return reply.arguments().isEmpty() ? QVariant() : qvariant_cast<QDBusVariant>(reply.arguments().at(0)).variant();
    }

    std::vector<MenuEntry> menu(const QString& path)
    {
        const QDBusMessage reply = callItem(path, "com.canonical.dbusmenu", "GetLayout", {0, -1, QStringList()});
        std::vector<MenuEntry> entries;
        if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 2)
            readLayout(qvariant_cast<QDBusArgument>(reply.arguments().at(1)), entries);
        return entries;
    }

    // Waits for the program's item to register; it becomes the item the watcher talks to.
    bool itemRegisters(qsizetype registrations)
    {
        if (!waitFor([&] { return watcher->registered.size() >= registrations; }, 20000))
            return false;
        item = watcher->registered.last();
        return true;
    }

    TempDir dir;
    QProcessEnvironment env;
    XDesktop desktop;
    std::unique_ptr<QProcess> bus;
    QString busAddress;
    std::unique_ptr<Watcher> watcher;
    QString item;
};

} // namespace

TEST_F(StatusNotifierDesktop, ItemIsTitledWithItsIconNameClicksOpenTheSettingsItsMenuWorksAndTheWindowStandsInWhileNoWatcher)
{
    ASSERT_TRUE(joinWatcher());
    desktop.program = desktop.run(QUILLON_PRINT, {});
    ASSERT_TRUE(itemRegisters(1)) << "the item never registered\n" << desktop.scene("sni-failure");

    EXPECT_EQ(itemProperty("Title").toString().toStdString(), "Quillon Print");
    EXPECT_EQ(itemProperty("IconName").toString().toStdString(), "quillon-print");
    const QDBusArgument pixmaps = qvariant_cast<QDBusArgument>(itemProperty("IconPixmap"));
    int pictures = 0;
    pixmaps.beginArray();
    while (!pixmaps.atEnd()) {
        int w = 0, h = 0;
        QByteArray argb;
        pixmaps.beginStructure();
        pixmaps >> w >> h >> argb;
        pixmaps.endStructure();
        pictures += w > 0 && argb.size() == 4 * w * h;
    }
    pixmaps.endArray();
    EXPECT_GT(pictures, 0) << "the pixmaps go along with the name";
    EXPECT_TRUE(waitFor([&] { return desktop.visibleWindow("MainForm").isEmpty(); }, 10000)) << "the main window hides itself";

    // The host's click opens the settings dialog; Esc closes it.
    const QString dialogTitle = "Qvp Print (parametry)";
    for (const char* click : {"Activate", "SecondaryActivate"}) {
        callItem("/StatusNotifierItem", kItemInterface, click, {0, 0});
        QString dialog;
        ASSERT_TRUE(waitFor([&] { return !(dialog = desktop.visibleWindow(dialogTitle)).isEmpty(); }, 10000))
            << click << " opened no settings dialog\n" << desktop.scene("sni-failure");
        desktop.typeInto(dialog, "Escape");
        ASSERT_TRUE(waitFor([&] { return desktop.visibleWindow(dialogTitle).isEmpty(); }, 10000)) << desktop.scene("sni-failure");
    }

    // The desktop's shell ends: no icon anywhere, so the window with the menu's commands stands
    // in for it.
    leaveWatcher();
    ASSERT_TRUE(waitFor([&] { return !desktop.visibleWindow("MainForm").isEmpty(); }, 10000))
        << "no window while nothing shows the icon\n" << desktop.scene("sni-failure");
    desktop.screenshot("sni-no-watcher");

    // The shell comes back: the item registers again and the window goes.
    ASSERT_TRUE(joinWatcher());
    ASSERT_TRUE(itemRegisters(1)) << "the item did not come back\n" << desktop.scene("sni-failure");
    EXPECT_TRUE(waitFor([&] { return desktop.visibleWindow("MainForm").isEmpty(); }, 10000)) << desktop.scene("sni-failure");

    const QStringList names = watcher->registered;
    EXPECT_TRUE(std::all_of(names.begin(), names.end(), [&](const QString& n) { return n == item; }))
        << "every registration names the living item: " << names.join(' ').toStdString();

    // The menu as the host shows it, and each of its four entries clicked there.
    const QString menuPath = qvariant_cast<QDBusObjectPath>(itemProperty("Menu")).path();
    std::vector<MenuEntry> entries;
    QStringList labels;
    waitFor([&] {
        entries = menu(menuPath);
        labels.clear();
        for (const MenuEntry& e : entries)
            labels << e.label;
        return !entries.empty();
    }, 10000);
    ASSERT_EQ(labels.join('|').toStdString(), "Pokaż lub zmień parametry|Pomoc|O programie|Zakończ")
        << "the menu at " << item.toStdString() << menuPath.toStdString() << ", registered: "
        << watcher->registered.join(' ').toStdString();
    auto click = [&](int entry) {
        callItem(menuPath, "com.canonical.dbusmenu", "Event", {entries[entry].id, "clicked", QVariant::fromValue(QDBusVariant(QString())), 0u});
    };
    auto opensAndCloses = [&](int entry, const QString& title) {
        click(entry);
        QString window;
        EXPECT_TRUE(waitFor([&] { return !(window = desktop.visibleWindow(title)).isEmpty(); }, 10000))
            << title.toStdString() << " did not open\n" << desktop.scene("sni-failure");
        if (window.isEmpty())
            return;
        desktop.typeInto(window, "Escape");
        EXPECT_TRUE(waitFor([&] { return desktop.visibleWindow(title).isEmpty(); }, 10000)) << desktop.scene("sni-failure");
    };
    opensAndCloses(0, dialogTitle);
    click(1);
    auto opened = [&] {
        const std::vector<uint8_t> bytes = readFile(dir.file("opened"));
        return std::string(bytes.begin(), bytes.end());
    };
    EXPECT_TRUE(waitFor([&] { return opened().find("/Pomoc.html") != std::string::npos; }, 10000))
        << "the help page was not handed to the desktop: " << opened();
    opensAndCloses(2, "O programie");
    click(3);
    ASSERT_TRUE(desktop.program->waitForFinished(10000)) << "the program runs on\n" << desktop.scene("sni-failure");
    EXPECT_EQ(desktop.program->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(desktop.program->exitCode(), 0);
}

TEST_F(StatusNotifierDesktop, AProgramStartedBeforeTheDesktopShellBecomesItsItemWhenTheShellComes)
{
    // At login the program may start before the shell that hosts its icon.
    desktop.program = desktop.run(QUILLON_PRINT, {});
    ASSERT_TRUE(waitFor([&] { return !desktop.visibleWindow("MainForm").isEmpty(); }, 15000))
        << "no window while nothing shows the icon\n" << desktop.scene("sni-failure");

    ASSERT_TRUE(joinWatcher());
    ASSERT_TRUE(itemRegisters(1)) << "the item never registered\n" << desktop.scene("sni-failure");
    EXPECT_EQ(itemProperty("Title").toString().toStdString(), "Quillon Print");
    EXPECT_TRUE(waitFor([&] { return desktop.visibleWindow("MainForm").isEmpty(); }, 10000)) << desktop.scene("sni-failure");
    EXPECT_TRUE(waitFor([&] { return desktop.visibleWindow("Quillon Print").isEmpty(); }, 10000))
        << "the message that there is no notification area goes with the window\n" << desktop.scene("sni-failure");
    desktop.screenshot("sni-shell-came");

    callItem("/StatusNotifierItem", kItemInterface, "Activate", {0, 0});
    EXPECT_TRUE(waitFor([&] { return !desktop.visibleWindow("Qvp Print (parametry)").isEmpty(); }, 10000))
        << "Activate opened no settings dialog\n" << desktop.scene("sni-failure");
}

#include "StatusNotifierTest.moc"
