#include "WatcherService.h"

#include "AppPaths.h"
#include "intake/SpoolPaths.h"
#include "settings/Settings.h"

#include <QDir>

#include <cstdio>
#include <utility>

namespace quillon {

std::string WatcherService::skipListPath()
{
    return appDataDir() + "/skipped-spool-files";
}

WatcherService::WatcherService(const TSettings& settings, std::unique_ptr<ReportPrinter> printer,
                               ReportProgress& progress, SpoolIntake::Hooks hooks)
    : m_settings(settings),
      m_folders([this] {
          // Writers often close a file several times in a row: the events of a few milliseconds
          // make one pass.
          if (!m_soon.isActive())
              m_soon.start();
      }),
      m_session(std::move(printer), settings, progress, appDataDir()), m_skip(skipListPath()),
      m_intake(m_session.engine(), m_spool, m_skip, withTimer(std::move(hooks)),
               QDir::homePath().toStdString())
{
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        // The interval asked for from the first tick on.
        if (m_afterFirstTick > 0) {
            m_timer.setInterval(std::exchange(m_afterFirstTick, 0));
            m_timer.start();
        }
        pass();
    });
    m_soon.setSingleShot(true);
    m_soon.setInterval(10);
    QObject::connect(&m_soon, &QTimer::timeout, [this] {
        // A pass at work (the engine lets events in once per page) runs this one after it ends.
        if (BusyFlag)
            m_passWanted = true;
        else
            pass();
    });
}

SpoolIntake::Hooks WatcherService::withTimer(SpoolIntake::Hooks hooks)
{
    // What only the log needs goes to the standard error, the session's log, unless told otherwise.
    if (!hooks.note)
        hooks.note = [](const std::string& text) { std::fprintf(stderr, "quillon: %s\n", text.c_str()); };
    // The pass stops the timer while it works and starts it again afterwards, unless nobody
    // started it (a single pass).
    hooks.setTimer = [this](bool enabled) {
        if (!m_running)
            return;
        if (enabled)
            m_timer.start();
        else
            m_timer.stop();
    };
    return hooks;
}

void WatcherService::pass()
{
    m_passWanted = false;
    refreshWatches();
    m_intake.TimerTimer();
    if (m_passWanted)
        m_soon.start();
}

void WatcherService::refreshWatches()
{
    std::map<std::string, std::set<std::string>> folders;
    if (m_running && m_instant) {
        const std::string home = QDir::homePath().toStdString();
        for (const std::string& pattern : m_settings.PeekPaths)
            if (isAbsolutePattern(pattern))
                folders[patternDirectory(pattern, home)].insert(patternMask(pattern));
    }
    m_folders.watch(folders);
}

void WatcherService::start(int intervalMs)
{
    m_running = true;
    m_timer.start(intervalMs);
    refreshWatches();
}

void WatcherService::setInstantPickup(bool on)
{
    m_instant = on;
    refreshWatches();
}

void WatcherService::setIntervalFromNextTick(int intervalMs)
{
    m_afterFirstTick = intervalMs == m_timer.interval() ? 0 : intervalMs;
}

void WatcherService::setInterval(int intervalMs)
{
    m_afterFirstTick = 0;
    if (intervalMs == m_timer.interval())
        return;
    m_timer.setInterval(intervalMs);
    if (m_running)
        m_timer.start();
}

} // namespace quillon
