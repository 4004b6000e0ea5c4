#pragma once
// The intake as a service: the polling timer, the spool folders, the list of files not to take
// again and the job runner, wired to one print session. The tray program and the headless watcher
// both run it; they differ only in what they do with a beep, a preview and a problem.

#include "FolderWatcher.h"
#include "JobSession.h"
#include "intake/SpoolIntake.h"
#include "posix/PosixSpoolFiles.h"

#include <QTimer>

#include <memory>
#include <string>

namespace quillon {

class ReportProgress;
struct TSettings;

class WatcherService {
public:
    // settings: the program's record, read at every pass (the folder patterns) and every job;
    // it and progress outlive the service. printer: where direct jobs print.
    WatcherService(const TSettings& settings, std::unique_ptr<ReportPrinter> printer,
                   ReportProgress& progress, SpoolIntake::Hooks hooks);

    // Starts polling every interval milliseconds, and watching the folders of the patterns: a
    // spool file closed after writing, or moved in, starts a pass at once (unless instant pickup
    // is off). A folder that cannot be watched is still polled, and tried again at every pass.
    void start(int intervalMs);
    // Instant pickup on (the default) or off (polling alone).
    void setInstantPickup(bool on);
    // Watches the folders of the current patterns; a pass does it too.
    void refreshWatches();
    const FolderWatcher& folderWatcher() const { return m_folders; }
    // The interval from the next tick on; the tick now awaited keeps its time.
    void setIntervalFromNextTick(int intervalMs);
    // A new interval; the timer starts counting it again only when it differs from the current.
    // It replaces an interval still waiting for the first tick.
    void setInterval(int intervalMs);
    int interval() const { return m_timer.interval(); }
    // Milliseconds to the next tick; -1 while the timer stands.
    int remainingMs() const { return m_timer.remainingTime(); }
    // One pass over every folder pattern, now.
    void runPass() { m_intake.TimerTimer(); }

    JobSession& session() { return m_session; }
    // Where the files that are not taken again are remembered.
    static std::string skipListPath();

private:
    SpoolIntake::Hooks withTimer(SpoolIntake::Hooks hooks);
    void pass();

    const TSettings& m_settings;
    QTimer m_timer;
    QTimer m_soon; // a pass shortly after a file was finished: one for a burst of events
    bool m_running = false;
    bool m_instant = true;
    bool m_passWanted = false; // a file was finished while a pass was at work
    FolderWatcher m_folders;
    int m_afterFirstTick = 0; // the interval from the first tick on; 0 when none is waiting
    JobSession m_session;
    PosixSpoolFileSystem m_spool;
    FileSkipList m_skip;
    SpoolIntake m_intake;
};

} // namespace quillon
