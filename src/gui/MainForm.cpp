#include "MainForm.h"

#include "AboutForm.h"
#include "AppFactory.h"
#include "HelpCommand.h"
#include "Icons.h"
#include "ParsForm.h"
#include "PreviewForm.h"
#include "SettingsAccess.h"
#include "TrayMenu.h"
#include "TrayPlace.h"
#include "WatcherService.h"
#include "WidgetProgress.h"
#include "report/VxReport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>

#include <cstdio>

namespace quillon {

namespace {
constexpr int kFirstIntervalMs = 3000;
} // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint)
{
    setWindowTitle(QStringLiteral("MainForm"));
    setFixedSize(173, 72);
    spbHide = new QPushButton(QStringLiteral("Hide"), this);
    spbHide->setFlat(true);
    spbHide->setGeometry(101, 42, 36, 25);
    connect(spbHide, &QPushButton::clicked, this, [this] { spbHideClick(); });
    lbNoTray = new QLabel(QStringLiteral("Quillon Print\nbez obszaru powiadomień"), this);
    lbNoTray->setGeometry(6, 4, 161, 34);
    spbMenu = new QPushButton(QStringLiteral("Menu"), this);
    spbMenu->setGeometry(8, 42, 85, 25);
    lbNoTray->hide();
    spbMenu->hide();

    m_progress = std::make_unique<WidgetProgress>();
    SpoolIntake::Hooks hooks;
    hooks.beep = [] { QApplication::beep(); };
    hooks.preview = [this](TVxReport& report) { preview(report); };
    hooks.problem = [this](const std::string& message) { problem(message); };
    m_watcher = makeWatcher(m_settings, *m_progress, hooks);
    m_watcher->start(kFirstIntervalMs);

    m_menu = new TTrayMenu(this);
    m_menu->setWindowFlags(m_menu->windowFlags() | Qt::Popup);
    connect(m_menu->ZmienParametry, &QAction::triggered, this, [this] { ZmienParametryClick(); });
    connect(m_menu->Instrukcje, &QAction::triggered, this, [this] { InstrukcjeClick(); });
    connect(m_menu->Oprogramie, &QAction::triggered, this, [this] { OprogramieClick(); });
    connect(m_menu->Zakoncz, &QAction::triggered, this, [this] { ZakonczClick(); });
    connect(spbMenu, &QPushButton::clicked, this,
            [this] { m_menu->popup(spbMenu->mapToGlobal(QPoint(0, spbMenu->height()))); });

    // The icon is made once the desktop offers a place for it, of the kind that place takes.
    m_place = new TrayPlace(this);
    connect(m_place, &TrayPlace::placeChosen, this, [this] { makeTrayIcon(); });
    if (m_place->chosen())
        makeTrayIcon();
    // Where the program draws the icon itself (docked into an X11 tray host) the menu pops when
    // the right button is released; the desktop's own tray menus keep their host's habit.
    qApp->installEventFilter(this);
    setTrayShown(m_place->available());
    connect(m_place, &TrayPlace::availableChanged, this, [this](bool available) { notificationAreaChanged(available); });
}

void TMainForm::makeTrayIcon()
{
    m_tray = new QSystemTrayIcon(programIcon(), this);
    m_tray->setToolTip(QStringLiteral("Drukowanie z DOS-a"));
    m_tray->setContextMenu(m_menu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        iconActivated(reason);
    });
}

TMainForm::~TMainForm()
{
    if (m_tray)
        m_tray->hide();
}

void TMainForm::FormCreate()
{
    m_settings.PeekPaths.clear();
    std::string error;
    if (!loadSettings(m_settings, error)) {
        QMessageBox::critical(this, QLatin1String(kAppTitle), displayText(error));
        return;
    }
    m_started = true;
    // The stored interval holds from the first tick on.
    m_watcher->setIntervalFromNextTick(m_settings.PollingFreq * 1000);
    if (!m_trayShown) {
        auto* box = new QMessageBox(QMessageBox::Warning, QLatin1String(kAppTitle),
            QStringLiteral("Na pulpicie nie ma obszaru powiadomień, więc ikona Quillon Print nie ma "
                           "gdzie się pokazać. Program drukuje dalej, a jego polecenia są pod przyciskiem "
                           "„Menu” tego okienka. Ikona pojawi się, gdy pulpit udostępni obszar powiadomień."),
            QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
        m_noTrayBox = box;
        return;
    }
    // The window shows for a moment; then its own queued click hides it.
    const QPointF at(2, 2);
    const QPointF global = spbHide->mapToGlobal(QPoint(2, 2));
    QCoreApplication::postEvent(spbHide, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                         Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(spbHide, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                         Qt::NoButton, Qt::NoModifier));
}

void TMainForm::setTrayShown(bool shown)
{
    m_trayShown = shown;
    if (shown && m_tray)
        m_tray->show();
    lbNoTray->setVisible(!shown);
    spbMenu->setVisible(!shown);
    spbHide->setEnabled(shown);
}

void TMainForm::iconActivated(QSystemTrayIcon::ActivationReason reason)
{
    // An X11 tray reports each press: a single click does nothing there. A StatusNotifier host
    // sends "Activate" (its primary click, reported as Trigger) and "SecondaryActivate" (mostly
    // the middle button, reported as MiddleClick): both open the settings, the menu's default.
    const bool opens = reason == QSystemTrayIcon::DoubleClick
        || (m_place->overDBus() && (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::MiddleClick));
    if (!opens)
        return;
    // Queued: the dialog's own event loop must not run inside the icon's event handling; the
    // icon's window is made anew when the notification area comes back, which may happen while
    // the dialog is open.
    QMetaObject::invokeMethod(this, [this] { ZmienParametryClick(); }, Qt::QueuedConnection);
}

void TMainForm::notificationAreaChanged(bool available)
{
    if (available == m_trayShown)
        return;
    if (available) {
        // A notification area appeared (or came back): the icon moves in, the window goes. An
        // X11 icon is docked anew; a D-Bus item registers with the new watcher by itself, and
        // made anew it would leave that watcher holding the bus name of the old one.
        if (m_tray && !m_place->overDBus())
            m_tray->hide();
        setTrayShown(true);
        if (m_noTrayBox) // it speaks of the window that goes now
            m_noTrayBox->close();
        if (m_started)
            hide();
    } else {
        setTrayShown(false);
        show();
        raise();
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (m_quitting) {
        event->accept();
        if (m_tray)
            m_tray->hide();
        QCoreApplication::quit();
        return;
    }
    event->ignore();
    // Without a notification area the window is the program's only presence.
    if (m_trayShown)
        hide();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return false;
    // The window Qt docks into the notification area, made anew with each new tray host.
    if (!watched->isWidgetType() || !watched->inherits("QSystemTrayIconSys"))
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::RightButton)
        return false;
    // The press would pop the menu while the icon still holds the pointer.
    if (type == QEvent::MouseButtonRelease && m_trayShown)
        m_menu->popup(mouse->globalPosition().toPoint());
    return true;
}

void TMainForm::contextMenuEvent(QContextMenuEvent* event)
{
    m_menu->popup(event->globalPos());
}

void TMainForm::spbHideClick()
{
    close();
}

void TMainForm::ZakonczClick()
{
    m_quitting = true;
    close();
}

void TMainForm::InstrukcjeClick()
{
    showHelp();
}

void TMainForm::OprogramieClick()
{
    ShowAbout();
}

void TMainForm::ZmienParametryClick()
{
    if (m_parsForm) {
        m_parsForm->raise();
        m_parsForm->activateWindow();
        return;
    }
    TParsForm form(m_settings);
    m_parsForm = &form;
    struct Forget {
        TParsForm*& form;
        ~Forget() { form = nullptr; }
    } forget{m_parsForm};
    form.ReadWriteControls("READ");
    if (form.exec() != QDialog::Accepted)
        return;
    form.ReadWriteControls("WRITE");
    std::string error;
    if (!storeSettings(m_settings, error)) {
        QMessageBox::critical(nullptr, QLatin1String(kAppTitle), displayText(error));
        return;
    }
    m_watcher->setInterval(m_settings.PollingFreq * 1000);
}

void TMainForm::problem(const std::string& message)
{
    std::fprintf(stderr, "quillon-print: %s\n", message.c_str());
    if (m_trayShown && m_tray)
        m_tray->showMessage(QLatin1String(kAppTitle), QString::fromStdString(message),
                            QSystemTrayIcon::Warning, 15000);
    else
        lbNoTray->setToolTip(QString::fromStdString(message));
}

void TMainForm::preview(TVxReport& report)
{
    TPreviewForm form;
    form.setCodePage(DosCodePage::Cp852);
    report.setViewer(&form);
    struct Detach {
        TVxReport& report;
        ~Detach() { report.setViewer(nullptr); }
    } detach{report};
    form.activateWindow();
    report.ShowReport("Maximized");
}

} // namespace quillon
