#pragma once
// The engine wired for the jobs of one run: the printer of the destination, the program's files and
// the emulated printer, page renderer and report. Every front end runs its jobs through one.

#include "JobResult.h"
#include "intake/PrintEngine.h"
#include "posix/PosixFileAccess.h"
#include "report/ReportPrinter.h"

#include <memory>
#include <string>

namespace quillon {

class ReportProgress;
struct TSettings;

class JobSession {
public:
    // settings and progress outlive the session; dataDir is the folder of the program's files.
    JobSession(std::unique_ptr<ReportPrinter> printer, const TSettings& settings,
               ReportProgress& progress, const std::string& dataDir);
    // A printer that belongs to the caller and outlives the session.
    JobSession(ReportPrinter& printer, const TSettings& settings, ReportProgress& progress,
               const std::string& dataDir);
    // The settings are kept by reference: a temporary record would be gone before the first job.
    JobSession(std::unique_ptr<ReportPrinter>, const TSettings&&, ReportProgress&, const std::string&) = delete;
    JobSession(ReportPrinter&, const TSettings&&, ReportProgress&, const std::string&) = delete;

    PrintEngine& engine() { return m_engine; }
    TVxReport& report() { return m_engine.report(); }
    const TVxReport& report() const { return m_engine.report(); }
    ReportPrinter& printer() { return m_printer; }

    // One job from the spool stream open on fd (read from its start), titled with its path.
    bool runSpoolJob(int fd, const std::string& title);
    // Opens the page store at path for reading (the report's ReportFile becomes path).
    bool openStore(const std::string& path);
    // The last run's failure as the user reads it: the error's class and message, and the
    // printer's own words when it gave any.
    std::string failureText() const;

private:
    std::unique_ptr<ReportPrinter> m_owned; // null when the printer is borrowed
    ReportPrinter& m_printer;
    PosixFileAccess m_files;
    PrintEngine m_engine;
};

} // namespace quillon
