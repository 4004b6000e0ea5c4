#include "WatcherService.h"

#include "AppPaths.h"

#include <QDir>

#include <utility>

namespace quillon {

std::string WatcherService::skipListPath()
{
    return appDataDir() + "/skipped-spool-files";
}

WatcherService::WatcherService(const TSettings& settings, std::unique_ptr<ReportPrinter> printer,
                               ReportProgress& progress, SpoolIntake::Hooks hooks)
    : m_session(std::move(printer), settings, progress, appDataDir()), m_skip(skipListPath()),
      m_intake(m_session.engine(), m_spool, m_skip, withTimer(std::move(hooks)),
               QDir::homePath().toStdString())
{
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        if (m_afterFirstTick > 0) {
            m_timer.setInterval(std::exchange(m_afterFirstTick, 0));
            m_timer.start();
        }
        m_intake.TimerTimer();
    });
}

SpoolIntake::Hooks WatcherService::withTimer(SpoolIntake::Hooks hooks)
{
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

void WatcherService::start(int intervalMs)
{
    m_running = true;
    m_timer.start(intervalMs);
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
