#pragma once
// The tray program's main window: never meant to be seen, it owns the settings record, the
// watcher with its polling timer, the tray icon and its menu. Shown for a moment at start, it
// hides itself through a queued click of its "Hide" button; it stays on screen when the settings
// cannot be loaded or the desktop has no notification area.

#include "settings/Settings.h"

#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <memory>
#include <string>

class QLabel;
class QMessageBox;
class QPushButton;

namespace quillon {

class TParsForm;
class TrayPlace;
class TTrayMenu;
class TVxReport;
class WatcherService;
class WidgetProgress;

// The application title: message boxes and notifications carry it.
constexpr const char* kAppTitle = "Quillon Print";

class TMainForm : public QWidget {
    Q_OBJECT
public:
    // The timer starts polling every 3000 ms; the tray icon is shown where the desktop has a
    // notification area.
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Loads the settings. On an error: the error box, and the rest is skipped, so the window
    // stays. Else the stored interval holds from the first tick on, and the click that hides the
    // window is queued (unless there is no notification area: a message says so and the window
    // stays with the menu's commands).
    void FormCreate();

    TSettings& settings() { return m_settings; }
    WatcherService& watcher() { return *m_watcher; }
    TTrayMenu& menu() { return *m_menu; }
    // Null until the desktop has offered a place for the icon.
    QSystemTrayIcon* trayIcon() { return m_tray; }
    TParsForm* openSettingsDialog() const { return m_parsForm; }
    bool quitting() const { return m_quitting; }
    // True while the icon has a notification area to live in.
    bool trayShown() const { return m_trayShown; }

    QPushButton* spbHide;
    QPushButton* spbMenu; // the menu's commands while there is no notification area
    QLabel* lbNoTray;

    // The menu's commands.
    void ZmienParametryClick();
    void InstrukcjeClick();
    void OprogramieClick();
    void ZakonczClick();
    void spbHideClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    // A right click on the icon docked in an X11 tray host: the menu pops on the release.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void problem(const std::string& message);
    void preview(TVxReport& report);
    // Puts the icon into a notification area that appeared, and shows the window when the
    // area went away.
    void notificationAreaChanged(bool available);
    // The icon's clicks: a double click in an X11 tray, the host's clicks for a D-Bus item.
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    void setTrayShown(bool shown);
    void makeTrayIcon();

    TSettings m_settings;
    std::unique_ptr<WidgetProgress> m_progress;
    std::unique_ptr<WatcherService> m_watcher;
    TTrayMenu* m_menu;
    TrayPlace* m_place;
    QSystemTrayIcon* m_tray = nullptr;
    TParsForm* m_parsForm = nullptr;
    QPointer<QMessageBox> m_noTrayBox; // says at start that there is no notification area
    bool m_quitting = false;
    bool m_trayShown = false;
    bool m_started = false; // the settings loaded: the window is meant to be hidden
};

} // namespace quillon
