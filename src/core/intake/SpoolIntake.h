#pragma once
// The intake: at every tick of the polling timer, each folder pattern is emptied of its waiting
// spool files, oldest first, one print job per file.

#include "intake/DocumentKind.h"
#include "intake/SpoolFiles.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>

namespace quillon {

class PrintEngine;
class TVxReport;

// True while a polling pass is at work; a tick that comes meanwhile does nothing.
extern bool BusyFlag;

enum class JobOutcome {
    Printed,    // printed (or cancelled by the user) and removed
    Empty,      // held nothing to print and was removed
    Failed,     // the run failed; the file is kept beside itself as ".failed"
    Kept,       // could not be removed (or renamed) afterwards: it is remembered and not taken again
    Busy,       // still being written: left for the next tick
    Gone,       // vanished before it was opened
    Unreadable, // could not be opened: remembered and not taken again
    Waiting,    // the print service could not be reached, or the print document had no room:
                // left for a later pass
    NoSpace,    // the spool folder's disk is full, so it could not be claimed: left for the next tick
};

class SpoolIntake {
public:
    struct Hooks {
        std::function<void(bool enabled)> setTimer; // stops and restarts the polling timer
        std::function<void()> beep;
        std::function<void(TVxReport&)> preview;           // shows the stored pages until closed
        std::function<void(const std::string&)> problem;   // tells the user what went wrong
        std::function<void(const std::string&)> note;      // for the log only: nothing went wrong
        std::function<int64_t()> nowMs; // a steady clock in milliseconds; the system's when unset
    };

    // All collaborators belong to the program and outlive the intake.
    // The settings are the engine's.
    SpoolIntake(PrintEngine& engine, SpoolFileSystem& files, SkipList& skip, Hooks hooks,
                std::string home);

    // The timer's handler: one pass over every pattern. A pattern that is not absolute is passed
    // over, and reported the first time.
    void TimerTimer();
    // The name of the oldest matching file that may be taken, or "". Ties go to the name that
    // sorts first.
    std::string FindOldestFile(const std::string& directory, const std::string& mask);
    JobOutcome RunPrintJob(const std::string& path);

    // How long jobs wait after the print service could not be reached; 0 while it can.
    int64_t retryPauseMs() const { return m_pauseMs; }

private:
    void report(const std::string& message);
    // Runs the job of a file already taken; the file is removed, kept as failed or given back.
    JobOutcome runTaken(std::unique_ptr<SpoolFile> file);
    // A file that is not printed (empty, or no printer stream): an empty one is removed, any
    // other kept as failed.
    JobOutcome removeUnprinted(SpoolFile& file, DocumentKind kind);
    // Keeps a file whose job failed beside itself as ".failed" and tells why; more follows the
    // sentence.
    JobOutcome keepAsFailed(SpoolFile& file, const std::string& why, const std::string& more);
    // The print service could not be reached, or its document had no room: the file goes back
    // and every job waits for the next pause to end.
    JobOutcome holdForRetry(SpoolFile& file, const std::string& printerSays);
    // A job ran again: the wait is over, and the user hears so.
    void endHold();
    int64_t now() const;

    PrintEngine& m_engine;
    SpoolFileSystem& m_files;
    SkipList& m_skip;
    Hooks m_hooks;
    std::string m_home;
    std::set<std::string> m_attempted; // paths tried in this pass
    std::set<std::string> m_passedOver; // patterns not polled (not absolute), already reported
    // Why the jobs wait: the print service could not be reached at the last job, or the disk of
    // its print document was full.
    enum class Hold { None, ServiceDown, NoSpace };
    Hold m_hold = Hold::None;
    std::set<std::string> m_fullFolders; // spool folders whose disk was full at the last take
    int64_t m_pauseMs = 0;
    int64_t m_retryAtMs = 0;
};

} // namespace quillon
